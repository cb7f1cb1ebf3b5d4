// Allocation failures while a member is decoded end in the write message,
// never in an exception. This program replaces the global operator new so
// that a test can refuse large allocations for a while.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/install_state.h"
#include "payload/win/decompress_file.h"
#include "payload/win/payload_archive.h"
#include "payload_builder.h"
#include "payload_test_util.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/file_system.h"

namespace {

// 0: every allocation is served; otherwise those of this size or more fail.
std::atomic<size_t> g_refuseFrom{0};

void* Allocate(std::size_t size) {
  const size_t limit = g_refuseFrom.load();
  if (limit != 0 && size >= limit) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

// Refuses allocations of at least limit bytes for its lifetime.
class RefuseAllocations {
 public:
  explicit RefuseAllocations(size_t limit) { g_refuseFrom = limit; }
  ~RefuseAllocations() { g_refuseFrom = 0; }
  RefuseAllocations(const RefuseAllocations&) = delete;
  RefuseAllocations& operator=(const RefuseAllocations&) = delete;
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

TEST(DecodeMemory, RefusedAllocationsGiveTheWriteMessage) {
  State().InstallerTitle = WideString(u"Demo Installer");
  ScriptedMessages messages(IDOK);
  TestFolder folder;
  std::string content(3u << 20, 'm');
  for (size_t i = 0; i < content.size(); i += 100) content[i] = static_cast<char>(i / 100);
  const std::vector<uint8_t> packed = Packed(content);
  const WideString source = folder / u"member.lzma";
  ASSERT_TRUE(WriteWholeFile(source, packed.data(), packed.size()));
  const WideString target = folder / u"member.bin";
  ASSERT_TRUE(WriteWholeFile(target, "earlier"));
  const WideString writeMessage =
      u"Error whilst uncompressing '" + target + u"', unable to write '" + target + u"'";

  // From the decoder's small buffers to the output gathered in memory.
  for (size_t limit : {size_t(16) << 10, size_t(100) << 10, size_t(1) << 20, size_t(2) << 20}) {
    SCOPED_TRACE(limit);
    messages.Clear();
    bool decoded = true;
    {
      RefuseAllocations refuse(limit);
      decoded = DecompressFile(source, target);
    }
    EXPECT_FALSE(decoded);
    ASSERT_EQ(messages.Count(), 1);
    EXPECT_EQ(messages.Last().text, writeMessage);
    EXPECT_EQ(messages.Last().flags, UINT(MB_ICONERROR | MB_TOPMOST));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(target, bytes));
    EXPECT_EQ(bytes, "earlier");
  }

  // The same through the archive; with memory to spare it works again.
  const std::vector<uint8_t> archiveBytes = BuildTestPayload({{"member.bin", content}});
  PayloadArchive archive;
  archive.OpenFromMemory(archiveBytes.data(), archiveBytes.size());
  messages.Clear();
  bool extracted = true;
  {
    RefuseAllocations refuse(size_t(100) << 10);
    extracted = archive.ExtractTo(WideString(u"member.bin"), target);
  }
  EXPECT_FALSE(extracted);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, writeMessage);
  EXPECT_TRUE(archive.ExtractTo(WideString(u"member.bin"), target));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_TRUE(bytes == content);
  ResetInstallState();
}
