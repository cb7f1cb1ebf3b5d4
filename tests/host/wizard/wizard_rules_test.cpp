#include <gtest/gtest.h>

#include "print_wide.h"
#include "wizard/wizard_rules.h"

using W = WideString;

namespace {

StringList Lines(std::initializer_list<const WChar*> lines) {
  StringList list;
  for (const WChar* line : lines) list.Add(W(line));
  return list;
}

}  // namespace

TEST(SpaceLine, RequiredAndFreeFigures) {
  struct Case {
    uint64_t kb;
    uint64_t freeMb;
    const WChar* expected;
  } cases[] = {
      {0, 3999, u"1 MB Required, 3999 MB Free"},         // nothing to copy still needs 1
      {1023, 100, u"1 MB Required, 100 MB Free"},        // below one MB rounds up to the minimum
      {5 * 1024, 8192, u"5 MB Required, 8 GB Free"},     // 8 GB is more than 5
      {20 * 1024, 8192, u"20 MB Required, 8192 MB Free"},  // 8 is not more than 20: stays in MB
      {8 * 1024, 8192, u"8 MB Required, 8192 MB Free"},  // equal is not more
      {0, 4000, u"1 MB Required, 4000 MB Free"},         // GB only above 4000 MB
      {0, 4001, u"1 MB Required, 3 GB Free"},
      {2047, 0, u"1 MB Required, 0 MB Free"},            // free space not measured yet
      {3 * 1024 + 1023, 0, u"3 MB Required, 0 MB Free"},  // KB to MB truncates
  };
  for (const Case& c : cases) EXPECT_EQ(SpaceLine(c.kb, c.freeMb), W(c.expected)) << c.kb << " " << c.freeMb;
}

TEST(SpaceLine, FiguresArePrintedAs32BitIntegers) {
  // 2^31 MB required wraps to the negative 32-bit figure; free GB then
  // compares with the full required value and stays in MB.
  const uint64_t kb = (uint64_t{1} << 31) * 1024;
  EXPECT_EQ(SpaceLine(kb, 100), W(u"-2147483648 MB Required, 100 MB Free"));
  const uint64_t freeMb = (uint64_t{1} << 32) + 5;  // 2^32 + 5 MB: 4194304 GB
  EXPECT_EQ(SpaceLine(0, freeMb), W(u"1 MB Required, 4194304 GB Free"));
  EXPECT_EQ(SpaceLine(uint64_t{5000} * 1024, freeMb), W(u"5000 MB Required, 4194304 GB Free"));
  EXPECT_EQ(SpaceLine(uint64_t{5000000} * 1024, freeMb), W(u"5000000 MB Required, 5 MB Free"));
}

TEST(ChosenInstallFolder, LastComponentOfTheDefaultFollows) {
  struct Case {
    const WChar* chosen;
    const WChar* defaultPath;
    const WChar* expected;
  } cases[] = {
      {u"D:\\Apps", u"<Program Files>\\Tool\\", u"D:\\Apps\\Tool\\"},
      {u"D:\\Apps", u"<Program Files>", u"D:\\Apps\\"},  // no backslash in the default
      // A macro ends a folder as a backslash does.
      {u"D:\\Apps", u"<Program Files>Plove Hello\\", u"D:\\Apps\\Plove Hello\\"},
      {u"D:\\Apps", u"<Program Files><Destination>", u"D:\\Apps\\"},
      {u"D:\\Apps\\", u"<Program Files>\\Tool", u"D:\\Apps\\Tool\\"},
      {u"D:\\", u"C:\\Program Files\\Tool\\\\", u"D:\\Tool\\"},  // every trailing backslash goes
      {u"D:\\Apps", u"<Program Files>\\<Destination>\\", u"D:\\Apps\\"},  // a macro is no folder name
      {u"D:\\Apps", u"C:\\", u"D:\\Apps\\"},  // "C:" has no backslash left
      {u"D:\\Apps", u"", u"D:\\Apps\\"},
      {u"D:\\Apps", u"Tool", u"D:\\Apps\\"},
      {u"\\\\server\\share", u"<Program Files>\\Vendor\\Tool", u"\\\\server\\share\\Tool\\"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChosenInstallFolder(W(c.chosen), W(c.defaultPath)), W(c.expected)) << W(c.defaultPath);
}

TEST(ChosenInstallFolder, NoPathChosenGivesNothing) {
  EXPECT_EQ(ChosenInstallFolder(W(), W(u"<Program Files>\\Tool\\")), W());
}

TEST(DestinationsWant64Bit, EveryProgramNeedsItsTwin) {
  struct Case {
    StringList destinations;
    bool expected;
    const char* what;
  } cases[] = {
      {Lines({u"<Destination>app.exe", u"<Destination>app__PLI_WIN64.exe"}), true, "program and twin"},
      {Lines({u"<Destination>app.exe", u"<Destination>app__PLI_WIN64.exe", u"<Destination>tool.dll"}), false,
       "a library without twin"},
      {Lines({u"<Destination>readme.txt", u"<Destination>data\\big.bin"}), true, "no programs at all"},
      {Lines({}), true, "empty list"},
      {Lines({u"<Destination>APP.EXE", u"<destination>app__PLI_WIN64.exe"}), true, "twin found ignoring case"},
      {Lines({u"<Destination>app.Dll", u"<Destination>app__PLI_WIN64.Dll"}), true, "extension case ignored"},
      {Lines({u"<Destination>app.exe"}), false, "lone program"},
      {Lines({u"<Destination>app__PLI_WIN64.exe"}), true, "a 64-bit variant is its own twin"},
      {Lines({u"<Destination>app__PLI_UNICODE.exe", u"<Destination>app__PLI_WIN64.exe"}), true,
       "the Unicode variant's twin"},
      {Lines({u"<Destination>app__PLI_UNICODE.exe"}), false, "Unicode variant alone"},
      {Lines({u"<Destination>app__pli_win64.exe"}), false, "markers are case-sensitive"},
      {Lines({u"<Destination>tool.exe.txt", u"<Destination>v1.0\\readme"}), true, "other extensions"},
      {Lines({u"<Destination>app.exe", u"<Destination>app.exe__PLI_WIN64"}), false,
       "marker after the extension is no twin"},
  };
  for (const Case& c : cases) EXPECT_EQ(DestinationsWant64Bit(c.destinations), c.expected) << c.what;
}

TEST(InstallToOverride, CommandLineOptions) {
  const W fallback(u"<Program Files>\\Tool\\");
  struct Case {
    const WChar* commandLine;
    const WChar* expected;
  } cases[] = {
      {u"setup.exe", u"<Program Files>\\Tool\\"},
      {u"setup.exe --silent", u"<Program Files>\\Tool\\"},
      {u"setup.exe --installto=\"D:\\Apps\\Tool\"", u"D:\\Apps\\Tool"},
      {u"setup.exe --installto=\"D:\\My Apps\\Tool\"", u"D:\\My Apps\\Tool"},  // blanks inside quotes
      {u"setup.exe --installto D:\\Apps", u"D:\\Apps"},                        // blanks around go too
      {u"setup.exe --installto \"D:\\My Apps\" ", u"D:\\My Apps"},
      {u"setup.exe --installto = \"D:\\Apps\"", u"D:\\Apps"},
      {u"setup.exe --installtoD:\\Apps", u"D:\\Apps"},
      {u"setup.exe --installto==D:\\Apps", u"=D:\\Apps"},                       // one "=" only
      {u"setup.exe --installto=\"D:\\Apps\" --silent", u"D:\\Apps\" --silent"},  // later options stay
      {u"setup.exe --installto=\"\"D:\\Apps\"\"", u"\"D:\\Apps\""},             // one pair of quotes
      // The whole argument quoted: the value ends at its closing quote.
      {u"setup.exe \"--installto=D:\\My Apps\\App\"", u"D:\\My Apps\\App"},
      {u"setup.exe \"--installto=D:\\My Apps\\App\" --silent", u"D:\\My Apps\\App"},
      {u"setup.exe --silent \"--installto = D:\\Apps", u"D:\\Apps"},
      {u"setup.exe <installto>D:\\Apps", u"D:\\Apps"},
      {u"setup.exe <installto>\"D:\\Apps\"", u"\"D:\\Apps\""},  // no unquoting after "<installto>"
      {u"setup.exe <installto>D:\\A --installto=\"E:\\B\"", u"E:\\B"},  // "--installto" is applied last
      {u"setup.exe --INSTALLTO=D:\\Apps", u"<Program Files>\\Tool\\"},  // case-sensitive
      {u"setup.exe <InstallTo>D:\\Apps", u"<Program Files>\\Tool\\"},
      {u"setup.exe --installto=", u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InstallToOverride(W(c.commandLine), fallback), W(c.expected)) << W(c.commandLine);
}

TEST(HeaderLine, VersionOnlyWhenGiven) {
  EXPECT_EQ(HeaderLine(W(u"Tool"), W(u"2.1")), W(u"Tool 2.1"));
  EXPECT_EQ(HeaderLine(W(u"Tool"), W()), W(u"Tool"));  // no trailing blank
  EXPECT_EQ(HeaderLine(W(), W()), W());
  EXPECT_EQ(HeaderLine(W(), W(u"2.1")), W(u" 2.1"));
}

TEST(InstallFolder, OnlyFullPathsAndTheCommandLineOption) {
  for (const WChar* full : {u"C:\\", u"d:\\Apps\\Tool", u"\\\\server\\share\\Tool", u"\\\\?\\C:\\Long"}) {
    EXPECT_TRUE(IsFullFolderPath(W(full))) << W(full);
  }
  for (const WChar* partial : {u"", u"Tool\\", u"C:Tool", u"\\Tool", u"\\\\", u"\\\\\\x", u"<Nowhere>Tool\\", u"1:\\x"}) {
    EXPECT_FALSE(IsFullFolderPath(W(partial))) << W(partial);
  }
  EXPECT_TRUE(NamesInstallFolder(W(u"setup.exe --silent --installto=")));
  EXPECT_TRUE(NamesInstallFolder(W(u"setup.exe <installto>D:\\x")));
  EXPECT_FALSE(NamesInstallFolder(W(u"setup.exe --silent")));
}

TEST(FinishOptionCaption, ExclamationMarkUnticks) {
  W shown;
  EXPECT_FALSE(FinishOptionCaption(W(u"Start the tool!"), shown));
  EXPECT_EQ(shown, W(u"Start the tool"));
  EXPECT_FALSE(FinishOptionCaption(W(u"Wow!!"), shown));
  EXPECT_EQ(shown, W(u"Wow!"));  // one mark removed
  EXPECT_TRUE(FinishOptionCaption(W(u"Read me! now"), shown));
  EXPECT_EQ(shown, W(u"Read me! now"));
  EXPECT_TRUE(FinishOptionCaption(W(), shown));
  EXPECT_EQ(shown, W());
  EXPECT_FALSE(FinishOptionCaption(W(u"!"), shown));
  EXPECT_EQ(shown, W());
}
