#include "app/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "print_wide.h"

namespace {

struct Parsed {
  std::vector<WideString> names;
  std::vector<WideString> values;
};

Parsed Parse(const WChar* commandLine) {
  OptionList list = ParseOptions(WideString(commandLine));
  Parsed parsed;
  EXPECT_EQ(list.names.Count(), list.values.Count());
  for (int i = 0; i < list.names.Count(); ++i) {
    parsed.names.push_back(list.names.Item(i));
    parsed.values.push_back(list.values.Item(i));
  }
  return parsed;
}

}  // namespace

TEST(ParseOptions, NamesAndValues) {
  struct Case {
    const WChar* commandLine;
    std::vector<WideString> names;
    std::vector<WideString> values;
  };
  const Case cases[] = {
      // The quoted program part is skipped, dashes in it included.
      {u"\"C:\\my-dir\\setup.exe\" --selfrun --IsElevated=\"C:\\Temp dir\\PLI1.tmp\" --silent",
       {u"selfrun", u"IsElevated", u"silent"},
       {u"", u"C:\\Temp dir\\PLI1.tmp", u""}},
      // An unquoted program path is scanned like the rest.
      {u"C:\\my-dir\\setup.exe -x", {u"dir\\setup.exe", u"x"}, {u"", u""}},
      // Values: after "=" or spaces, quoted or up to the next space; none
      // when the next option follows.
      {u"\"s.exe\" -a=b --c   d --e -f", {u"a", u"c", u"e", u"f"}, {u"b", u"d", u"", u""}},
      {u"\"s.exe\" --installto=\"D:\\Apps\\Tool\"", {u"installto"}, {u"D:\\Apps\\Tool"}},
      // An empty name is skipped; a value that is cut short runs to the end.
      {u"\"s.exe\" -- --silent", {u"silent"}, {u""}},
      {u"\"s.exe\" --IsElevated=\"C:\\x y", {u"IsElevated"}, {u"C:\\x y"}},
      {u"\"s.exe\" --name\"quoted value\" next", {u"name"}, {u"quoted value"}},
      // Nothing to parse.
      {u"", {}, {}},
      {u"\"C:\\setup.exe\"", {}, {}},
      {u"\"C:\\setup.exe", {}, {}},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.commandLine);
    EXPECT_EQ(parsed.names, c.names) << WideString(c.commandLine).ToUtf8();
    EXPECT_EQ(parsed.values, c.values) << WideString(c.commandLine).ToUtf8();
  }
}

TEST(ParseOptions, FindOptionIgnoresAsciiCaseOnly) {
  OptionList list = ParseOptions(WideString(u"\"s.exe\" --selfrun --iselevated=\"C:\\r.tmp\""));
  EXPECT_EQ(FindOption(list, u"IsElevated"), 1);
  EXPECT_EQ(list.values.Item(FindOption(list, u"ISELEVATED")), WideString(u"C:\\r.tmp"));
  EXPECT_EQ(FindOption(list, u"Elevated"), -1);
  EXPECT_EQ(FindOption(OptionList(), u"selfrun"), -1);
}

TEST(PlainOptions, AreFoundAsCaseSensitiveSubstrings) {
  struct Case {
    const WChar* commandLine;
    bool silent, noAutoReboot, uninstall, force32;
  };
  const Case cases[] = {
      {u"\"s.exe\" --silent", true, false, false, false},
      {u"\"s.exe\" <Silent>", true, false, false, false},
      // Inside a quoted path it still counts; written in capitals it does not.
      {u"\"C:\\x--silent\\s.exe\"", true, false, false, false},
      {u"\"s.exe\" --SILENT --NoAutoReboot", false, false, false, false},
      {u"\"s.exe\" --noautoreboot --force32bit", false, true, false, true},
      {u"\"s.exe\" --uninstall=\"C:\\r.dat\"", false, false, true, false},
      {u"\"s.exe\" <uninstall>C:\\r.dat", false, false, true, false},
      {u"\"s.exe\" --uninstall C:\\r.dat", false, false, false, false},
  };
  for (const Case& c : cases) {
    const WideString line(c.commandLine);
    EXPECT_EQ(HasSilentOption(line), c.silent) << line.ToUtf8();
    EXPECT_EQ(HasNoAutoRebootOption(line), c.noAutoReboot) << line.ToUtf8();
    EXPECT_EQ(HasUninstallOption(line), c.uninstall) << line.ToUtf8();
    EXPECT_EQ(HasForce32BitOption(line), c.force32) << line.ToUtf8();
  }
}

TEST(LogOption, IsTakenOutBeforeTheOtherOptionsAreSearched) {
  struct Case {
    const WChar* commandLine;
    bool found;
    const WChar* logPath;
    const WChar* rest;  // the command line without the option
  };
  const Case cases[] = {
      {u"\"C:\\setup.exe\" --silent --log=\"C:\\Logs dir\\a.log\" --installto=\"D:\\App\"", true,
       u"C:\\Logs dir\\a.log", u"\"C:\\setup.exe\" --silent --installto=\"D:\\App\""},
      // First, last, alone, unquoted; a missing closing quote runs to the end.
      {u"\"s.exe\" --log=C:\\a.log --silent", true, u"C:\\a.log", u"\"s.exe\" --silent"},
      {u"\"s.exe\" --silent --log=\"C:\\a.log\"", true, u"C:\\a.log", u"\"s.exe\" --silent"},
      {u"\"s.exe\" --log=\"C:\\a.log\"", true, u"C:\\a.log", u"\"s.exe\""},
      {u"s.exe --log=a.log", true, u"a.log", u"s.exe"},
      {u"\"s.exe\" --log=\"C:\\x y --silent", true, u"C:\\x y --silent", u"\"s.exe\""},
      // Given but empty: found, no path.
      {u"\"s.exe\" --log= --silent", true, u"", u"\"s.exe\" --silent"},
      {u"\"s.exe\" --log=\"\" --silent", true, u"", u"\"s.exe\" --silent"},
      // The relaunch's own options before it, a quoted value with spaces.
      {u"\"s.exe\" --selfrun --IsElevated=\"C:\\T p\\PLI1.tmp\" --silent --log=\"C:\\l.log\"", true, u"C:\\l.log",
       u"\"s.exe\" --selfrun --IsElevated=\"C:\\T p\\PLI1.tmp\" --silent"},
      // The other options' words inside the log path stay with it.
      {u"\"s.exe\" --log=\"C:\\x --silent <Silent> --noautoreboot\\a.log\"", true,
       u"C:\\x --silent <Silent> --noautoreboot\\a.log", u"\"s.exe\""},
      {u"\"s.exe\" --log=\"C:\\--installto\\a.log\" --installto=\"D:\\A\"", true, u"C:\\--installto\\a.log",
       u"\"s.exe\" --installto=\"D:\\A\""},
      // After an option that takes the rest of the line it is that option's
      // text, not an option.
      {u"\"s.exe\" --installto=D:\\A --log=x", false, u"", nullptr},
      {u"\"s.exe\" --silent --uninstall=\"C:\\r.dat\" --log=x", false, u"", nullptr},
      {u"\"s.exe\" <uninstall>C:\\r.dat --log=x", false, u"", nullptr},
      {u"\"s.exe\" --x=\"<installto>\" --log=x", false, u"", nullptr},
      // Not at the start of an argument, inside quotes or the program part,
      // other spellings: no option.
      {u"\"C:\\d --log=x\\s.exe\" --silent", false, u"", nullptr},
      {u"C:\\d--log=x\\s.exe --silent", false, u"", nullptr},
      {u"\"s.exe\" --name=\"a --log=x\"", false, u"", nullptr},
      {u"\"s.exe\" x--log=y", false, u"", nullptr},
      {u"\"s.exe\" --LOG=x --log x --logfile=x", false, u"", nullptr},
      {u"", false, u"", nullptr},
  };
  for (const Case& c : cases) {
    const WideString line(c.commandLine);
    const LogOptionSplit split = SplitLogOption(line);
    EXPECT_EQ(split.found, c.found) << line.ToUtf8();
    EXPECT_EQ(split.logPath, WideString(c.logPath)) << line.ToUtf8();
    EXPECT_EQ(split.commandLine, c.rest != nullptr ? WideString(c.rest) : line) << line.ToUtf8();
  }
}

TEST(LogOption, PathHoldingOtherOptionsChangesNoRunMode) {
  const LogOptionSplit split =
      SplitLogOption(WideString(u"\"s.exe\" --log=\"C:\\--silent <uninstall> --force32bit\\a.log\" --selfrun"));
  EXPECT_TRUE(split.found);
  EXPECT_FALSE(HasSilentOption(split.commandLine));
  EXPECT_FALSE(HasUninstallOption(split.commandLine));
  EXPECT_FALSE(HasForce32BitOption(split.commandLine));
  EXPECT_EQ(ParseOptions(split.commandLine).names.Count(), 1);
}

TEST(LogOption, RelaunchGetsTheFullPathEverythingElseAsItWas) {
  struct Case {
    const WChar* commandLine;
    const WChar* replaced;
  };
  const Case cases[] = {
      {u"\"s.exe\" --silent --log=a.log --installto=\"D:\\A\"",
       u"\"s.exe\" --silent --log=\"C:\\Work dir\\a.log\" --installto=\"D:\\A\""},
      {u"\"s.exe\" --log=\"a.log\"", u"\"s.exe\" --log=\"C:\\Work dir\\a.log\""},
      {u"\"s.exe\" --log=\"a", u"\"s.exe\" --log=\"C:\\Work dir\\a.log\""},
      {u"\"s.exe\" \"--log=a b.log\" --silent", u"\"s.exe\" --log=\"C:\\Work dir\\a.log\" --silent"},
      // Nothing to replace.
      {u"\"s.exe\" --silent", u"\"s.exe\" --silent"},
      {u"\"s.exe\" --installto=D:\\A --log=x", u"\"s.exe\" --installto=D:\\A --log=x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceLogPath(WideString(c.commandLine), u"C:\\Work dir\\a.log"), WideString(c.replaced))
        << WideString(c.commandLine).ToUtf8();
  }
  EXPECT_EQ(LogParameter(u"C:\\L d\\a.log"), WideString(u" --log=\"C:\\L d\\a.log\""));
  EXPECT_EQ(LogParameter(WideString()), WideString());
  // What LogParameter writes reads back as the same path.
  EXPECT_EQ(SplitLogOption(u"\"s.exe\" --silent" + LogParameter(u"C:\\L d\\a.log")).logPath,
            WideString(u"C:\\L d\\a.log"));
}
