#include <gtest/gtest.h>

#include "engine/record_argument.h"

namespace {

TEST(RecordArgument, WholeQuotedArgumentsAndTheirReplacement) {
  const struct {
    const WChar* commandLine;
    const WChar* record;
    const WChar* replaced;  // with the record made C:\R d\r.dat
  } cases[] = {
      // As an argument list writes an argument that holds a blank.
      {u"x.exe \"--uninstall=C:\\Program Files (x86)\\P\\r.dat\"", u"C:\\Program Files (x86)\\P\\r.dat",
       u"x.exe --uninstall=\"C:\\R d\\r.dat\""},
      {u"x.exe --silent \"--uninstall=C:\\A b\\r.dat\" --noautoreboot", u"C:\\A b\\r.dat",
       u"x.exe --silent --uninstall=\"C:\\R d\\r.dat\" --noautoreboot"},
      {u"x.exe \"<uninstall>C:\\A b\\r.dat\"", u"C:\\A b\\r.dat", u"x.exe <uninstall>\"C:\\R d\\r.dat\""},
      {u"x.exe \"--uninstall=C:\\A b\\r.dat", u"C:\\A b\\r.dat", u"x.exe --uninstall=\"C:\\R d\\r.dat\""},
      // Today's forms as they were.
      {u"x.exe --uninstall=\"C:\\A b\\r.dat\" --silent", u"C:\\A b\\r.dat",
       u"x.exe --uninstall=\"C:\\R d\\r.dat\" --silent"},
      {u"x.exe --uninstall=r.dat", u"r.dat", u"x.exe --uninstall=\"C:\\R d\\r.dat\""},
      {u"x.exe \"--uninstall=\"", u"", u"x.exe \"--uninstall=\""},
  };
  for (const auto& c : cases) {
    const WideString line(c.commandLine);
    EXPECT_EQ(RecordArgument(line), WideString(c.record)) << line.ToUtf8();
    EXPECT_EQ(ReplaceRecordArgument(line, u"C:\\R d\\r.dat"), WideString(c.replaced)) << line.ToUtf8();
  }
}

}  // namespace
