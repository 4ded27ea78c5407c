// The process-wide log writer: one line per call, filtered by level, to
// standard output and to a daily file whose old siblings are removed.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

namespace vorn {

enum LogLevel : uint32_t {
    LOG_STARTUP = 1,
    LOG_SHUTDOWN = 2,
    LOG_INFO = 4,
    LOG_WARNING = 8,
    LOG_TRACE = 16,
    LOG_ERROR = 32,
    LOG_DEBUG = 64,
};

struct LogTime {
    uint32_t year, month, day, hour, minute, second, milliseconds;
};

// Where the logger reads the time; tests replace it to cross midnight.
class LogClock {
  public:
    virtual ~LogClock() = default;
    virtual LogTime LocalNow() = 0;
    virtual std::time_t CalendarNow() = 0;
    // Local date of a calendar time (year, month, day are used).
    virtual LogTime ToLocal(std::time_t t);
};

class Logger {
  public:
    enum : uint32_t { kOutputStdout = 1, kOutputFile = 2 };
    enum : uint32_t { kPrefixTime = 1, kPrefixThread = 2 };
    static constexpr size_t kLineChars = 2048;

    Logger();
    ~Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    static Logger& Instance();

    // file and function are the call site's; they do not appear in the line.
    static void Write(uint32_t level, const wchar_t* file, int line, const char* function,
                      const wchar_t* format, ...);
    void WriteLine(uint32_t level, const wchar_t* format, va_list args);

    // Composes the line as it is written (without writing it); returns its length.
    size_t Compose(const LogTime& now, uint32_t threadId, uint32_t level, const wchar_t* format,
                   va_list args, wchar_t (&line)[kLineChars + 2]) const;

    void SetOutputMask(uint32_t m) { outputMask_ = m; }
    void SetPrefixMask(uint32_t m) { prefixMask_ = m; }
    void SetLevelMask(uint32_t m) { levelMask_ = m; }
    uint32_t LevelMask() const { return levelMask_; }
    void SetKeepDays(uint32_t d) { keepDays_ = d; }
    void SetLogDirectory(const std::wstring& d);
    void SetFileNamePrefix(const std::wstring& p);
    // nullptr restores the system clock. The clock must outlive its use.
    void SetClock(LogClock* clock);
    // Closes the open file; the next line opens the file of its day again.
    void CloseFile();

    static const wchar_t* LevelTag(uint32_t level);

  private:
    void WriteToFile(const LogTime& now, const wchar_t* line, size_t length);
    void RemoveOldFiles(uint32_t days);
    std::wstring PathForDate(uint32_t year, uint32_t month, uint32_t day) const;

    std::mutex lock_;
    uint32_t outputMask_ = 15;
    uint32_t prefixMask_ = 15;
    uint32_t levelMask_ = 127;
    uint32_t keepDays_ = 30;
    std::wstring logDirectory_ = L"./log";
    std::wstring fileNamePrefix_ = L"N_A";
    wchar_t currentFileName_[16] = {};
    std::FILE* file_ = nullptr;
    LogClock* clock_;
};

// Start-up configuration: level mask 47, files in the temporary folder named
// "Installer<yyyymmdd>.log", seven days kept.
void ConfigureInstallerLog();

}  // namespace vorn

// Each file may name itself with VORN_LOG_SOURCE before including this header.
#ifndef VORN_LOG_SOURCE
#define VORN_LOG_SOURCE L"" __FILE__
#endif
#define VORN_LOG(level, format, ...) \
    ::vorn::Logger::Write(level, VORN_LOG_SOURCE, __LINE__, __func__, format, ##__VA_ARGS__)
#define LOG_INFO(format, ...) VORN_LOG(::vorn::LOG_INFO, format, ##__VA_ARGS__)
#define LOG_ERROR(format, ...) VORN_LOG(::vorn::LOG_ERROR, format, ##__VA_ARGS__)
