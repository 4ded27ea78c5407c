#include "windows/installer_fixture.h"

#include <ostream>

#include "driver/gui_driver.h"
#include "installer/httpinstallinfo.h"
#include "installer/uihelp.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"

namespace vorn::test {

void PrintTo(const ReportEvent& e, std::ostream* os) {
    *os << "(" << e.type << ", " << e.ret << ", " << e.from << ", \"" << e.msg << "\")";
}

void InstallerWindowTest::SetUp() {
    ASSERT_TRUE(Services::Available()) << "run through with-services.sh";
    ASSERT_TRUE(Services::ClearFaults());
    ASSERT_TRUE(log.InstallCa());
    ResetContext();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    reportsFrom = Services::RecordCount(L"reports.jsonl");
    requestsFrom = Services::RecordCount(L"requests.jsonl");
}

void InstallerWindowTest::TearDown() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    Services::ClearFaults();
}

void InstallerWindowTest::ResetContext() {
    CUIHelp* context = CUIHelp::Instance();
    context->rcWindow = RECT{};
    context->checkType = CHECK_REQUEST_FAILED;
    context->installDir = L"C:\\Program Files\\Vorn";
    context->exeName = L"vorn.exe";
}

void InstallerWindowTest::SetProductValue(const wchar_t* name, const std::wstring& text,
                                          bool terminator) {
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    const DWORD bytes = static_cast<DWORD>((text.size() + (terminator ? 1 : 0)) * 2);
    ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()), bytes),
              ERROR_SUCCESS);
}

void InstallerWindowTest::SetCompleteInstallation(const std::wstring& installDir) {
    SetProductValue(L"installDir", installDir);
    SetProductValue(L"Start", L"vorn.exe");
    SetProductValue(L"Version", L"1.0.0");
}

void InstallerWindowTest::PlaceClient(const std::wstring& name) {
    const std::wstring client = WideArg("client");
    ASSERT_FALSE(client.empty()) << "--client=<vorn-fakeclient.exe> missing";
    ASSERT_TRUE(::CopyFileW(client.c_str(), install.File(name).c_str(), FALSE));
}

std::vector<std::wstring> InstallerWindowTest::ClientStarts() const {
    std::vector<std::wstring> lines;
    const std::string text = ReadBytes(install.File(L"started.txt"));
    if (text.empty())
        return lines;
    std::vector<std::string> pieces;
    SplitString(text, "\n", pieces);
    for (const std::string& p : pieces) {
        if (!p.empty())
            lines.push_back(Utf8ToWide(p));
    }
    return lines;
}

std::vector<ReportEvent> InstallerWindowTest::NewReports() const {
    std::vector<ReportEvent> events;
    for (const Json& r : Services::Records(L"reports.jsonl", reportsFrom)) {
        const cJSON* body = cJSON_GetObjectItemCaseSensitive(r.get(), "body_json");
        ReportEvent e;
        const cJSON* type = cJSON_GetObjectItemCaseSensitive(body, "event_type");
        const cJSON* ret = cJSON_GetObjectItemCaseSensitive(body, "event_ret");
        const cJSON* from = cJSON_GetObjectItemCaseSensitive(body, "event_from");
        e.type = cJSON_IsNumber(type) ? type->valueint : -1;
        e.ret = cJSON_IsNumber(ret) ? ret->valueint : -1;
        e.from = cJSON_IsNumber(from) ? from->valueint : -1;
        e.msg = JsonText(body, "event_msg");
        events.push_back(e);
    }
    return events;
}

std::vector<std::string> InstallerWindowTest::NewRequestPaths() const {
    std::vector<std::string> paths;
    for (const Json& r : Services::Records(L"requests.jsonl", requestsFrom))
        paths.push_back(JsonText(r.get(), "path"));
    return paths;
}

bool InstallerWindowTest::AnswerClientVersion(const std::string& body, int delayMs) {
    Json fault(cJSON_CreateObject());
    cJSON_AddStringToObject(fault.get(), "path", kVersionPath);
    cJSON_AddNumberToObject(fault.get(), "status", 200);
    cJSON_AddStringToObject(fault.get(), "body", body.c_str());
    cJSON_AddStringToObject(fault.get(), "content_type", "application/json");
    cJSON_AddNumberToObject(fault.get(), "delay_ms", delayMs);
    char* text = cJSON_PrintUnformatted(fault.get());
    const std::string json = text;
    cJSON_free(text);
    return Services::AddFault(json);
}

std::string OwnDataResource(int id) {
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"DATA");
    if (res == nullptr)
        return std::string();
    HGLOBAL g = ::LoadResource(nullptr, res);
    const char* p = static_cast<const char*>(g ? ::LockResource(g) : nullptr);
    return p ? std::string(p, ::SizeofResource(nullptr, res)) : std::string();
}

bool WaitWindowRect(const wchar_t* className, DWORD ms, HWND& hwnd, RECT& rc) {
    hwnd = gui::WaitWindow(className, ms);
    return hwnd != nullptr && ::GetWindowRect(hwnd, &rc);
}

}  // namespace vorn::test
