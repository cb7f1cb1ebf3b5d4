#include "util/log_line.h"

#include <gtest/gtest.h>

#include "print_wide.h"

TEST(LogLine, StampProcessRoleKindAndDetail) {
  LogStamp stamp;
  stamp.year = 2025;
  stamp.month = 3;
  stamp.day = 1;
  stamp.hour = 4;
  stamp.minute = 5;
  stamp.second = 6;
  stamp.millisecond = 7;
  EXPECT_EQ(LogLineText(stamp, 4120, u"first process", u"file new", u"C:\\App\\app.exe"),
            "2025-03-01 04:05:06.007 [4120 first process] file new: C:\\App\\app.exe\r\n");
  // No detail, no colon.
  EXPECT_EQ(LogLineText(stamp, 1, u"uninstaller", u"start", u""),
            "2025-03-01 04:05:06.007 [1 uninstaller] start\r\n");
}

TEST(LogLine, StaysOneUtf8LineWhateverTheTexts) {
  LogStamp stamp;
  struct Case {
    const WChar* detail;
    const char* written;
  };
  const Case cases[] = {
      {u"Press OK.\r\nThen wait.", "Press OK.<CR><LF>Then wait."},
      {u"lone\rcr and lone\nlf", "lone<CR>cr and lone<LF>lf"},
      {u"tab\there\x01", "tab here "},
      {u"C:\\Programme\\Gr\u00FC\u00DFe \u65E5\u672C", "C:\\Programme\\Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC"},
  };
  for (const Case& c : cases) {
    const std::string line = LogLineText(stamp, 2, u"elevated copy", u"message", c.detail);
    const std::string prefix = "0000-00-00 00:00:00.000 [2 elevated copy] message: ";
    EXPECT_EQ(line, prefix + c.written + "\r\n");
    EXPECT_EQ(line.find('\n'), line.size() - 1);
  }
  // The role and the kind are made safe too.
  EXPECT_EQ(LogLineText(stamp, 3, u"a\r\nb", u"c\nd", u""), "0000-00-00 00:00:00.000 [3 a<CR><LF>b] c<LF>d\r\n");
}

TEST(LogLine, ErrorDetail) {
  struct Case {
    const WChar* text;
    uint32_t error;
    const WChar* detail;
  };
  const Case cases[] = {
      {u"Access denied.\r\n", 5, u"Access denied. (error 5)"},
      {u"The system cannot find the file specified.  \r\n", 2,
       u"The system cannot find the file specified. (error 2)"},
      {u"", 12345, u"unknown error (error 12345)"},
      {u"\r\n", 7, u"unknown error (error 7)"},
      // HRESULTs read best in hexadecimal.
      {u"Class not registered\r\n", 0x80040154u, u"Class not registered (error 0x80040154)"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorDetail(WideString(c.text), c.error), WideString(c.detail));
}

TEST(LogLine, MutexNameFollowsThePathNotItsCase) {
  const WideString name = LogMutexName(u"C:\\Logs\\Install.log");
  EXPECT_TRUE(name.StartsWith(u"Local\\PloveInstallLog-")) << name;
  EXPECT_EQ(name.Length(), 22 + 16);
  // No further backslash: Windows would read it as a namespace.
  EXPECT_EQ(name.From(7).FindChar(u'\\'), 0);
  EXPECT_EQ(LogMutexName(u"c:\\LOGS\\install.LOG"), name);
  EXPECT_NE(LogMutexName(u"C:\\Logs\\Install2.log"), name);
  EXPECT_NE(LogMutexName(u"C:\\Logs\\Install.lo"), name);
}
