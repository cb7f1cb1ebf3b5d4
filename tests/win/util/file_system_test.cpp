#include <gtest/gtest.h>

#include "test_folder.h"
#include "util/win/file_finder.h"
#include "util/win/file_system.h"

TEST(FileSystem, DeleteFileForcedRemovesReadOnlyFile) {
  TestFolder folder;
  WideString path = folder / u"ro.txt";
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  ASSERT_TRUE(SetFileAttributesW(path.W(), FILE_ATTRIBUTE_READONLY));
  ASSERT_FALSE(DeleteFileW(path.W())) << "the plain delete must fail first";
  EXPECT_TRUE(DeleteFileForced(path));
  EXPECT_FALSE(PathExists(path));
  EXPECT_FALSE(DeleteFileForced(path));
}

TEST(FileSystem, CreateFolderTreeDeepAndExisting) {
  TestFolder folder;
  WideString deep = folder / u"a\\b\\c\\d";
  EXPECT_TRUE(CreateFolderTree(deep));
  EXPECT_TRUE(PathExists(deep));
  EXPECT_TRUE(CreateFolderTree(deep + u"\\"));  // existing tree, trailing backslash
  EXPECT_FALSE(CreateFolderTree(WideString()));
  // A file in the way of a level stops the walk.
  ASSERT_TRUE(WriteWholeFile(folder / u"file", "x"));
  EXPECT_FALSE(CreateFolderTree(folder / u"file\\sub"));
}

TEST(FileSystem, CreateFolderTreeBeyondMaxPath) {
  TestFolder folder;
  WideString deep = folder.Path();
  for (int i = 0; i < 12; ++i) deep.Append(u"abcdefghijklmnopqrstuvwxyz\\\\");
  ASSERT_GT(deep.Length(), 300);
  EXPECT_TRUE(CreateFolderTree(deep));
  EXPECT_TRUE(PathExists(deep));
  EXPECT_TRUE(DeleteFolderTree(folder / u"abcdefghijklmnopqrstuvwxyz"));
}

TEST(FileSystem, CreateFolderTreeLongPathWithDoubledSeparators) {
  // The "\\?\" form takes separators literally, so each level must be
  // rebuilt with a single one.
  TestFolder folder;
  WideString deep = folder.Path();
  for (int i = 0; i < 10; ++i) deep.Append(u"abcdefghijklmnopqrstuvwxyz\\\\");
  ASSERT_GT(deep.Length(), 260);
  EXPECT_TRUE(CreateFolderTree(deep));
  WideString single = folder.Path();
  for (int i = 0; i < 10; ++i) single.Append(u"abcdefghijklmnopqrstuvwxyz\\");
  EXPECT_TRUE(PathExists(single));
  EXPECT_TRUE(DeleteFolderTree(folder / u"abcdefghijklmnopqrstuvwxyz"));
}

TEST(FileSystem, DeleteFolderTreeWithReadOnlyFileInside) {
  TestFolder folder;
  WideString root = folder / u"tree";
  ASSERT_TRUE(CreateFolderTree(root + u"\\x\\y"));
  ASSERT_TRUE(WriteWholeFile(root + u"\\x\\y\\ro.txt", "x"));
  ASSERT_TRUE(WriteWholeFile(root + u"\\top.txt", "x"));
  ASSERT_TRUE(SetFileAttributesW((root + u"\\x\\y\\ro.txt").W(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_FALSE(PathExists(root));
  EXPECT_FALSE(DeleteFolderTree(WideString(u"C:")));
}

TEST(FileSystem, DeleteFolderTreeWithoutRecursionKeepsSubfoldersAndFolder) {
  TestFolder folder;
  WideString root = folder / u"flat";
  ASSERT_TRUE(CreateFolderTree(root + u"\\sub"));
  ASSERT_TRUE(WriteWholeFile(root + u"\\f.txt", "x"));
  EXPECT_TRUE(DeleteFolderTree(root, WideString(u"*.*"), false));
  EXPECT_FALSE(PathExists(root + u"\\f.txt"));
  EXPECT_TRUE(PathExists(root + u"\\sub"));
  EXPECT_TRUE(PathExists(root)) << "a folder that is not empty stays";
}

TEST(FileSystem, DeleteFolderTreeLeavesFilesInUse) {
  TestFolder folder;
  WideString root = folder / u"busy";
  ASSERT_TRUE(CreateFolderTree(root));
  ASSERT_TRUE(WriteWholeFile(root + u"\\held.txt", "x"));
  HANDLE held = CreateFileW((root + u"\\held.txt").W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFolderTree(root));
  EXPECT_TRUE(PathExists(root + u"\\held.txt"));
  CloseHandle(held);
}

TEST(FileSystem, PathExistsSizeAndAttributes) {
  TestFolder folder;
  EXPECT_TRUE(PathExists(WideString(u"C:")));
  EXPECT_TRUE(PathExists(WideString(u"C:\\")));
  EXPECT_FALSE(PathExists(WideString())) << "not the current drive's root";
  WideString file = folder / u"five";
  ASSERT_TRUE(WriteWholeFile(file, "12345"));
  EXPECT_EQ(FileSizeOf(file), 5u);
  EXPECT_EQ(FileSizeOf(folder / u"none"), 0u);
  bool notFound = false;
  DWORD attributes = FileAttributesOf(folder / u"none", &notFound);
  EXPECT_TRUE(notFound);
  EXPECT_EQ(attributes, 0u);
  ASSERT_TRUE(SetFileAttributesW(file.W(), FILE_ATTRIBUTE_READONLY));
  attributes = FileAttributesOf(file, &notFound);
  EXPECT_FALSE(notFound);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(ClearReadOnly(file));
  EXPECT_FALSE(FileAttributesOf(file, &notFound) & FILE_ATTRIBUTE_READONLY);
}

TEST(FileFinder, ListsEntriesWithoutDotsAndFiltersDirectories) {
  TestFolder folder;
  ASSERT_TRUE(CreateFolderTree(folder / u"dir1"));
  ASSERT_TRUE(WriteWholeFile(folder / u"f1.txt", "x"));
  ASSERT_TRUE(WriteWholeFile(folder / u"f2.dat", "x"));
  int all = 0;
  FileFinder finder;
  finder.Start(folder.Path(), WideString(u"*.*"));
  while (finder.Next()) {
    EXPECT_TRUE(finder.Path().StartsWith(folder.Path()));
    EXPECT_NE(finder.Path(), folder / u".");
    ++all;
  }
  EXPECT_EQ(all, 3);
  int dirs = 0;
  finder.Start(folder.Path(), WideString(u"*"), true);
  while (finder.Next()) {
    EXPECT_EQ(finder.Path(), folder / u"dir1");
    ++dirs;
  }
  EXPECT_EQ(dirs, 1);
  finder.Start(folder.Path(), WideString(u"*.txt"));
  ASSERT_TRUE(finder.Next());
  EXPECT_EQ(finder.Path(), folder / u"f1.txt");
  EXPECT_FALSE(finder.Next());
}
