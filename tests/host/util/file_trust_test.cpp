#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "print_wide.h"
#include "util/file_trust.h"

using W = WideString;

TEST(FileTrust, TreeStepsNeverEnterALink) {
  struct Case {
    uint32_t attributes;
    TreeEntryStep step;
  };
  const Case cases[] = {
      {0x10, TreeEntryStep::Descend},       {0x410, TreeEntryStep::RemoveLink},  // junction / folder link
      {0x20, TreeEntryStep::RemoveFile},    {0x420, TreeEntryStep::RemoveLink},  // file link
      {0x411, TreeEntryStep::RemoveLink},   {0x80, TreeEntryStep::RemoveFile},
  };
  for (const Case& c : cases) EXPECT_EQ(StepForEntry(c.attributes), c.step) << std::hex << c.attributes;
  EXPECT_TRUE(IsLink(0x10, 0x410));  // the handle alone may say it
  EXPECT_FALSE(IsLink(0x10, 0x10));
}

TEST(FileTrust, LiesUnderTakesWholeComponentsOnly) {
  struct Case {
    const char16_t* root;
    const char16_t* path;
    bool under;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App\\a.dll", true},
      {u"C:\\Program Files\\App\\", u"c:\\program files\\app\\sub\\a.dll", true},
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App", false},          // the root itself
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App\\", false},
      {u"C:\\Program Files\\App", u"C:\\Program Files\\Apple\\a.dll", false},  // a longer sibling
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App\\..\\x.dll", false},
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App\\sub\\.\\x.dll", false},
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App\\\\x.dll", false},
      {u"C:\\Program Files\\App", u"\\\\?\\C:\\Program Files\\App\\x.dll", true},
      {u"\\\\?\\C:\\Temp\\PLI1.tmp", u"C:\\Temp\\PLI1.tmp\\x", true},
      {u"", u"C:\\x", false},
      {u"C:\\", u"C:\\x", true},
  };
  for (const Case& c : cases) EXPECT_EQ(LiesUnder(W(c.root), W(c.path)), c.under) << W(c.path);
}

TEST(FileTrust, WhoMayWriteAFolder) {
  const W users(u"S-1-5-32-545"), authenticated(u"S-1-5-11"), admins(u"S-1-5-32-544"), system(u"S-1-5-18");
  const AccessRuleFacts programFiles[] = {
      {true, 0x1f01ff, system}, {true, 0x1f01ff, admins}, {true, 0x1200a9, users}};
  EXPECT_FALSE(NonAdministratorsCanWrite(programFiles, 3));
  const AccessRuleFacts driveRoot[] = {{true, 0x1f01ff, admins}, {true, 0x1301bf, authenticated}};
  EXPECT_TRUE(NonAdministratorsCanWrite(driveRoot, 2));
  const AccessRuleFacts appendOnly[] = {{true, 0x00000004, users}};  // "create folders / append data"
  EXPECT_TRUE(NonAdministratorsCanWrite(appendOnly, 1));
  const AccessRuleFacts denied[] = {{false, 0x1f01ff, users}};
  EXPECT_FALSE(NonAdministratorsCanWrite(denied, 1));
  const AccessRuleFacts genericAll[] = {{true, 0x10000000, authenticated}};
  EXPECT_TRUE(NonAdministratorsCanWrite(genericAll, 1));
}

// The elevated programs reach the file system only through the one module
// that knows about links and handles: any other call of these functions in
// the installer's and uninstaller's sources is listed here.
TEST(FileTrust, FileOperationsGoThroughTheOneModule) {
  namespace fs = std::filesystem;
  const std::regex call(
      R"(\b(CreateFile[AW]?|MoveFile(Ex)?[AW]?|DeleteFile[AW]?|RemoveDirectory[AW]?|CreateDirectory[AW]?|)"
      R"(CopyFile(Ex)?[AW]?|SetFileAttributes[AW]?|CreateHardLink[AW]?|ReplaceFile[AW]?)\s*\()");
  const fs::path src = fs::path(PLOVE_SOURCE_DIR) / "src";
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), src);
    const std::string name = relative.generic_string();
    // The packer runs as its user, never elevated.
    if (name.rfind("packer/", 0) == 0 || name == "util/win/safe_files.cpp") continue;
    if (relative.extension() != ".cpp" && relative.extension() != ".h" && relative.extension() != ".c") continue;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string code = line.substr(0, line.find("//"));
      if (std::regex_search(code, call)) found.push_back(name + ":" + std::to_string(number) + ": " + line);
    }
  }
  std::ostringstream list;
  for (const std::string& f : found) list << f << "\n";
  EXPECT_TRUE(found.empty()) << list.str();
}
