// The payload as a resource: a copy of this test program gets an archive as
// its RT_RCDATA 24356 resource and is loaded as a data file.
#include <gtest/gtest.h>

#include "payload/win/payload_archive.h"
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
