#include "container/force32_rule.h"

#include <gtest/gtest.h>

#include "print_wide.h"

using W = WideString;

namespace {

struct SplitCase {
  const char16_t* text;
  bool split;
  const char16_t* valueName;
  const char16_t* relativePath;
};

}  // namespace

TEST(Force32Rule, SplitsIntoExactlyTwoPieces) {
  const SplitCase cases[] = {
      {u"AppPath{force32bitinstallif}bin\\app32.dll", true, u"AppPath", u"bin\\app32.dll"},
      // The pieces are taken as they stand: no trimming, case kept.
      {u" App Path {force32bitinstallif} x.dll ", true, u" App Path ", u" x.dll "},
      // Empty pieces are pieces: an empty value name or an empty path.
      {u"{force32bitinstallif}x.dll", true, u"", u"x.dll"},
      {u"AppPath{force32bitinstallif}", true, u"AppPath", u""},
      {u"{force32bitinstallif}", true, u"", u""},
      // One piece or three and more: no condition.
      {u"", false, u"", u""},
      {u"Just a message", false, u"", u""},
      {u"a{force32bitinstallif}b{force32bitinstallif}c", false, u"", u""},
      {u"{force32bitinstallif}{force32bitinstallif}", false, u"", u""},
      {u"a{force32bitinstallif}{force32bitinstallif}", false, u"", u""},
      // The separator is matched exactly, case included.
      {u"a{Force32BitInstallIf}b", false, u"", u""},
      {u"a{force32bitinstallif b", false, u"", u""},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(W(c.text).ToUtf8());
    W valueName(u"left over");
    W relativePath(u"left over");
    EXPECT_EQ(SplitForce32BitCondition(W(c.text), valueName, relativePath), c.split);
    if (c.split) {
      EXPECT_EQ(valueName, W(c.valueName));
      EXPECT_EQ(relativePath, W(c.relativePath));
    } else {
      // Nothing half-filled for a caller that ignores the result.
      EXPECT_TRUE(valueName.IsEmpty());
      EXPECT_TRUE(relativePath.IsEmpty());
    }
  }
}
