#include <gtest/gtest.h>

#include <set>

#include "packer/script_lint.h"
#include "packer/script_members.h"
#include "packer/script_scan.h"

namespace {

const std::string kHeader = "[Project Name]\r\nDemo\r\n[Install To]\r\n<Program Files>Demo\\\r\n";

std::vector<LintFinding> Lint(const std::string& script, const std::set<std::string>& present = {}) {
  MemberLookup lookup = [&](const std::string& name) { return present.count(name) != 0; };
  return LintScript(reinterpret_cast<const uint8_t*>(script.data()), script.size(), lookup);
}

// "line:severity:" plus a piece of the text of each finding.
std::string Summary(const std::vector<LintFinding>& findings) {
  std::string out;
  for (const LintFinding& f : findings) {
    out += std::to_string(f.line) + (f.severity == LintSeverity::Error ? ":E " : ":W ") + f.text + "\n";
  }
  return out;
}

TEST(ScriptLint, CleanScriptHasNoFindings) {
  std::string script = kHeader +
                       "[CopyFile]\r\napp.exe\r\n<Destination>app.exe\r\n"
                       "[Registry]\r\nHKCU\r\nSoftware\\Demo\r\nBINARY\r\nBlob\r\nblob.bin\r\n"
                       "[RunFile]\r\n<TempInstall>\\tool.exe\r\n\r\nOptional - Run tool\r\n"
                       "[Message]\r\nDone\\nbye\r\nInformation\r\n[Windows Version]\r\n4\r\n";
  EXPECT_EQ(Summary(Lint(script, {"app.exe", "blob.bin", "tool.exe"})), "");
}

TEST(ScriptLint, SectionLinesThatAlmostMatch) {
  std::string script = kHeader + "[copyfile]\r\n[CopyFile] \r\n[Action]\t\r\n[CopyFile]x\r\n";
  std::vector<LintFinding> findings = Lint(script);
  ASSERT_EQ(findings.size(), 3u) << Summary(findings);
  EXPECT_EQ(findings[0].line, 5);
  EXPECT_EQ(findings[1].line, 6);
  EXPECT_EQ(findings[2].line, 7);
  for (const LintFinding& f : findings) EXPECT_EQ(f.severity, LintSeverity::Error);
  EXPECT_NE(findings[0].text.find("'[CopyFile]'"), std::string::npos);
}

TEST(ScriptLint, ValueLinesThatAreDirectivesAndScriptsThatStop) {
  std::string script = kHeader + "[CopyFile]\r\na.txt\r\n[Action]\r\n[Message]\r\nHello";
  std::vector<LintFinding> findings = Lint(script, {"a.txt"});
  ASSERT_EQ(findings.size(), 2u) << Summary(findings);
  EXPECT_EQ(findings[0].line, 7);
  EXPECT_NE(findings[0].text.find("value line 2 of [CopyFile] reads '[Action]'"), std::string::npos);
  EXPECT_EQ(findings[1].line, 8);
  EXPECT_NE(findings[1].text.find("ends inside [Message] (1 of 2"), std::string::npos);
}

TEST(ScriptLint, MissingMembersOnlyWithALookup) {
  std::string script = kHeader +
                       "[CopyFile]\r\nmissing.exe\r\nx\r\n"
                       "[Registry]\r\nHKLM\r\nk\r\nBINARY\r\nv\r\nnothere.bin\r\n"
                       "[RunAndWaitFile]\r\n<TempInstall>gone.exe\r\n\r\n\r\n"
                       "[Registry]\r\nHKLM\r\nk\r\nSTRING\r\nv\r\nnot-a-member\r\n";
  std::vector<LintFinding> findings = Lint(script);
  ASSERT_EQ(findings.size(), 3u) << Summary(findings);
  EXPECT_NE(findings[0].text.find("'missing.exe' not found"), std::string::npos);
  EXPECT_NE(findings[1].text.find("'nothere.bin' not found"), std::string::npos);
  EXPECT_NE(findings[2].text.find("'gone.exe' not found"), std::string::npos);
  EXPECT_TRUE(LintScript(reinterpret_cast<const uint8_t*>(script.data()), script.size(), nullptr).empty());
}

TEST(ScriptLint, TempInstallInsideTheProgramLine) {
  std::vector<LintFinding> findings = Lint(kHeader + "[RunFile]\r\n\"<TempInstall>x.exe\"\r\n\r\n\r\n");
  ASSERT_EQ(findings.size(), 2u) << Summary(findings);
  EXPECT_EQ(findings[0].severity, LintSeverity::Warning);
  EXPECT_NE(findings[0].text.find("14th character on: '>x.exe\"'"), std::string::npos);
  EXPECT_NE(findings[1].text.find("not found"), std::string::npos);
}

TEST(ScriptLint, RegistryMessageAndVersionValues) {
  std::string script = kHeader +
                       "[Registry]\r\nhklm\r\nk\r\nREG_SZ\r\nv\r\nd\r\n"
                       "[Message]\r\nHi\r\nwarning\r\n"
                       "[Windows Version]\r\nten\r\n";
  std::vector<LintFinding> findings = Lint(script);
  ASSERT_EQ(findings.size(), 4u) << Summary(findings);
  EXPECT_EQ(findings[0].severity, LintSeverity::Error);
  EXPECT_NE(findings[0].text.find("registry root 'hklm'"), std::string::npos);
  EXPECT_EQ(findings[1].severity, LintSeverity::Warning);
  EXPECT_NE(findings[1].text.find("registry type 'REG_SZ'"), std::string::npos);
  EXPECT_EQ(findings[2].severity, LintSeverity::Warning);
  EXPECT_NE(findings[2].text.find("message kind 'warning'"), std::string::npos);
  EXPECT_EQ(findings[3].severity, LintSeverity::Warning);
  EXPECT_NE(findings[3].text.find("'ten' is not a number"), std::string::npos);
  EXPECT_FALSE(HasLintErrors({findings[1], findings[2], findings[3]}));
}

TEST(ScriptLint, ProjectNameAndInstallFolder) {
  EXPECT_EQ(Summary(Lint("[CopyFile]\r\n")).find("no [Project Name]") != std::string::npos, true);
  std::vector<LintFinding> findings = Lint("[Project Name]\r\nA:B\r\n");
  ASSERT_EQ(findings.size(), 2u) << Summary(findings);
  EXPECT_NE(findings[0].text.find("no [Install To]"), std::string::npos);
  EXPECT_NE(findings[1].text.find("'A:B' cannot be a Windows file name"), std::string::npos);
  // The last [Project Name] is the one that counts.
  EXPECT_TRUE(Lint(kHeader + "[Project Name]\r\nGood\r\n").empty());
  EXPECT_FALSE(Lint(kHeader + "[Project Name]\r\nCON\r\n").empty());
  // A container needs neither.
  EXPECT_TRUE(Lint("[InstallContainer]\r\n[Message]\r\nHi\r\nInformation\r\n").empty());

  for (const char16_t* bad : {u"", u"a/b", u"trailing.", u"trailing ", u"NUL.txt", u"com1", u"a\x01"}) {
    EXPECT_FALSE(IsWindowsFileName(bad)) << WideString(bad).ToUtf8();
  }
  for (const char16_t* good : {u"Plove Hello", u"COM10", u"Caf\u00e9 2.0", u"console"}) {
    EXPECT_TRUE(IsWindowsFileName(good)) << WideString(good).ToUtf8();
  }
}

TEST(ScriptLint, ContainerScripts) {
  // No product name or folder needed; files to place are a mistake, since
  // the container runs every member as an installer.
  std::string container = "[InstallContainer]\r\n[Message]\r\nSuite\r\nInformation\r\n";
  EXPECT_EQ(Summary(Lint(container)), "");
  std::vector<LintFinding> findings =
      Lint(container + "[CopyFile]\r\nreadme.txt\r\n<Destination>readme.txt\r\n", {"readme.txt"});
  ASSERT_EQ(findings.size(), 1u) << Summary(findings);
  EXPECT_EQ(findings[0].line, 5);
  EXPECT_EQ(findings[0].severity, LintSeverity::Warning);
  EXPECT_NE(findings[0].text.find("'readme.txt' is packed and run as an installer"), std::string::npos);
  EXPECT_EQ(Summary(Lint(kHeader + "[CopyFile]\r\nreadme.txt\r\nx\r\n", {"readme.txt"})), "")
      << "not a container";
}

TEST(ScriptLint, TextThatIsNotWindows1252) {
  std::vector<LintFinding> findings = Lint("\xEF\xBB\xBF" + kHeader);
  ASSERT_FALSE(findings.empty());
  EXPECT_NE(findings[0].text.find("byte-order mark"), std::string::npos);
  findings = Lint(kHeader + "[Action]\r\nCopying \x81 files\r\nfree text \x9D\r\n");
  ASSERT_EQ(findings.size(), 2u) << Summary(findings);
  EXPECT_EQ(findings[0].line, 6);
  EXPECT_NE(findings[0].text.find("byte 0x81"), std::string::npos);
  EXPECT_EQ(findings[1].line, 7);
  // A zero byte would cut the value short where the installer uses it.
  findings = Lint(kHeader + "[Action]\r\nCopying" + std::string(1, '\0') + "files\r\n");
  ASSERT_EQ(findings.size(), 1u) << Summary(findings);
  EXPECT_EQ(findings[0].line, 6);
  EXPECT_NE(findings[0].text.find("zero byte"), std::string::npos);
  // Windows-1252 letters are fine.
  EXPECT_TRUE(Lint(kHeader + "[Action]\r\nCaf\xE9 \x80\r\n").empty());
}

TEST(ScriptMembers, InOrderOfMentionOnceEach) {
  std::string script =
      "[CopyFile]\r\nB.exe\r\nx\r\n[CopyFile]\r\na.dll\r\nx\r\n[CopyFile]\r\nb.EXE\r\ny\r\n"
      "[Registry]\r\nHKLM\r\nk\r\nBINARY\r\nv\r\nblob.bin\r\n"
      "[Registry]\r\nHKLM\r\nk\r\nDWORD\r\nv\r\n12\r\n"
      "[RunFile]\r\n<TempInstall>\\helper.exe\r\n\r\n\r\n"
      "[RunAndWaitFile]\r\n<Destination>B.exe\r\n\r\n\r\n"
      "[Message]\r\n[CopyFile]\r\nInformation\r\n";
  ScriptScan scan = ScanScript(reinterpret_cast<const uint8_t*>(script.data()), script.size());
  EXPECT_EQ(ScriptMemberNames(scan), (std::vector<std::string>{"B.exe", "a.dll", "blob.bin", "helper.exe"}));
  EXPECT_FALSE(scan.container);
}

TEST(ScriptMembers, NameConversion) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC.txt", &out));
  EXPECT_EQ(out, "caf\xE9 \x80.txt");
  EXPECT_EQ(Cp1252ToUtf8(out), "caf\xC3\xA9 \xE2\x82\xAC.txt");
  EXPECT_FALSE(Utf8ToCp1252("\xE4\xB8\xAD.txt", &out)) << "a CJK character";
  EXPECT_FALSE(Utf8ToCp1252("bad\xC3", &out)) << "cut UTF-8";
  EXPECT_EQ(MemberKey("SeTuP.DAT\xC9"), "setup.dat\xC9");
}

}  // namespace

namespace {

TEST(ScriptLint, UnknownDirectivesAndMacros) {
  struct Case {
    std::string lines;
    std::string finding;  // "" for none
  } cases[] = {
      {"[CopyFlie]\r\n", "unknown directive '[CopyFlie]'; did you mean [CopyFile]?"},
      {"[Copy File]\r\n", "did you mean [CopyFile]?"},
      {"[Regsitry]\r\n", "did you mean [Registry]?"},
      {"[Frobnicate]\r\n", "unknown directive '[Frobnicate]', which the installer skips"},
      {"[CopyFile]\r\na.txt\r\n<Destnation>a.txt\r\n", "unknown folder macro '<Destnation>'; did you mean <Destination>?"},
      {"[CopyFile]\r\na.txt\r\n<Apps>a.txt\r\n", "unknown folder macro '<Apps>', which stays in the path"},
      {"[CopyFile]\r\na.txt\r\n<destination>a.txt\r\n", ""},  // macros ignore letter case
      {"[RunFile]\r\n<TempInstall>a.txt\r\n\r\n\r\n", ""},
      {"[RunFile]\r\n<TempInstal>a.txt\r\n\r\n\r\n", "did you mean <TempInstall>?"},
      {"[Message]\r\n<b>Note</b>\r\nInformation\r\n", ""},  // a text may hold angle brackets
      {"[Message]\r\nSee <DeskTopp>\r\nInformation\r\n", "did you mean <DeskTop>?"},
      {"[Registry]\r\nHKLM\r\n<Progam Files>\r\nSTRING\r\nv\r\n<x>\r\n", "did you mean <Program Files>?"},
  };
  for (const Case& c : cases) {
    std::string script = kHeader + c.lines;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(script.data());
    std::vector<LintFinding> strict = LintScript(data, script.size(), nullptr);
    if (c.finding.empty()) {
      EXPECT_EQ(Summary(strict), "") << c.lines;
      continue;
    }
    ASSERT_EQ(strict.size(), 1u) << c.lines << Summary(strict);
    EXPECT_EQ(strict[0].severity, LintSeverity::Error);
    EXPECT_NE(strict[0].text.find(c.finding), std::string::npos) << strict[0].text;
    LintOptions allow;
    allow.allowUnknown = true;
    std::vector<LintFinding> kept = LintScript(data, script.size(), nullptr, allow);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].severity, LintSeverity::Warning) << c.lines;
  }
}

}  // namespace

namespace {

// What an install for the current user alone cannot do: refused in a
// "user" script, noted in an "either" one, whose per-user runs skip it,
// and nothing to say in a machine script.
TEST(ScriptLint, WhatAPerUserInstallCannotDo) {
  const struct {
    std::string lines;
    std::string finding;  // "" when every scope takes the line
    int line;             // of the value line that asks
  } cases[] = {
      {"[Registry]\r\nHKLM\r\nSoftware\\Demo\r\nSTRING\r\nv\r\nd\r\n", "registry root 'HKLM'", 6},
      // Per user, HKCR's keys go to the user's own classes.
      {"[Registry]\r\nHKCR\r\n.demo\r\nSTRING\r\n\r\nDemo.File\r\n", "", 6},
      {"[Registry]\r\nHKCC\r\nSoftware\\Demo\r\nDWORD\r\nv\r\n1\r\n", "registry root 'HKCC'", 6},
      {"[Registry]\r\nHKU\r\n.DEFAULT\\Software\\Demo\r\nDWORD\r\nv\r\n1\r\n", "registry root 'HKU'", 6},
      {"[Registry]\r\nHKCU\r\nSoftware\\Demo\r\nSTRING\r\nv\r\nd\r\n", "", 6},
      {"[Registry]\r\nHKA\r\nSoftware\\Classes\\.demo\r\nSTRING\r\n\r\nDemo.File\r\n", "", 6},
      {"[CopyFile]\r\nplain.dll\r\n<System>plain.dll\r\n", "a file for '<System>'", 7},
      {"[CopyFile]\r\nplain.dll\r\n<systemwow64>\\plain.dll\r\n", "'<systemwow64>' is a folder of Windows", 7},
      {"[CopyFile]\r\napp.ini\r\n<Destination><Windows>app.ini\r\n", "a file for '<Windows>'", 7},
      {"[CopyFile]\r\napp.ini\r\n<Windows>app.ini\r\n", "(SharedDLLs)", 7},
      {"[CopyFile]\r\ncom.dll\r\n<Destination>com.dll\r\n", "'com.dll' registers itself", 7},
      {"[CopyFile]\r\ncom.dll\r\n<Destination>com__PLI_WIN64.OCX\r\n", "registers itself", 7},
      {"[CopyFile]\r\ncom.dll\r\n<Destination>com.dll.txt\r\n", "", 7},  // placed, never registered
      {"[CopyFile]\r\nplain.dll\r\n<Destination>plain.dll\r\n", "", 7},   // no DllRegisterServer
      {"[Install To]\r\n<Windows>Demo\\\r\n", "install folder '<Windows>Demo\\'", 6},
      {"[CreateIcon]\r\n<System>notepad.exe\r\n<Start Programs>Notes.lnk\r\n\r\n\r\n", "", 7},
      {"[CreateIcon]\r\n<Destination>app.exe\r\n<Windows>App.lnk\r\n\r\n\r\n", "a shortcut in '<Windows>'", 7},
  };
  const std::set<std::string> members = {"plain.dll", "com.dll", "app.ini"};
  LintOptions options;
  options.allowUnknown = true;  // says nothing about what a scope may do
  options.registersItself = [](const std::string& name) { return name == "com.dll"; };
  for (const auto& c : cases) {
    for (const std::string scope : {"user", "either", "machine", ""}) {
      std::string script = kHeader + c.lines;
      if (!scope.empty()) script += "[InstallScope]\r\n" + scope + "\r\n";
      MemberLookup lookup = [&](const std::string& name) { return members.count(name) != 0; };
      std::vector<LintFinding> findings =
          LintScript(reinterpret_cast<const uint8_t*>(script.data()), script.size(), lookup, options);
      const bool perUser = scope == "user" || scope == "either";
      if (c.finding.empty() || !perUser) {
        EXPECT_EQ(Summary(findings), "") << scope << ": " << c.lines;
        continue;
      }
      ASSERT_EQ(findings.size(), 1u) << scope << ": " << c.lines << Summary(findings);
      EXPECT_EQ(findings[0].line, c.line) << c.lines;
      EXPECT_NE(findings[0].text.find(c.finding), std::string::npos) << findings[0].text;
      if (scope == "user") {
        EXPECT_EQ(findings[0].severity, LintSeverity::Error) << c.lines;
        EXPECT_NE(findings[0].text.find("current user alone ([InstallScope] user)"), std::string::npos);
      } else {
        EXPECT_EQ(findings[0].severity, LintSeverity::Warning) << c.lines;
        EXPECT_NE(findings[0].text.find("an install just for the current user "), std::string::npos);
      }
    }
  }
}

TEST(ScriptLint, InstallScopeValues) {
  const struct {
    const char* value;
    const char* finding;  // nullptr for a value the installer takes
  } cases[] = {
      {"machine", nullptr}, {"user", nullptr}, {" User ", nullptr}, {"EITHER", nullptr},
      {"usr", "install scope 'usr' is not machine, user or either; did you mean user?"},
      {"mashine", "did you mean machine?"},
      {"all users", "install scope 'all users' is not machine, user or either"},
      {"", "install scope '' is not"},
  };
  for (const auto& c : cases) {
    std::string script = kHeader + "[InstallScope]\r\n" + c.value + "\r\n";
    LintOptions options;
    options.allowUnknown = true;  // a scope is not a name the installer skips
    std::vector<LintFinding> findings =
        LintScript(reinterpret_cast<const uint8_t*>(script.data()), script.size(), nullptr, options);
    if (c.finding == nullptr) {
      EXPECT_EQ(Summary(findings), "") << c.value;
      continue;
    }
    ASSERT_EQ(findings.size(), 1u) << c.value << Summary(findings);
    EXPECT_EQ(findings[0].line, 6);
    EXPECT_EQ(findings[0].severity, LintSeverity::Error);
    EXPECT_NE(findings[0].text.find(c.finding), std::string::npos) << findings[0].text;
  }
  // The installer reads the first one only.
  std::vector<LintFinding> findings =
      Lint(kHeader + "[InstallScope]\r\nuser\r\n[Registry]\r\nHKLM\r\nk\r\nDWORD\r\nv\r\n1\r\n[InstallScope]\r\nmachine\r\n");
  ASSERT_EQ(findings.size(), 2u) << Summary(findings);
  EXPECT_NE(findings[0].text.find("registry root 'HKLM' in a script installed for the current user"),
            std::string::npos);
  EXPECT_EQ(findings[1].line, 13);
  EXPECT_NE(findings[1].text.find("a second [InstallScope]: the installer reads only the first, on line 5"),
            std::string::npos);
}

}  // namespace
