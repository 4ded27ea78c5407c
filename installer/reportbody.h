// The event report's body: named string fields and the event, as cJSON
// prints them, without white space outside the strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorn {

struct ReportMember {
    const char* name;
    const std::string* value;  // written up to its first zero byte
};

// False when cJSON cannot allocate the document or its text.
bool BuildReportBody(const ReportMember* members, size_t count, int32_t eventType, int32_t eventRet,
                     int32_t eventFrom, const std::string& eventMsg, std::string& body);

}  // namespace vorn
