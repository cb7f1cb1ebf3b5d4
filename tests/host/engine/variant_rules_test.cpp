#include <gtest/gtest.h>

#include "engine/variant_rules.h"
#include "print_wide.h"

using W = WideString;

namespace {

StringList Targets(std::initializer_list<const WChar*> lines) {
  StringList list;
  for (const WChar* line : lines) list.Add(W(line));
  return list;
}

// Runs the rule over every line and returns the accepted, marker-free ones.
StringList Installed(const StringList& targets, bool is64) {
  StringList accepted;
  for (int i = 0; i < targets.Count(); ++i) {
    W destination = targets.Item(i);
    if (AcceptVariantFor(destination, targets, is64)) accepted.Add(destination);
  }
  return accepted;
}

}  // namespace

TEST(VariantRules, ThreeVariantsInstallExactlyOneUnderThePlainName) {
  const StringList targets = Targets({u"<Destination>\\prog.exe", u"<Destination>\\prog__PLI_UNICODE.exe",
                                      u"<Destination>\\prog__PLI_WIN64.exe"});
  StringList on64 = Installed(targets, true);
  ASSERT_EQ(on64.Count(), 1);
  EXPECT_EQ(on64.Item(0), W(u"<Destination>\\prog.exe"));

  // Which one won: check the marker line directly.
  W win64(u"<Destination>\\prog__PLI_WIN64.exe");
  EXPECT_TRUE(AcceptVariantFor(win64, targets, true));
  W unicode(u"<Destination>\\prog__PLI_UNICODE.exe");
  EXPECT_FALSE(AcceptVariantFor(unicode, targets, true));
  EXPECT_EQ(unicode, W(u"<Destination>\\prog.exe"));  // marker removed even when rejected

  StringList on32 = Installed(targets, false);
  ASSERT_EQ(on32.Count(), 1);
  unicode = W(u"<Destination>\\prog__PLI_UNICODE.exe");
  EXPECT_TRUE(AcceptVariantFor(unicode, targets, false));
  win64 = W(u"<Destination>\\prog__PLI_WIN64.exe");
  EXPECT_FALSE(AcceptVariantFor(win64, targets, false));
}

TEST(VariantRules, PlainWithOnlyA64BitTwin) {
  const StringList targets = Targets({u"<Destination>\\lib.dll", u"<Destination>\\lib__PLI_WIN64.dll"});
  W plain(u"<Destination>\\lib.dll");
  EXPECT_TRUE(AcceptVariantFor(plain, targets, false));
  EXPECT_FALSE(AcceptVariantFor(plain, targets, true));
}

TEST(VariantRules, TwinComparisonFoldsAsciiCase) {
  const StringList targets = Targets({u"<destination>\\PROG__PLI_UNICODE.EXE", u"<Destination>\\prog.exe"});
  W plain(u"<Destination>\\prog.exe");
  EXPECT_FALSE(AcceptVariantFor(plain, targets, false));
}

TEST(VariantRules, MarkerSearchIsCaseSensitive) {
  // A lower-case marker is no marker: the entry is plain and stays as written.
  const StringList targets = Targets({u"C:\\x\\a__pli_win64.dll"});
  W line(u"C:\\x\\a__pli_win64.dll");
  EXPECT_TRUE(AcceptVariantFor(line, targets, false));
  EXPECT_EQ(line, W(u"C:\\x\\a__pli_win64.dll"));
}

TEST(VariantRules, PlainWithoutTwinsAndNamesWithoutExtension) {
  const StringList targets = Targets({u"C:\\x\\readme", u"C:\\x\\other.txt"});
  W noExtension(u"C:\\x\\readme");
  EXPECT_TRUE(AcceptVariantFor(noExtension, targets, true));
  // Without an extension the twin is stem + marker + ".".
  const StringList withTwin = Targets({u"C:\\x\\readme", u"C:\\x\\readme__PLI_UNICODE."});
  EXPECT_FALSE(AcceptVariantFor(noExtension, withTwin, false));
  W win64(u"C:\\x\\tool__PLI_WIN64.exe");
  EXPECT_FALSE(AcceptVariantFor(win64, Targets({}), false));
  EXPECT_TRUE(AcceptVariantFor(win64, Targets({}), true));
  EXPECT_EQ(win64, W(u"C:\\x\\tool.exe"));
}

TEST(VariantRules, WithoutAMarkerAnywhereEveryLineIsInstalledAsItIs) {
  // The install pass skips the rule when no line holds a marker in any case;
  // the rule must agree.
  for (const StringList& targets : {Targets({u"<Destination>\\a.exe", u"<Destination>\\A.EXE", u"<Destination>\\b"}),
                                    Targets({u"<Destination>\\__PLI.exe", u"<Destination>\\x_PLI_WIN64.exe"})}) {
    for (int i = 0; i < targets.Count(); ++i) {
      EXPECT_FALSE(HasVariantMarker(targets.Item(i))) << targets.Item(i);
      for (bool is64 : {false, true}) {
        W destination = targets.Item(i);
        EXPECT_TRUE(AcceptVariantFor(destination, targets, is64)) << destination;
        EXPECT_EQ(destination, targets.Item(i));
      }
    }
  }
  for (const WChar* marked : {u"prog__PLI_WIN64.exe", u"PROG__pli_Unicode.EXE", u"lib__PLI_WIN64"}) {
    EXPECT_TRUE(HasVariantMarker(W(marked))) << W(marked);
  }
}
