// The disk space check on the prefix's own volumes.
#include <gtest/gtest.h>
#include "install/DiskSpace.h"

TEST(DiskSpace, CheckNamesTheVolumeShortOfRoom) {
    // The system volume has room for a little, not for everything.
    CInstallFailure failure;
    EXPECT_TRUE(CheckDiskSpace(L"C:\\windows", 1024, L"C:\\no such folder\\below", 1024, &failure));
    EXPECT_FALSE(CheckDiskSpace(L"C:\\windows", 1ULL << 60, nullptr, 0, &failure));
    EXPECT_EQ(FAILURE_DISK, failure.cause);
    EXPECT_EQ((1ULL << 60) + kStagingReserveBytes, failure.nNeededBytes);
    ULONGLONG free = 0;
    ASSERT_TRUE(GetFreeBytes(L"C:\\windows", &free));
    EXPECT_NEAR(static_cast<double>(free), static_cast<double>(failure.nFreeBytes), 64.0 * 1024 * 1024);
    failure = CInstallFailure();
    EXPECT_FALSE(CheckDiskSpace(L"C:\\windows", 0, L"C:\\new\\folder", 1ULL << 60, &failure));
    EXPECT_EQ(FAILURE_DISK, failure.cause);
    EXPECT_EQ(1ULL << 60, failure.nNeededBytes) << "the installation volume's need";
    // A volume that cannot be asked counts as having room.
    EXPECT_TRUE(CheckDiskSpace(L"Q:\\", 1ULL << 60, L"", 1ULL << 60, &failure));
}
