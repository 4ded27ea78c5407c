#include "logger.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "path_util.h"

namespace vorn {
namespace {

class SystemClock : public LogClock {
  public:
    LogTime LocalNow() override {
        SYSTEMTIME st;
        ::GetLocalTime(&st);
        return LogTime{st.wYear,   st.wMonth,  st.wDay,         st.wHour,
                       st.wMinute, st.wSecond, st.wMilliseconds};
    }
    std::time_t CalendarNow() override { return std::time(nullptr); }
};

SystemClock g_systemClock;

// Formats into dst (room characters, terminator included); returns the count
// written, cut to fit.
size_t FormatInto(wchar_t* dst, size_t room, const wchar_t* format, va_list args) {
    if (room == 0)
        return 0;
    va_list copy;
    va_copy(copy, args);
    // msvcrt's formatter: "%s" takes a wide string in a wide format.
    const int n = ::_vsnwprintf(dst, room - 1, format, copy);
    va_end(copy);
    const size_t written = (n < 0) ? wcsnlen(dst, room - 1) : static_cast<size_t>(n);
    dst[written] = L'\0';
    return written;
}

size_t FormatArgs(wchar_t* dst, size_t room, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const size_t n = FormatInto(dst, room, format, args);
    va_end(args);
    return n;
}

}  // namespace

LogTime LogClock::ToLocal(std::time_t t) {
    std::tm tm{};
    localtime_s(&tm, &t);
    return LogTime{static_cast<uint32_t>(tm.tm_year + 1900),
                   static_cast<uint32_t>(tm.tm_mon + 1),
                   static_cast<uint32_t>(tm.tm_mday),
                   static_cast<uint32_t>(tm.tm_hour),
                   static_cast<uint32_t>(tm.tm_min),
                   static_cast<uint32_t>(tm.tm_sec),
                   0};
}

Logger::Logger() : clock_(&g_systemClock) {}

Logger& Logger::Instance() {
    static Logger instance;
    return instance;
}

const wchar_t* Logger::LevelTag(uint32_t level) {
    switch (level) {
        case LOG_STARTUP:
            return L"Startup";
        case LOG_SHUTDOWN:
            return L"Shutdown";
        case LOG_INFO:
            return L"Info";
        case LOG_WARNING:
            return L"Warning";
        case LOG_TRACE:
            return L"Trace";
        case LOG_ERROR:
            return L"Error";
        case LOG_DEBUG:
            return L"Debug";
        default:
            return L"Unknown";
    }
}

void Logger::Write(uint32_t level, const wchar_t* /*file*/, int /*line*/, const char* /*function*/,
                   const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Instance().WriteLine(level, format, args);
    va_end(args);
}

size_t Logger::Compose(const LogTime& now, uint32_t threadId, uint32_t level, const wchar_t* format,
                       va_list args, wchar_t (&line)[kLineChars + 2]) const {
    // Prefixes and message share kLineChars; the line keeps at most
    // kLineChars - 1 characters before its line feed.
    size_t n = 0;
    const size_t limit = kLineChars;
    if (prefixMask_ & kPrefixTime) {
        n += FormatArgs(line + n, limit - n, L"[%02u:%02u:%02u.%03u]|", now.hour, now.minute,
                        now.second, now.milliseconds);
    }
    if ((prefixMask_ & kPrefixThread) && n + 1 < limit) {
        n += FormatArgs(line + n, limit - n, L"[%04x]|", threadId);
    }
    if (n + 1 < limit)
        n += FormatArgs(line + n, limit - n, L"[%s]|", LevelTag(level));
    if (n + 1 < limit && format != nullptr)
        n += FormatInto(line + n, limit - n, format, args);
    line[n] = L'\n';
    line[n + 1] = L'\0';
    return n + 1;
}

void Logger::WriteLine(uint32_t level, const wchar_t* format, va_list args) {
    if ((level & levelMask_) == 0)
        return;
    const LogTime now = clock_->LocalNow();
    wchar_t line[kLineChars + 2];
    const size_t length = Compose(now, ::GetCurrentThreadId(), level, format, args, line);
    if (outputMask_ & kOutputStdout) {
        std::fputws(line, stdout);
    }
    if (outputMask_ & kOutputFile)
        WriteToFile(now, line, length);
}

std::wstring Logger::PathForDate(uint32_t year, uint32_t month, uint32_t day) const {
    wchar_t date[16];
    std::swprintf(date, 16, L"%04u%02u%02u.log", year, month, day);
    return logDirectory_ + fileNamePrefix_ + date;
}

void Logger::WriteToFile(const LogTime& now, const wchar_t* line, size_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    wchar_t date[16];
    std::swprintf(date, 16, L"%04u%02u%02u.log", now.year, now.month, now.day);
    if (std::wcscmp(date, currentFileName_) != 0) {
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
        RemoveOldFiles(keepDays_);
        file_ = ::_wfopen((logDirectory_ + fileNamePrefix_ + date).c_str(), L"ab");
        std::wcscpy(currentFileName_, date);
    }
    if (file_ == nullptr)
        return;

    // Code page 936 bytes, LF written as CR LF; a character that the code page
    // cannot show becomes "?".
    std::wstring text(line, length);
    std::wstring crlf;
    crlf.reserve(text.size() + 1);
    for (wchar_t c : text) {
        if (c == L'\n')
            crlf += L'\r';
        crlf += c;
    }
    const int bytes = ::WideCharToMultiByte(936, 0, crlf.data(), static_cast<int>(crlf.size()),
                                            nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        std::string out(bytes, '\0');
        ::WideCharToMultiByte(936, 0, crlf.data(), static_cast<int>(crlf.size()), &out[0], bytes,
                              nullptr, nullptr);
        std::fwrite(out.data(), 1, out.size(), file_);
    }
    std::fflush(file_);
}

void Logger::RemoveOldFiles(uint32_t days) {
    std::time_t t = clock_->CalendarNow() - static_cast<std::time_t>(days + 1) * 86400;
    for (;;) {
        const LogTime d = clock_->ToLocal(t);
        if (!::DeleteFileW(PathForDate(d.year, d.month, d.day).c_str()))
            break;
        t -= 86400;
    }
}

void Logger::SetLogDirectory(const std::wstring& d) {
    std::lock_guard<std::mutex> guard(lock_);
    logDirectory_ = d;
}

void Logger::SetFileNamePrefix(const std::wstring& p) {
    std::lock_guard<std::mutex> guard(lock_);
    fileNamePrefix_ = p;
}

void Logger::SetClock(LogClock* clock) {
    clock_ = clock ? clock : &g_systemClock;
}

void Logger::CloseFile() {
    std::lock_guard<std::mutex> guard(lock_);
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    currentFileName_[0] = L'\0';
}

void ConfigureInstallerLog() {
    Logger& log = Logger::Instance();
    log.SetLevelMask(LOG_STARTUP | LOG_SHUTDOWN | LOG_INFO | LOG_WARNING | LOG_ERROR);
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, temp);
    std::wstring dir = (n > 0 && n < MAX_PATH) ? std::wstring(temp, n) : std::wstring();
    // Without a temporary folder the file goes beside the working folder.
    if (dir.empty())
        dir = L".\\";
    if (!IsDirectory(dir))
        MakeDirectories(dir);
    if (dir.back() != L'\\')
        dir += L'\\';
    log.SetLogDirectory(dir);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    log.SetKeepDays(7);
    log.SetFileNamePrefix(L"Installer");
}

}  // namespace vorn
