#include <gtest/gtest.h>

#include "util/win/folder_vouching.h"

// The vouching is the process's, and stopping it is for good: one sequence.
TEST(FolderVouching, WhatIsMadeInAVouchedFolderIsKnownUntilAProgramStarts) {
  VouchForEntriesOf(u"C:\\Program Files");
  struct Step {
    const char16_t* made;  // noted as made, or null
    const char16_t* asked;
    bool known;
  };
  const Step steps[] = {
      {nullptr, u"C:\\Program Files", false},  // vouched for, but not made here
      {nullptr, u"C:\\Program Files\\App", false},
      {u"C:\\Program Files\\App", u"C:\\Program Files\\App", true},
      {nullptr, u"c:\\program files\\APP\\", true},
      {u"C:\\Program Files\\App\\data", u"C:\\Program Files\\App\\data", true},
      {u"C:\\Program Files\\App\\data\\deep", u"C:\\Program Files\\App\\data\\deep", true},
      // Made where others may add entries: not known, nor what is made in it.
      {u"C:\\Users\\Public\\App", u"C:\\Users\\Public\\App", false},
      {u"C:\\Users\\Public\\App\\data", u"C:\\Users\\Public\\App\\data", false},
      // The same folder written another way is another path.
      {nullptr, u"\\\\?\\C:\\Program Files\\App", false},
      {u"\\\\?\\C:\\Program Files\\Other", u"\\\\?\\C:\\Program Files\\Other", false},
      {nullptr, u"C:\\Program Files\\App\\data\\file.txt", false},
  };
  for (const Step& step : steps) {
    if (step.made != nullptr) NoteFolderMade(step.made);
    EXPECT_EQ(FolderMadeInVouchedFolder(step.asked), step.known) << WideString(step.asked).ToUtf8();
  }

  StopVouchingForFolders();
  EXPECT_FALSE(FolderMadeInVouchedFolder(u"C:\\Program Files\\App"));
  VouchForEntriesOf(u"C:\\Program Files");
  NoteFolderMade(u"C:\\Program Files\\Later");
  EXPECT_FALSE(FolderMadeInVouchedFolder(u"C:\\Program Files\\Later"));
}
