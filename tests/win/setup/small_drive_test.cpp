// The small drive of the full-disk tests: a write larger than the drive fails
// as a full disk does, and the drive is as before once the file is gone.

#include "small_drive.h"

#include <gtest/gtest.h>

#include <vector>

#include "prefix_snapshot.h"
#include "util/win/scoped_handle.h"

TEST(SmallDrive, FillsUpAndIsEmptyAgainAfter) {
  WideString root;
  std::string whyNot;
  if (!SmallDriveAvailable(&root, &whyNot)) GTEST_SKIP() << whyNot;
  ULARGE_INTEGER available{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(root.W(), &available, &total, &free));
  EXPECT_LE(total.QuadPart, 16u << 20);
  EXPECT_EQ(GetDriveTypeW(root.W()), static_cast<UINT>(DRIVE_FIXED));
  const PrefixSnapshot before = TakePrefixSnapshot({root});

  const WideString big = root + u"larger than the drive.bin";
  DWORD error = ERROR_SUCCESS;
  {
    ScopedFileHandle file(CreateFileW(big.W(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    const std::vector<char> block(1 << 20, 'x');
    for (uint64_t written = 0; written <= total.QuadPart; written += block.size()) {
      DWORD done = 0;
      if (!WriteFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &done, nullptr)) {
        error = GetLastError();
        break;
      }
    }
  }
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_TRUE(DeleteFileW(big.W()));
  EXPECT_EQ(DifferencesText(DifferencesFrom(before, TakePrefixSnapshot({root}))), "");
  ASSERT_TRUE(GetDiskFreeSpaceExW(root.W(), &available, &total, &free));
  EXPECT_EQ(free.QuadPart, total.QuadPart);
}
