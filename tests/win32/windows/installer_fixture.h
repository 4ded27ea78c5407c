// What the tests of the installer's own windows share: vorn-services for the
// reports and the client-version answer, the product's registry key, the
// install context, an install folder with a stand-in client, and the events
// that reached the report service.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/servicetest.h"
#include "support/test_support.h"

namespace vorn::test {

struct ReportEvent {
    int type = -1;
    int ret = -1;
    int from = -1;
    std::string msg;
    bool operator==(const ReportEvent& o) const {
        return type == o.type && ret == o.ret && from == o.from && msg == o.msg;
    }
};

void PrintTo(const ReportEvent& e, std::ostream* os);

class InstallerWindowTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The install context back to its values at construction.
    static void ResetContext();
    // Values of "Software\Corlanth\Vorn" under HKEY_CURRENT_USER.
    static void SetProductValue(const wchar_t* name, const std::wstring& text,
                                bool terminator = true);
    // All three values for a client "vorn.exe" in installDir (as given).
    static void SetCompleteInstallation(const std::wstring& installDir);
    // The stand-in client copied into the install folder as name.
    void PlaceClient(const std::wstring& name = L"vorn.exe");
    // Lines the stand-in client wrote at its starts.
    std::vector<std::wstring> ClientStarts() const;
    // Reports that reached the service since SetUp, in order.
    std::vector<ReportEvent> NewReports() const;
    // Paths requested since SetUp, in order.
    std::vector<std::string> NewRequestPaths() const;
    // The client-version answer replaced by status 200 and this body.
    static bool AnswerClientVersion(const std::string& body, int delayMs = 0);

    LogCapture log;  // also the run's temporary folder
    TempDir install;
    size_t reportsFrom = 0;
    size_t requestsFrom = 0;
};

constexpr wchar_t kProductKey[] = L"Software\\Corlanth\\Vorn";
const char kVersionPath[] = "/api/v1/sys/getClientVersion";

// The executable's own resource (type "DATA"), as bytes.
std::string OwnDataResource(int id);

// Until the window of that class exists or ms pass; the screen rectangle.
bool WaitWindowRect(const wchar_t* className, DWORD ms, HWND& hwnd, RECT& rc);

}  // namespace vorn::test
