// A test program that crashes under Wine (whose debug output the tests switch
// off) would end without a word. This reports what happened on stderr first:
// the exception, where it happened, and the test that was running.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace vorn::test {
namespace {

// Written by the listener, read by the handlers; fixed-size so that reporting
// needs no allocation in a crashed process.
char g_current[256] = "(no test running)";
std::atomic<bool> g_reported{false};

void Report(const char* what) {
    if (g_reported.exchange(true))
        return;
    std::fprintf(stderr, "\n*** test program crashed: %s\n*** during %s, thread %lu\n", what,
                 g_current, GetCurrentThreadId());
    std::fflush(stderr);
}

const char* ExceptionName(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return "access violation";
        case EXCEPTION_STACK_OVERFLOW:
            return "stack overflow";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "illegal instruction";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "integer division by zero";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
            return "array bounds exceeded";
        case EXCEPTION_IN_PAGE_ERROR:
            return "in-page error";
        case EXCEPTION_PRIV_INSTRUCTION:
            return "privileged instruction";
        case 0xC0000409:
            return "stack buffer overrun";
        case 0xC0000374:
            return "heap corruption";
        default:
            return "exception";
    }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* rec = info->ExceptionRecord;
    char module[MAX_PATH] = "?";
    HMODULE mod = nullptr;
    const auto address = reinterpret_cast<uintptr_t>(rec->ExceptionAddress);
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(rec->ExceptionAddress), &mod))
        GetModuleFileNameA(mod, module, sizeof module);
    char what[MAX_PATH + 160];
    std::snprintf(what, sizeof what, "%s 0x%08lX at %s+0x%llx", ExceptionName(rec->ExceptionCode),
                  static_cast<unsigned long>(rec->ExceptionCode), module,
                  static_cast<unsigned long long>(address - reinterpret_cast<uintptr_t>(mod)));
    if (rec->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && rec->NumberParameters >= 2) {
        const size_t used = std::strlen(what);
        std::snprintf(what + used, sizeof what - used, " (%s 0x%llx)",
                      rec->ExceptionInformation[0] == 0   ? "reading"
                      : rec->ExceptionInformation[0] == 8 ? "executing"
                                                          : "writing",
                      static_cast<unsigned long long>(rec->ExceptionInformation[1]));
    }
    Report(what);
    return EXCEPTION_EXECUTE_HANDLER;  // ends the process with the exception code
}

void OnTerminate() {
    const char* what = "std::terminate";
    char text[512];
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            std::snprintf(text, sizeof text, "std::terminate on an uncaught exception: %s",
                          e.what());
            what = text;
        } catch (...) {
            what = "std::terminate on an uncaught exception of unknown type";
        }
    }
    Report(what);
    std::_Exit(3);
}

class CurrentTest : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& info) override {
        std::snprintf(g_current, sizeof g_current, "%s.%s", info.test_suite_name(), info.name());
    }
    void OnTestEnd(const testing::TestInfo&) override {
        std::snprintf(g_current, sizeof g_current, "(between tests)");
    }
};

}  // namespace

void InstallCrashReport() {
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    testing::UnitTest::GetInstance()->listeners().Append(new CurrentTest);
}

}  // namespace vorn::test
