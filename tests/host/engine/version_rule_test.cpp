#include <gtest/gtest.h>

#include "engine/version_rule.h"

TEST(VersionRule, HighHalfFirstThenLowHalfBothUnsigned) {
  const FileVersion none;
  const FileVersion v1_0{0x00010000u, 0u};
  const FileVersion v1_5{0x00010000u, 0x00050000u};
  const FileVersion v2_0{0x00020000u, 0u};
  const FileVersion huge{0x80000000u, 0u};  // negative if taken as signed
  EXPECT_TRUE(KeepExistingFile(v2_0, v1_5));
  EXPECT_FALSE(KeepExistingFile(v1_5, v2_0));
  EXPECT_TRUE(KeepExistingFile(v1_5, v1_0));
  EXPECT_TRUE(KeepExistingFile(huge, v2_0));
  EXPECT_TRUE(KeepExistingFile(FileVersion{1u, 0xFFFFFFFFu}, FileVersion{1u, 1u}));
  // Equal versions are copied again; a file without a version never stays
  // against one that has a version.
  EXPECT_FALSE(KeepExistingFile(v1_0, v1_0));
  EXPECT_FALSE(KeepExistingFile(none, v1_0));
  EXPECT_TRUE(KeepExistingFile(v1_0, none));
}

TEST(VersionRule, FileInUseIsCurrentOnlyWithTheSameRealVersion) {
  const FileVersion v1_0{0x00010000u, 0u};
  EXPECT_TRUE(InUseFileIsCurrent(v1_0, v1_0));
  EXPECT_FALSE(InUseFileIsCurrent(v1_0, FileVersion{0x00010000u, 1u}));
  EXPECT_FALSE(InUseFileIsCurrent(FileVersion{}, FileVersion{}));  // no version: staged
}
