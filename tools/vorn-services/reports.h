// The report service: signature check and the record of each report.
#pragma once

#include <cjson/cJSON.h>

#include <string>
#include <utility>
#include <vector>

namespace vorn::svc {

extern const char kReportKey[];     // "7QW2LK4PZX91MDR3YHVC"
extern const char kReportPrefix[];  // "NewVX|Install|"

// MD5 over key + prefix + body + key, taken from the client's ANSI code page
// to UTF-8, as 32 upper-case hex digits.
std::string ReportSignature(const std::string& body, int ansiCodepage);

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// Request headers as a JSON object; repeated names are joined with ", ".
cJSON* HeadersToJson(const HeaderList& headers);

// The reports.jsonl record of one report (caller owns the result).
cJSON* BuildReportRecord(const std::string& scheme, const HeaderList& headers,
                         const std::string& body, const std::string& sign, int ansiCodepage);

}  // namespace vorn::svc
