#include "installer/reportbody.h"

#include <cjson/cJSON.h>

#include <memory>

namespace vorn {
namespace {

struct JsonDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
struct JsonTextDeleter {
    void operator()(char* text) const { cJSON_free(text); }
};

}  // namespace

bool BuildReportBody(const ReportMember* members, size_t count, int32_t eventType, int32_t eventRet,
                     int32_t eventFrom, const std::string& eventMsg, std::string& body) {
    std::unique_ptr<cJSON, JsonDeleter> root(cJSON_CreateObject());
    if (!root)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (cJSON_AddStringToObject(root.get(), members[i].name, members[i].value->c_str()) ==
            nullptr) {
            return false;
        }
    }
    // cJSON prints a number that holds a 32-bit integer as "%d".
    if (cJSON_AddNumberToObject(root.get(), "event_type", eventType) == nullptr ||
        cJSON_AddNumberToObject(root.get(), "event_ret", eventRet) == nullptr ||
        cJSON_AddNumberToObject(root.get(), "event_from", eventFrom) == nullptr ||
        cJSON_AddStringToObject(root.get(), "event_msg", eventMsg.c_str()) == nullptr) {
        return false;
    }
    std::unique_ptr<char, JsonTextDeleter> printed(cJSON_Print(root.get()));
    if (!printed)
        return false;
    // Control characters inside strings are escaped, so every tab, CR and LF
    // left in the text is indentation.
    body.clear();
    for (const char* p = printed.get(); *p != '\0'; ++p) {
        if (*p != '\t' && *p != '\r' && *p != '\n')
            body += *p;
    }
    return true;
}

}  // namespace vorn
