#include "servicetest.h"

#include <httplib.h>

#include "installer/buildconfig.h"
#include "util/logger.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"

namespace vorn::test {

std::string JsonText(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsString(item) ? item->valuestring : "";
}

std::wstring Services::File(const std::wstring& name) {
    return PathJoin(Utf8ToWide(Arg("data")), name);
}

std::vector<Json> Services::Records(const std::wstring& name, size_t from) {
    std::vector<std::string> lines;
    SplitString(Read(name), "\n", lines);
    std::vector<Json> records;
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        records.emplace_back(cJSON_Parse(lines[i].c_str()));
    }
    return records;
}

namespace {

bool Control(const char* method, const std::string& body) {
    httplib::Client client(VORN_HOST_CLIENT_VERSION, 80);
    client.set_connection_timeout(5, 0);
    httplib::Result result = std::string(method) == "DELETE"
                                 ? client.Delete("/__control/faults")
                                 : client.Post("/__control/faults", body, "application/json");
    return result && result->status == 200;
}

}  // namespace

bool Services::AddFault(const std::string& json) {
    return Control("POST", json);
}
bool Services::ClearFaults() {
    return Control("DELETE", "");
}

LogCapture::LogCapture() : scope_(temp_.Path()) {
    Logger::Instance().CloseFile();
    ConfigureInstallerLog();
}

LogCapture::~LogCapture() {
    Logger::Instance().CloseFile();
}

std::vector<std::wstring> LogCapture::Lines() const {
    std::vector<std::wstring> lines;
    for (const std::wstring& name : ListFolder(temp_.Path())) {
        if (name.rfind(L"Installer", 0) != 0)
            continue;
        std::vector<std::wstring> pieces;
        SplitString(ChsToWide(ReadBytes(temp_.File(name))), std::wstring(L"\r\n"), pieces);
        for (const std::wstring& line : pieces) {
            // [hh:mm:ss.mmm]|[tid]|[Level]|message
            size_t p = 0;
            for (int bars = 0; bars < 2 && p != std::wstring::npos; ++bars) {
                p = line.find(L"]|", p);
                if (p != std::wstring::npos)
                    p += 2;
            }
            if (p != std::wstring::npos && p < line.size())
                lines.push_back(line.substr(p));
        }
    }
    return lines;
}

size_t LogCapture::Count(const std::wstring& levelAndMessage) const {
    size_t n = 0;
    for (const std::wstring& line : Lines()) {
        if (line == levelAndMessage)
            ++n;
    }
    return n;
}

bool LogCapture::Has(const std::wstring& levelAndMessage) const {
    return Count(levelAndMessage) > 0;
}

bool LogCapture::InstallCa() const {
    const std::string pem = Services::Read(L"ca.pem");
    return !pem.empty() && WriteBytes(temp_.File(L"cacert.pem"), pem);
}

std::wstring OwnPath() {
    std::wstring path;
    GetModulePath(path);
    return path;
}

int RunProcess(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& tempFolder) {
    ScopedTempFolder scope(tempFolder);
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info)) {
        return -1;
    }
    UniqueHandle thread(info.hThread), process(info.hProcess);
    if (::WaitForSingleObject(process.Get(), 120000) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

}  // namespace vorn::test
