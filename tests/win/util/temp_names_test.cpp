#include <gtest/gtest.h>

#include "test_folder.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "unix_link.h"
#include "util/win/safe_files.h"
#include "util/win/temp_names.h"
#include "access_rules.h"
// windows_api.h first
#include <aclapi.h>
#include <sddl.h>

TEST(TempNames, MakeTempFileNameTwiceDeletesTheFirstFile) {
  WideString name;
  ASSERT_TRUE(MakeTempFileName(name, "pli"));
  WideString first = name;
  EXPECT_TRUE(PathExists(first));
  EXPECT_TRUE(FileName(first).StartsWith(WideString(u"pli"), true));
  EXPECT_TRUE(first.StartsWith(TempFolder()));
  ASSERT_TRUE(MakeTempFileName(name, "pli"));
  EXPECT_NE(name, first);
  EXPECT_FALSE(PathExists(first));
  EXPECT_TRUE(PathExists(name));
  DeleteTempFile(name);
  EXPECT_TRUE(name.IsEmpty());
}

TEST(TempNames, SuffixReplacesTheReservedFile) {
  WideString name;
  ASSERT_TRUE(MakeTempFileName(name, nullptr, ".exe"));
  EXPECT_TRUE(name.EndsWith(WideString(u".tmp.exe"), true));
  EXPECT_TRUE(FileName(name).StartsWith(WideString(u"TMP"), true));
  EXPECT_TRUE(PathExists(name));
  EXPECT_FALSE(PathExists(name.Left(name.Length() - 4))) << "the reserved name is deleted";
  EXPECT_EQ(FileSizeOf(name), 0u);
  DeleteTempFile(name);
}

TEST(TempNames, EmptyPrefixIsNoPrefix) {
  // Only a missing prefix means "TMP"; an empty one gives a bare number,
  // as the "-" names of programs run from the payload have.
  WideString name;
  ASSERT_TRUE(MakeTempFileName(name, "", "-"));
  const WideString file = FileName(name);
  EXPECT_TRUE(file.EndsWith(WideString(u".tmp-"), true)) << name;
  ASSERT_GT(file.Length(), 5);
  for (int i = 1; i <= file.Length() - 5; ++i) {
    const WChar c = file.CharAt(i);
    EXPECT_TRUE((c >= u'0' && c <= u'9') || (FoldAsciiLower(c) >= u'a' && FoldAsciiLower(c) <= u'f')) << name;
  }
  EXPECT_TRUE(PathExists(name));
  DeleteTempFile(name);
}

TEST(TempNames, MakeTempFolderReplacesThePreviousOne) {
  WideString folder;
  ASSERT_TRUE(MakeTempFolder(folder));
  EXPECT_EQ(folder.CharAt(kLastPosition), u'\\');
  ASSERT_TRUE(WriteWholeFile(folder + u"inside.txt", "x"));
  WideString first = folder;
  ASSERT_TRUE(MakeTempFolder(folder));
  EXPECT_FALSE(PathExists(first));
  EXPECT_TRUE(PathExists(folder));
  EXPECT_TRUE(DeleteFolderTree(folder));
}

namespace {
// Points TMP and TEMP at another folder for one scope.
class TempVariables {
 public:
  explicit TempVariables(const WideString& folder) {
    Save(L"TMP", tmp_);
    Save(L"TEMP", temp_);
    SetEnvironmentVariableW(L"TMP", folder.W());
    SetEnvironmentVariableW(L"TEMP", folder.W());
  }
  ~TempVariables() {
    SetEnvironmentVariableW(L"TMP", tmp_.IsEmpty() ? nullptr : tmp_.W());
    SetEnvironmentVariableW(L"TEMP", temp_.IsEmpty() ? nullptr : temp_.W());
  }

 private:
  static void Save(const wchar_t* name, WideString& value) {
    wchar_t buffer[1024] = {};
    if (GetEnvironmentVariableW(name, buffer, 1024) < 1024) value = WideString(buffer);
  }
  WideString tmp_, temp_;
};
}  // namespace

TEST(TempNames, MissingTempFolderFallsBackToARandomNameAndCreatesTheFolder) {
  TestFolder folder;
  WideString missing = folder / u"gone\\deeper\\";
  WideString name;
  {
    TempVariables redirect(missing);
    ASSERT_EQ(TempFolder(), missing);
    ASSERT_TRUE(MakeTempFileName(name, "pli", ".exe"));
  }
  // "<temp>pli<0..9998>.tmp.exe": the reserved name could not be made there.
  ASSERT_TRUE(name.StartsWith(missing + u"pli")) << name;
  ASSERT_TRUE(name.EndsWith(WideString(u".tmp.exe"))) << name;
  WideString number = name.Mid(missing.Length() + 4, name.Length() - 8);
  ASSERT_FALSE(number.IsEmpty());
  for (int i = 1; i <= number.Length(); ++i) EXPECT_TRUE(number.CharAt(i) >= u'0' && number.CharAt(i) <= u'9');
  EXPECT_LT(number.ParseInteger(), 9999);
  EXPECT_TRUE(PathExists(name));
  EXPECT_EQ(FileSizeOf(name), 0u);
  DeleteTempFile(name);
}

// An administrator's temporary files (the uninstaller's copy "Ins", the
// relay file, the names programs are extracted beside) are its own too.
TEST(TempNames, AnAdministratorsTemporaryFilesAreForAdministratorsOnly) {
  ASSERT_TRUE(ProcessIsAdministrator());
  for (const char* suffix : {static_cast<const char*>(nullptr), "-"}) {
    WideString name;
    ASSERT_TRUE(MakeTempFileName(name, "Ins", suffix));
    const WideString rules = DaclTextOf(name);
    EXPECT_NE(rules.Find(WideString(u"FA;;;SY)")), 0) << rules.ToUtf8();
    EXPECT_EQ(rules.Find(WideString(u";;;WD)")), 0) << rules.ToUtf8();
    DeleteTempFile(name);
  }
}

TEST(TempNames, MakeTempFolderIsNewAndProtectedAndItsCleanupStaysInside) {
  WideString folder;
  ASSERT_TRUE(MakeTempFolder(folder));
  EXPECT_TRUE(ProcessIsAdministrator()) << "Wine runs programs as an administrator";
  EXPECT_FALSE(CreateNewFolder(folder)) << "the name was made new";
  // For the administrative accounts only: Wine shows no access for others.
  const WideString rules = DaclTextOf(folder);
  ASSERT_FALSE(rules.IsEmpty());
  EXPECT_EQ(rules.Find(WideString(u";;;WD)")), 0) << rules.ToUtf8();
  // A link inside (a junction, under Wine a Unix link) is removed, never entered.
  TestFolder outside;
  ASSERT_TRUE(WriteWholeFile(outside / u"keep.txt", "x"));
  WideString target = outside.Path();
  RemoveTrailingBackslashes(target);
  ASSERT_TRUE(MakeUnixLink(folder + u"link", target));
  WideString none;
  ASSERT_TRUE(MakeTempFolder(none));
  DeleteFolderTree(folder);
  EXPECT_TRUE(PathExists(outside / u"keep.txt"));
  DeleteFolderTree(none);
}
