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
