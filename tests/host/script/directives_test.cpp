#include <gtest/gtest.h>

#include "print_wide.h"
#include "script/directives.h"

TEST(Directives, SectionLinesMatchExactlyAndCarryTheirValueCounts) {
  const DirectiveInfo* copy = FindDirective(WideString(u"[CopyFile]"));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->valueLines, 2);
  EXPECT_EQ(FindDirective(WideString(u"[copyfile]")), nullptr);
  EXPECT_EQ(FindDirective(WideString(u"[CopyFile] ")), nullptr);
  EXPECT_EQ(FindDirective(WideString(u" [CopyFile]")), nullptr);
  EXPECT_EQ(FindDirective(WideString(u"[run]")), nullptr) << "relay commands are not directives";
  EXPECT_EQ(FindDirective(WideString(u"[Registry]"))->valueLines, 5);
  EXPECT_EQ(FindDirective(WideString(u"[CreateIcon]"))->valueLines, 4);
  EXPECT_EQ(FindDirective(WideString(u"[RunAndWaitFile]"))->valueLines, 3);
  EXPECT_EQ(FindDirective(WideString(u"[NoUnInstall]"))->valueLines, 0);
  for (int i = 0; i < DirectiveCount(); ++i) {
    const DirectiveInfo& d = AllDirectives()[i];
    EXPECT_EQ(FindDirective(WideString(d.section)), &d);
  }
}

TEST(Directives, OptionalMarkerAndCaption) {
  EXPECT_TRUE(IsOptionalAction(WideString(u"Optional - View Help")));
  EXPECT_EQ(OptionalCaption(WideString(u"Optional - View Help")), WideString(u"View Help"));
  EXPECT_TRUE(IsOptionalAction(WideString(u"xOptional - y")));
  EXPECT_FALSE(IsOptionalAction(WideString(u"optional - y")));
  EXPECT_FALSE(IsOptionalAction(WideString(u"Optional -y")));
  EXPECT_FALSE(IsOptionalAction(WideString()));
}
