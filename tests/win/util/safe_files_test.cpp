#include <gtest/gtest.h>

#include "access_rules.h"
#include "test_folder.h"
#include "unix_link.h"
#include "util/win/safe_files.h"

namespace {

bool Exists(const WideString& path) { return GetFileAttributesW(path.W()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(SafeFiles, NewMeansNewAndExistingNamesFail) {
  TestFolder folder;
  EXPECT_TRUE(CreateNewFolder(folder / u"made"));
  EXPECT_FALSE(CreateNewFolder(folder / u"made"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ScopedFileHandle file = CreateNewFile(folder / u"a.txt", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(file.IsValid());
  file.Reset();
  EXPECT_FALSE(CreateNewFile(folder / u"a.txt", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL).IsValid());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_FALSE(CreateNewFile(folder / u"made", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL).IsValid());
}

TEST(SafeFiles, RenameAndDeleteActOnTheOpenedFile) {
  TestFolder folder;
  ScopedFileHandle file =
      CreateNewFile(folder / u"~tmp", GENERIC_WRITE | DELETE, FILE_SHARE_READ, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(file.IsValid());
  ItemIdentity before, after;
  ASSERT_TRUE(HandleIdentity(file.Get(), &before));
  ASSERT_TRUE(CreateNewFolder(folder / u"in"));
  ASSERT_TRUE(CreateNewFile(folder / u"in\\target.dll", GENERIC_WRITE, 0, 0).IsValid());
  EXPECT_FALSE(RenameThroughHandle(file.Get(), folder / u"in\\target.dll", false));
  EXPECT_TRUE(SetAttributesThroughHandle(file.Get(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(RenameThroughHandle(file.Get(), folder / u"in\\target.dll", true));
  file.Reset();
  EXPECT_FALSE(Exists(folder / u"~tmp"));
  ASSERT_TRUE(PathIdentity(folder / u"in\\target.dll", &after));
  EXPECT_EQ(before, after);
  EXPECT_EQ(GetFileAttributesW((folder / u"in\\target.dll").W()) & FILE_ATTRIBUTE_HIDDEN, 0u);

  ScopedFileHandle again = OpenNoFollow(folder / u"in\\target.dll", DELETE, 0, true);
  ASSERT_TRUE(again.IsValid());
  EXPECT_TRUE(DeleteThroughHandle(again.Get()));
  again.Reset();
  EXPECT_FALSE(Exists(folder / u"in\\target.dll"));
}

TEST(SafeFiles, LinksAreSeenAndNeverEntered) {
  TestFolder folder;
  // What a link points at: it must outlive every removal below.
  const WideString outside = folder / u"outside";
  ASSERT_TRUE(CreateNewFolder(outside));
  ASSERT_TRUE(CreateNewFolder(outside + u"\\sub"));
  ASSERT_TRUE(CreateNewFile(outside + u"\\sub\\keep.txt", GENERIC_WRITE, 0, 0).IsValid());
  const WideString tree = folder / u"tree";
  ASSERT_TRUE(CreateNewFolder(tree));
  ASSERT_TRUE(CreateNewFolder(tree + u"\\real"));
  ASSERT_TRUE(CreateNewFile(tree + u"\\real\\mine.txt", GENERIC_WRITE, 0, 0).IsValid());
  ASSERT_TRUE(MakeUnixLink(tree + u"\\real\\link", outside));
  EXPECT_TRUE(PathIsLink(tree + u"\\real\\link"));
  EXPECT_FALSE(PathIsLink(tree + u"\\real"));
  EXPECT_EQ(FirstLinkOnPath(tree + u"\\real\\link\\sub\\keep.txt"), tree + u"\\real\\link");
  EXPECT_EQ(FirstLinkOnPath(tree + u"\\real\\mine.txt"), WideString());
  EXPECT_FALSE(OpenNoFollow(tree + u"\\real\\link", FILE_READ_ATTRIBUTES, 7, true).IsValid());

  RemoveFolderTree(tree, WideString(u"*.*"), true);
  EXPECT_TRUE(Exists(outside + u"\\sub\\keep.txt"));
  EXPECT_FALSE(Exists(tree + u"\\real\\mine.txt"));
  // A link given as the tree itself goes as a link too.
  ASSERT_TRUE(MakeUnixLink(folder / u"tree2", outside));
  RemoveFolderTree(folder / u"tree2", WideString(u"*.*"), true);
  EXPECT_TRUE(Exists(outside + u"\\sub\\keep.txt"));
}

// Wine keeps no access rules of its own: it turns them into the Unix mode
// and reads them back from it. What it shows is still whether anyone but
// the owner and SYSTEM was given access.
TEST(SafeFiles, ProtectionsGiveTheirRules) {
  TestFolder folder;
  ASSERT_TRUE(CreateNewFolder(folder / u"plain"));
  const WideString plain = DaclTextOf(folder / u"plain");
  ASSERT_NE(plain.Find(WideString(u";;;WD)")), 0) << plain.ToUtf8();  // the mode's "others"

  ASSERT_TRUE(CreateNewFolder(folder / u"admins", Protection::AdministratorsOnly));
  const WideString admins = DaclTextOf(folder / u"admins");
  EXPECT_NE(admins.Find(WideString(u"FA;;;SY)")), 0) << admins.ToUtf8();
  EXPECT_EQ(admins.Find(WideString(u";;;WD)")), 0) << admins.ToUtf8();

  ASSERT_TRUE(CreateNewFolder(folder / u"product", Protection::ProgramFiles));
  const WideString product = DaclTextOf(folder / u"product");
  EXPECT_EQ(product.Find(WideString(u"FA;;;WD)")), 0) << product.ToUtf8();

  ScopedFileHandle file = CreateNewFile(folder / u"journal", GENERIC_WRITE | WRITE_DAC, 0, 0);
  ASSERT_TRUE(file.IsValid());
  EXPECT_TRUE(ProtectThroughHandle(file.Get(), Protection::AdministratorsOnly));
  file.Reset();
  const WideString journal = DaclTextOf(folder / u"journal");
  EXPECT_EQ(journal.Find(WideString(u";;;WD)")), 0) << journal.ToUtf8();
}
