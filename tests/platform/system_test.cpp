// Local time and time-zone bias, directories, the OS version and its override, the error mode.
#include "TestSupport.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

using tbx::platform::localTime;
using tbx::platform::OsVersion;
using tbx::platform::timeZoneBiasMinutes;

namespace {

/// Minutes since 1970 of a broken-down time, read as if it were UTC.
long long minutesOf(const std::tm &t)
{
    // Days from civil date (proleptic Gregorian).
    const int y = t.tm_year + 1900 - (t.tm_mon < 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int m = t.tm_mon + 1;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t.tm_mday - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    return days * 1440 + t.tm_hour * 60 + t.tm_min;
}

std::tm utcOf(std::time_t t)
{
    std::tm result{};
#ifdef _WIN32
    gmtime_s(&result, &t);
#else
    gmtime_r(&t, &result);
#endif
    return result;
}

} // namespace

TEST(LocalTime, BiasIsUtcMinusLocalTime)
{
    const std::time_t now = std::time(nullptr);
    const long long localMinusUtc = minutesOf(localTime(now)) - minutesOf(utcOf(now));
    EXPECT_EQ(timeZoneBiasMinutes(), -localMinusUtc);
    EXPECT_GE(timeZoneBiasMinutes(), -14 * 60);
    EXPECT_LE(timeZoneBiasMinutes(), 12 * 60);
}

#ifndef _WIN32
TEST(LocalTime, FollowsTheTimeZoneOfTheEnvironment)
{
    const char *saved = std::getenv("TZ");
    const std::string savedValue = saved ? saved : "";
    const auto restore = [&] {
        if (saved)
            ::setenv("TZ", savedValue.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    };

    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(timeZoneBiasMinutes(), 0);
    const std::tm epoch = localTime(0);
    EXPECT_EQ(epoch.tm_year, 70);
    EXPECT_EQ(epoch.tm_hour, 0);

    ::setenv("TZ", "XYZ-1", 1); // UTC+1, no daylight saving: Windows reports -60
    ::tzset();
    EXPECT_EQ(timeZoneBiasMinutes(), -60);
    EXPECT_EQ(localTime(0).tm_hour, 1);

    ::setenv("TZ", "ABC+5:30", 1); // UTC-5:30
    ::tzset();
    EXPECT_EQ(timeZoneBiasMinutes(), 330);
    restore();
}
#endif

TEST(Directories, CreatesEveryMissingLevel)
{
    tbx::test::ScratchFolder dir;
    const std::string sep(1, tbx::platform::kDirSeparator);
    const std::string deep = dir.file("a") + sep + "b" + sep + "c";
    EXPECT_TRUE(tbx::platform::createDirectories(deep));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(tbx::platform::createDirectories(deep)) << "already there";

    tbx::test::writeBytes(dir.file("file"), {1});
    EXPECT_FALSE(tbx::platform::createDirectories(dir.file("file")));
    EXPECT_FALSE(tbx::platform::createDirectories(dir.file("file") + sep + "below"));
    EXPECT_FALSE(tbx::platform::createDirectories(""));
}

TEST(OsVersion, AnswersTheSystemUnlessOverridden)
{
    const auto real = tbx::platform::osVersion();
    ASSERT_TRUE(real);
#ifdef _WIN32
    EXPECT_GE(real->major, 5u);
#else
    EXPECT_EQ(real->major, 10u);
    EXPECT_EQ(real->minor, 0u);
#endif
    tbx::platform::setOsVersionOverride(OsVersion{5, 1});
    EXPECT_EQ(tbx::platform::osVersion()->minor, 1u);
    tbx::platform::setOsVersionOverride(std::nullopt);
    EXPECT_FALSE(tbx::platform::osVersion());
    tbx::platform::clearOsVersionOverride();
    ASSERT_TRUE(tbx::platform::osVersion());
    EXPECT_EQ(tbx::platform::osVersion()->major, real->major);
}

TEST(ErrorMode, SetReturnsTheModeItReplaces)
{
    constexpr unsigned kFailCriticalErrors = 0x0001;
    constexpr unsigned kNoOpenFileErrorBox = 0x8000;
    const unsigned original = tbx::platform::setErrorMode(kFailCriticalErrors | kNoOpenFileErrorBox);
    EXPECT_EQ(tbx::platform::setErrorMode(original) & (kFailCriticalErrors | kNoOpenFileErrorBox),
              kFailCriticalErrors | kNoOpenFileErrorBox);
}
