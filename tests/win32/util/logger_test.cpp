#include <gtest/gtest.h>

#include <cstdarg>

#include "support/test_support.h"
#include "util/logger.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

class FakeClock : public LogClock {
  public:
    explicit FakeClock(std::time_t t) : now(t) {}
    LogTime LocalNow() override {
        LogTime t = ToLocal(now);
        t.milliseconds = 347;
        return t;
    }
    std::time_t CalendarNow() override { return now; }
    std::time_t now;
};

// 2026-03-15 12:00 in local time.
std::time_t Noon() {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 2;
    tm.tm_mday = 15;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::wstring DateName(FakeClock& clock, std::time_t t) {
    const LogTime d = clock.ToLocal(t);
    wchar_t name[32];
    swprintf(name, 32, L"Test%04u%02u%02u.log", d.year, d.month, d.day);
    return name;
}

class LoggerTest : public testing::Test {
  protected:
    LoggerTest() : clock(Noon()) {
        log.SetClock(&clock);
        log.SetOutputMask(Logger::kOutputFile);
        log.SetLogDirectory(dir.Path());
        log.SetFileNamePrefix(L"Test");
        log.SetKeepDays(7);
    }
    ~LoggerTest() override { log.CloseFile(); }

    void Write(uint32_t level, const wchar_t* format, ...) {
        va_list args;
        va_start(args, format);
        log.WriteLine(level, format, args);
        va_end(args);
    }
    std::string Today() { return test::ReadBytes(dir.File(DateName(clock, clock.now))); }

    std::wstring Compose(uint32_t threadId, uint32_t level, const wchar_t* format, ...) {
        wchar_t line[Logger::kLineChars + 2];
        va_list args;
        va_start(args, format);
        const size_t n =
            log.Compose(LogTime{2026, 1, 2, 9, 15, 2, 7}, threadId, level, format, args, line);
        va_end(args);
        return std::wstring(line, n);
    }

    TempDir dir;
    FakeClock clock;
    Logger log;
};

}  // namespace

TEST_F(LoggerTest, LineFormatAndPadding) {
    EXPECT_EQ(Compose(0x1a2c, LOG_ERROR, L" Get /pc/UpdateRequest Failed "),
              L"[09:15:02.007]|[1a2c]|[Error]| Get /pc/UpdateRequest Failed \n");
    EXPECT_EQ(Compose(0xa4c, LOG_INFO, L"x"), L"[09:15:02.007]|[0a4c]|[Info]|x\n");
    EXPECT_EQ(Compose(0x12345, LOG_INFO, L"x"), L"[09:15:02.007]|[12345]|[Info]|x\n");
    log.SetPrefixMask(0);
    EXPECT_EQ(Compose(1, LOG_WARNING, L"%s [%d]", L"wide", 42), L"[Warning]|wide [42]\n");
}

TEST_F(LoggerTest, LevelTags) {
    log.SetPrefixMask(0);
    EXPECT_EQ(Compose(1, 3, L"m"), L"[Unknown]|m\n");
    EXPECT_EQ(Compose(1, 128, L"m"), L"[Unknown]|m\n");
    EXPECT_EQ(Compose(1, LOG_STARTUP, L"m"), L"[Startup]|m\n");
    EXPECT_EQ(Compose(1, LOG_SHUTDOWN, L"m"), L"[Shutdown]|m\n");
    EXPECT_EQ(Compose(1, LOG_TRACE, L"m"), L"[Trace]|m\n");
    EXPECT_EQ(Compose(1, LOG_DEBUG, L"m"), L"[Debug]|m\n");
}

TEST_F(LoggerTest, MaskDropsTraceDebugAndLevelZero) {
    log.SetLevelMask(47);
    Write(LOG_TRACE, L"trace");
    Write(LOG_DEBUG, L"debug");
    Write(0, L"zero");
    EXPECT_FALSE(test::FileExists(dir.File(DateName(clock, clock.now))));
    Write(3, L"both");
    Write(LOG_INFO, L"info");
    const std::string text = Today();
    EXPECT_NE(text.find("[Unknown]|both\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Info]|info\r\n"), std::string::npos);
    EXPECT_EQ(text.find("trace"), std::string::npos);
}

TEST_F(LoggerTest, LongMessageIsCutAt2047Characters) {
    const std::wstring message(3000, L'x');
    const std::wstring line = Compose(1, LOG_INFO, L"%s", message.c_str());
    ASSERT_EQ(line.back(), L'\n');
    EXPECT_EQ(line.size() - 1, 2047u);
    log.SetPrefixMask(0);
    EXPECT_EQ(Compose(1, LOG_INFO, L"%s", message.c_str()).size() - 1, 2047u);
}

TEST_F(LoggerTest, FileHoldsCodePage936AndCrLf) {
    Write(LOG_INFO, L"渠道 %s", L"安装");
    Write(LOG_ERROR, L"second");
    const std::string text = Today();
    EXPECT_NE(text.find("]|[Info]|\xC7\xFE\xB5\xC0 \xB0\xB2\xD7\xB0\r\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 8), "second\r\n");
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
}

TEST_F(LoggerTest, MidnightStartsANewFileAndRemovesTheOneEightDaysBefore) {
    clock.now = Noon() + 11 * 3600 + 59 * 60 + 59;  // 23:59:59
    const std::time_t secondDay = clock.now + 2;
    // files for the 7th and 8th day before the second day
    const std::wstring keep = DateName(clock, secondDay - 7 * 86400);
    const std::wstring drop = DateName(clock, secondDay - 8 * 86400);
    ASSERT_TRUE(test::WriteBytes(dir.File(keep), "old"));
    ASSERT_TRUE(test::WriteBytes(dir.File(drop), "old"));

    Write(LOG_INFO, L"before midnight");
    EXPECT_TRUE(test::FileExists(dir.File(drop)));  // 9 days before the first day: kept
    clock.now = secondDay;
    Write(LOG_INFO, L"after midnight");

    const std::string first = test::ReadBytes(dir.File(DateName(clock, secondDay - 2)));
    const std::string second = test::ReadBytes(dir.File(DateName(clock, secondDay)));
    EXPECT_NE(first.find("before midnight"), std::string::npos);
    EXPECT_EQ(first.find("after midnight"), std::string::npos);
    EXPECT_NE(second.find("[00:00:01.347]|"), std::string::npos) << second;
    EXPECT_NE(second.find("after midnight"), std::string::npos);
    EXPECT_FALSE(test::FileExists(dir.File(drop)));
    EXPECT_TRUE(test::FileExists(dir.File(keep)));
}

TEST_F(LoggerTest, RemovalWalkOverTwentyDays) {
    for (int back = 1; back <= 20; ++back) {
        ASSERT_TRUE(test::WriteBytes(dir.File(DateName(clock, clock.now - back * 86400)), "old"));
    }
    Write(LOG_INFO, L"first line of the run");
    for (int back = 1; back <= 20; ++back) {
        EXPECT_EQ(test::FileExists(dir.File(DateName(clock, clock.now - back * 86400))), back <= 7)
            << "day " << back;
    }
}

TEST_F(LoggerTest, RemovalWalkStopsAtAGap) {
    for (int back = 1; back <= 20; ++back) {
        if (back == 12)
            continue;
        ASSERT_TRUE(test::WriteBytes(dir.File(DateName(clock, clock.now - back * 86400)), "old"));
    }
    Write(LOG_INFO, L"first line of the run");
    for (int back = 1; back <= 20; ++back) {
        if (back == 12)
            continue;
        const bool deleted = back >= 8 && back <= 11;
        EXPECT_EQ(test::FileExists(dir.File(DateName(clock, clock.now - back * 86400))), !deleted)
            << "day " << back;
    }
}

TEST_F(LoggerTest, UnopenableFileIsNotRetriedTheSameDay) {
    log.SetLogDirectory(dir.File(L"missing\\"));
    Write(LOG_INFO, L"lost");
    ::CreateDirectoryW(dir.File(L"missing").c_str(), nullptr);
    Write(LOG_INFO, L"also lost");
    EXPECT_TRUE(test::ListFolder(dir.File(L"missing")).empty());
}

TEST(ConfigureInstallerLog, WritesInstallerFileIntoTheTemporaryFolder) {
    TempDir dir;
    {
        test::ScopedTempFolder temp(dir.Path());
        ConfigureInstallerLog();
    }
    Logger& log = Logger::Instance();
    EXPECT_EQ(log.LevelMask(), 47u);
    LOG_INFO(L" Get /pc/UpdateRequest Start");
    log.CloseFile();
    const auto files = test::ListFolder(dir.Path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind(L"Installer", 0), 0u);
    EXPECT_EQ(files[0].size(), std::wstring(L"Installer20260101.log").size());
    EXPECT_NE(test::ReadBytes(dir.File(files[0])).find("[Info]| Get /pc/UpdateRequest Start\r\n"),
              std::string::npos);
}
