#include <gtest/gtest.h>

#include "test_folder.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/temp_names.h"

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
