// Run under a Wine application setting that reports Windows XP for this program alone: the
// platform layer must read that version, as the PTP family's script session relies on it.
#include "platform/Platform.h"

#include <gtest/gtest.h>

namespace tbx::test {
namespace {

TEST(OsVersionTest, ThePlatformReadsTheWindowsXpThisProgramIsGiven)
{
    const auto version = platform::osVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->major, 5u);
    // 32-bit Windows XP is 5.1; the 64-bit edition is 5.2.
    EXPECT_EQ(version->minor, sizeof(void *) == 4 ? 1u : 2u);
}

} // namespace
} // namespace tbx::test
