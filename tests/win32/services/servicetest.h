// Shared by the tests that talk to vorn-services: its data folder, its fault
// control, the installer's log of the test, and child runs of the test program.
#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorn::test {

struct JsonDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

// A string member ("" when missing or of another type).
std::string JsonText(const cJSON* object, const char* name);

// The data folder of the running vorn-services (--data=Z:\...).
class Services {
  public:
    static bool Available() { return !Arg("data").empty(); }
    static std::wstring File(const std::wstring& name);
    static std::string Read(const std::wstring& name) { return ReadBytes(File(name)); }
    static bool Write(const std::wstring& name, const std::string& bytes) {
        return WriteBytes(File(name), bytes);
    }
    // The records of a .jsonl file, from line `from` on.
    static std::vector<Json> Records(const std::wstring& name, size_t from = 0);
    static size_t RecordCount(const std::wstring& name) { return Records(name).size(); }

    // POST /__control/faults on the http port; true when accepted.
    static bool AddFault(const std::string& json);
    static bool ClearFaults();
};

// The installer's log configured into a private temporary folder; the lines
// are read back without their time and thread prefixes ("[Info]|message").
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    const TempDir& Temp() const { return temp_; }
    std::vector<std::wstring> Lines() const;
    bool Has(const std::wstring& levelAndMessage) const;
    size_t Count(const std::wstring& levelAndMessage) const;
    // Places the services' CA as the temporary folder's cacert.pem.
    bool InstallCa() const;

  private:
    TempDir temp_;
    ScopedTempFolder scope_;
};

// Runs program with the arguments and the temporary folder given; returns its
// exit code (or -1).
int RunProcess(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& tempFolder);

std::wstring OwnPath();

}  // namespace vorn::test
