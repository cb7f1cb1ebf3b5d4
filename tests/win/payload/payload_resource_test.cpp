// The payload as a resource: a copy of this test program gets an archive as
// its RT_RCDATA 24356 resource and is loaded as a data file.
#include <gtest/gtest.h>

#include "payload/archive_format.h"
#include "payload/win/image_file_sum.h"
#include "payload/win/payload_archive.h"
#include "util/win/file_system.h"
#include "payload_builder.h"
#include "payload_test_util.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/process_paths.h"
#include "util/win/scoped_handle.h"

namespace {

bool AddPayloadResource(const WideString& exePath, const std::vector<uint8_t>& archive) {
  HANDLE update = BeginUpdateResourceW(exePath.W(), FALSE);
  if (update == nullptr) return false;
  const BOOL added = UpdateResourceW(update, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(kPayloadResourceId),
                                     MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                     const_cast<uint8_t*>(archive.data()), static_cast<DWORD>(archive.size()));
  return EndUpdateResourceW(update, !added) && added;
}

}  // namespace

TEST(PayloadResource, OpensTheArchiveOfAModuleInPlace) {
  ScriptedMessages messages(IDOK);
  TestFolder folder;
  const WideString copy = folder / u"installer.exe";
  ASSERT_TRUE(CopyFileW(ModulePath().W(), copy.W(), FALSE));
  const std::vector<uint8_t> archive = BuildTestPayload({{"setup.dat", "[Setup]"}, {"App.exe", "program"}});
  ASSERT_TRUE(AddPayloadResource(copy, archive));

  ScopedModule module(LoadLibraryExW(copy.W(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module.IsValid());
  {
    PayloadArchive payload;
    payload.OpenFromModule(module.Get());
    ASSERT_EQ(payload.Count(), 2);
    EXPECT_EQ(payload.NameAt(1), WideString(u"App.exe"));
    EXPECT_TRUE(payload.ExtractTo(WideString(u"app.exe"), folder / u"app.exe"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(folder / u"app.exe", bytes));
    EXPECT_EQ(bytes, "program");
  }
  EXPECT_EQ(messages.Count(), 0);
}

TEST(PayloadResource, AModuleWithoutThePayloadHasNoEntries) {
  ScriptedMessages messages(IDOK);
  PayloadArchive payload;
  payload.Open();  // this test program carries no payload
  EXPECT_EQ(payload.Count(), 0);
  EXPECT_EQ(payload.NameAt(0), WideString());
  EXPECT_EQ(messages.Count(), 0);
}

TEST(PayloadResource, TheChecksumIsReadFromTheFileTheImageCameFrom) {
  TestFolder folder;
  const WideString copy = folder / u"installer.exe";
  ASSERT_TRUE(CopyFileW(ModulePath().W(), copy.W(), FALSE));
  const std::vector<uint8_t> archive =
      BuildTestPayload({{"setup.dat", "[Setup]"}, {"big.bin", std::string(300000, 'b')}});
  ASSERT_TRUE(AddPayloadResource(copy, archive));
  // The same file with one payload byte changed.
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(copy, bytes));
  const size_t at = bytes.find(std::string(archive.begin(), archive.begin() + 200));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 150] ^= 0x20;
  const WideString damaged = folder / u"damaged.exe";
  ASSERT_TRUE(WriteWholeFile(damaged, bytes.data(), bytes.size()));

  // Laid out as an image, as the running installer is.
  ScopedModule module(LoadLibraryExW(copy.W(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(module.IsValid());
  const auto* base = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(module.Get()) & ~uintptr_t(3));
  HRSRC resource = FindResourceW(module.Get(), MAKEINTRESOURCEW(kPayloadResourceId), MAKEINTRESOURCEW(10));
  ASSERT_NE(resource, nullptr);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module.Get(), resource)));
  const size_t size = SizeofResource(module.Get(), resource);
  ASSERT_EQ(size, archive.size());
  const uint32_t expected = ArchiveChecksum(data, size - kArchiveTrailerSize);

  uint32_t sum = 0;
  ASSERT_TRUE(ArchiveChecksumFromFile(copy, base, data, size, &sum));
  EXPECT_EQ(sum, expected);
  ASSERT_TRUE(ArchiveChecksumFromFile(damaged, base, data, size, &sum));
  EXPECT_NE(sum, expected);
  // Bytes the file does not back (here: outside every section) are refused.
  EXPECT_FALSE(ArchiveChecksumFromFile(copy, base, base + 8, 64, &sum));
  EXPECT_FALSE(ArchiveChecksumFromFile(folder / u"missing.exe", base, data, size, &sum));
}
