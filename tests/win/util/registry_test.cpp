#include <gtest/gtest.h>

#include "test_folder.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

namespace {

const WideString kBase(u"Software\\PloveTests");

// Opens a key in an explicit view, without creating it.
bool KeyExistsInView(HKEY root, const wchar_t* path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

}  // namespace

TEST(Registry, StringRoundTripAndReadsCreateNoKey) {
  WideString key = kBase + u"\\RoundTrip";
  EXPECT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, key, WideString(u"Name"), WideString(u"value ü")));
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, WideString(u"Name")), WideString(u"value ü"));
  // Reading from a key that does not exist leaves it missing (a rollback
  // could not tell such a key from one the run wrote), and so does
  // enumerating or deleting below it.
  WideString missing = kBase + u"\\CreatedByRead";
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, missing, WideString(u"Nothing")).IsEmpty());
  StringList children;
  EnumerateSubkeys(HKEY_CURRENT_USER, missing + u"\\Below", children);
  EXPECT_FALSE(DeleteRegistryValue(HKEY_CURRENT_USER, missing, WideString(u"Nothing")));
  EXPECT_FALSE(DeleteRegistryTree(HKEY_CURRENT_USER, missing, WideString(u"Below")));
  EnumerateSubkeys(HKEY_CURRENT_USER, kBase, children);
  EXPECT_FALSE(children.Contains(WideString(u"CreatedByRead"), false));
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, WideString(), WideString(u"x")).IsEmpty());
}

TEST(Registry, DwordReadsEmptyAndExpandStringIsNotExpanded) {
  WideString key = kBase + u"\\Types";
  DWORD number = 12;
  ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, key, WideString(u"Dword"), REG_DWORD, &number, 4));
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key, WideString(u"Dword")).IsEmpty());
  WideString expand(u"%SystemRoot%\\x");
  ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, key, WideString(u"Expand"), REG_EXPAND_SZ, expand.W(),
                                 static_cast<DWORD>((expand.Length() + 1) * 2)));
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, WideString(u"Expand")), expand);
  // A string stored without its terminating zero still reads correctly.
  ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, key, WideString(u"NoZero"), REG_SZ, L"abc", 6));
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, WideString(u"NoZero")), WideString(u"abc"));
}

TEST(Registry, DeleteTreeSeveralLevelsDeep) {
  WideString parent = kBase + u"\\Tree";
  WriteRegistryString(HKEY_CURRENT_USER, parent + u"\\Top\\A\\B\\C", WideString(u"v"), WideString(u"1"));
  WriteRegistryString(HKEY_CURRENT_USER, parent + u"\\Top\\D", WideString(u"v"), WideString(u"2"));
  EXPECT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, parent, WideString(u"Top")));
  StringList children;
  EnumerateSubkeys(HKEY_CURRENT_USER, parent, children);
  EXPECT_EQ(children.Count(), 0);
  // An empty subkey name deletes nothing, not even the parent.
  EXPECT_FALSE(DeleteRegistryTree(HKEY_CURRENT_USER, kBase, WideString()));
  EnumerateSubkeys(HKEY_CURRENT_USER, kBase, children);
  EXPECT_TRUE(children.Contains(WideString(u"Tree"), false));
}

TEST(Registry, WritesLandInThe32BitView) {
  WideString key(u"Software\\PloveTests\\View");
  ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"Where"), WideString(u"32")));
  EXPECT_TRUE(KeyExistsInView(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\PloveTests\\View", KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyExistsInView(HKEY_LOCAL_MACHINE, L"Software\\PloveTests\\View", KEY_WOW64_64KEY));
  // The harness seeds the 32-bit view the way 64-bit Windows has it.
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, WideString(u"Software\\Microsoft\\Windows\\CurrentVersion"),
                               WideString(u"ProgramFilesDir")),
            WideString(u"C:\\Program Files (x86)"));
  EXPECT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software\\PloveTests"), WideString(u"View")));
  EXPECT_FALSE(KeyExistsInView(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\PloveTests\\View", KEY_WOW64_64KEY));
}

TEST(Registry, DeleteValueAndEnumerateRoot) {
  WideString key = kBase + u"\\Values";
  WriteRegistryString(HKEY_CURRENT_USER, key, WideString(u"Gone"), WideString(u"x"));
  EXPECT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, key, WideString(u"Gone")));
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key, WideString(u"Gone")).IsEmpty());
  StringList roots;
  EnumerateSubkeys(HKEY_CURRENT_USER, WideString(), roots);
  EXPECT_TRUE(roots.Contains(WideString(u"software"), true));
}
