#include "agent/stop.h"

#include <cwchar>
#include <string>

#include "agent/watcher.h"
#include "util/string_util.h"

namespace e2e {
namespace {

using NextThreadFunction = LONG(WINAPI*)(HANDLE, HANDLE, ACCESS_MASK, ULONG, ULONG, HANDLE*);
using ProcessFunction = LONG(WINAPI*)(HANDLE);

// How long the threads of a frozen program may take to stop, how often
// that is asked again, and how many waiters may be left behind.
constexpr DWORD kStopWaitMs = 300;
constexpr int kStopAttempts = 3;
constexpr int kMostAbandoned = 20;

template <typename F>
F Ntdll(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}

// The whole file, read beside the program that writes it.
std::string ReadShared(const std::wstring& path) {
    vorn::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[64 * 1024];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    const int n = ::WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        ::WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                              n, nullptr, nullptr);
    }
    return out;
}

std::wstring TodaysLog() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t name[32];
    std::swprintf(name, 32, L"Installer%04u%02u%02u.log", now.wYear, now.wMonth, now.wDay);
    return std::wstring(temp) + name;
}

bool Exists(const std::wstring& path, uint64_t atLeast) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return atLeast == 0;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size >= atLeast;
}

// Open by some program for reading, and by none for writing: a first open
// that shares nothing is refused, one that shares reading only is not.
bool OnlyRead(const std::wstring& path) {
    vorn::UniqueHandle alone(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (alone || ::GetLastError() != ERROR_SHARING_VIOLATION)
        return false;
    vorn::UniqueHandle beside(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return beside.Valid();
}

bool RegistryValue(const std::wstring& path, bool& present, std::wstring& error) {
    const size_t hive = path.find(L'\\');
    const size_t name = path.rfind(L'\\');
    if (hive == std::wstring::npos || name == hive) {
        error = L"no registry value path: " + path;
        return false;
    }
    HKEY root = path.compare(0, hive, L"HKCU") == 0   ? HKEY_CURRENT_USER
                : path.compare(0, hive, L"HKLM") == 0 ? HKEY_LOCAL_MACHINE
                                                      : nullptr;
    if (root == nullptr) {
        error = L"unknown hive in " + path;
        return false;
    }
    const std::wstring key = path.substr(hive + 1, name - hive - 1);
    vorn::UniqueRegKey opened;
    present =
        ::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, opened.Receive()) == ERROR_SUCCESS &&
        ::RegQueryValueExW(opened.Get(), path.substr(name + 1).c_str(), nullptr, nullptr, nullptr,
                           nullptr) == ERROR_SUCCESS;
    return true;
}

}  // namespace

// Asks each thread of the process for its context whenever told to go: that
// waits until the thread has stopped. Made before the program is frozen.
struct Freezer::Waiter {
    explicit Waiter(HANDLE p) : process(p) {
        go.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        done.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (go && done)
            thread.Reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }

    static DWORD WINAPI Run(void* self) {
        static const auto next = Ntdll<NextThreadFunction>("NtGetNextThread");
        auto* w = static_cast<Waiter*>(self);
        while (::WaitForSingleObject(w->go.Get(), INFINITE) == WAIT_OBJECT_0 && !w->quit) {
            HANDLE previous = nullptr;
            HANDLE thread = nullptr;
            while (next != nullptr &&
                   next(w->process, previous, THREAD_GET_CONTEXT, 0, 0, &thread) >= 0) {
                if (previous != nullptr)
                    ::CloseHandle(previous);
                previous = thread;
                CONTEXT context{};
                context.ContextFlags = CONTEXT_CONTROL;
                ::GetThreadContext(thread, &context);
            }
            if (previous != nullptr)
                ::CloseHandle(previous);
            ::SetEvent(w->done.Get());
        }
        return 0;
    }

    HANDLE process;
    vorn::UniqueHandle go, done, thread;
    volatile bool quit = false;
};

Freezer::Freezer(HANDLE process) : m_process(process), m_waiter(new Waiter(process)) {}

Freezer::~Freezer() {
    Thaw();
    if (m_waiter && m_waiter->thread) {
        m_waiter->quit = true;
        ::SetEvent(m_waiter->go.Get());
        ::WaitForSingleObject(m_waiter->thread.Get(), INFINITE);
    }
}

bool Freezer::Freeze() {
    // One request holds every thread, so the program moves on between two
    // looks by little more than the system call it was making.
    static const auto suspend = Ntdll<ProcessFunction>("NtSuspendProcess");
    if (suspend == nullptr || suspend(m_process) < 0)
        return false;
    m_frozen = true;
    // A suspension takes effect when the thread next runs outside a call into
    // the Wine server. Now and then a thread never reports its stop under
    // Wine 8, and asking it for its context then waits for ever: that waiter
    // is left to its fate and a new one asks again.
    for (int attempt = 0; attempt < kStopAttempts; ++attempt) {
        if (!m_waiter || !m_waiter->thread) {
            m_broken = true;
            return false;
        }
        ::SetEvent(m_waiter->go.Get());
        if (::WaitForSingleObject(m_waiter->done.Get(), kStopWaitMs) == WAIT_OBJECT_0)
            return true;
        m_waiter.release();
        if (++m_abandoned > kMostAbandoned) {
            m_broken = true;
            return false;
        }
        m_waiter.reset(new Waiter(m_process));
    }
    return false;
}

void Freezer::Thaw() {
    static const auto resume = Ntdll<ProcessFunction>("NtResumeProcess");
    if (m_frozen && resume != nullptr)
        resume(m_process);
    m_frozen = false;
}

std::wstring Condition::Describe() const {
    std::wstring text = kind + L" " + arg;
    if (kind == L"file" && number > 0)
        text += L" (" + std::to_wstring(number) + L" bytes or more)";
    return text;
}

bool Holds(const Condition& c, const Surroundings& s, std::wstring& error) {
    if (c.kind == L"window")
        return s.watcher != nullptr && s.watcher->FindVisible(c.arg) != nullptr;
    if (c.kind == L"file")
        return Exists(c.arg, c.number);
    if (c.kind == L"absent") {
        return ::GetFileAttributesW(c.arg.c_str()) == INVALID_FILE_ATTRIBUTES &&
               (::GetLastError() == ERROR_FILE_NOT_FOUND ||
                ::GetLastError() == ERROR_PATH_NOT_FOUND);
    }
    if (c.kind == L"reading")
        return OnlyRead(c.arg);
    if (c.kind == L"registry" || c.kind == L"no-registry") {
        bool present = false;
        if (!RegistryValue(c.arg, present, error))
            return false;
        return present == (c.kind == L"registry");
    }
    if (c.kind == L"log") {
        // The log is written in the installer's code page.
        return ReadShared(TodaysLog()).find(Narrow(c.arg, 936)) != std::string::npos;
    }
    if (c.kind == L"request") {
        const std::string line = "\"path\":\"" + vorn::WideToUtf8(c.arg) + "\"";
        return ReadShared(s.requestJournal).find(line) != std::string::npos;
    }
    error = L"unknown condition " + c.kind;
    return false;
}

}  // namespace e2e
