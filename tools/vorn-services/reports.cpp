#include "reports.h"

#include <openssl/evp.h>

#include <cstdio>

#include "codepage.h"
#include "journal.h"

namespace vorn::svc {

const char kReportKey[] = "7QW2LK4PZX91MDR3YHVC";
const char kReportPrefix[] = "NewVX|Install|";

std::string ReportSignature(const std::string& body, int ansiCodepage) {
    const std::string text = std::string(kReportKey) + kReportPrefix + body + kReportKey;
    const std::string utf8 = CodepageToUtf8(text, ansiCodepage);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(utf8.data(), utf8.size(), digest, &len, EVP_md5(), nullptr) != 1)
        return {};
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < len; ++i) {
        std::snprintf(two, sizeof(two), "%02X", digest[i]);
        hex += two;
    }
    return hex;
}

cJSON* HeadersToJson(const HeaderList& headers) {
    cJSON* object = cJSON_CreateObject();
    for (const auto& [rawName, rawValue] : headers) {
        const std::string name = SanitizeUtf8(rawName);
        const std::string value = SanitizeUtf8(rawValue);
        cJSON* existing = cJSON_GetObjectItemCaseSensitive(object, name.c_str());
        if (cJSON_IsString(existing)) {
            cJSON_ReplaceItemInObjectCaseSensitive(
                object, name.c_str(),
                cJSON_CreateString((std::string(existing->valuestring) + ", " + value).c_str()));
        } else {
            cJSON_AddStringToObject(object, name.c_str(), value.c_str());
        }
    }
    return object;
}

cJSON* BuildReportRecord(const std::string& scheme, const HeaderList& headers,
                         const std::string& body, const std::string& sign, int ansiCodepage) {
    const std::string expected = ReportSignature(body, ansiCodepage);
    cJSON* record = cJSON_CreateObject();
    cJSON_AddStringToObject(record, "time", IsoTimeNow().c_str());
    cJSON_AddStringToObject(record, "scheme", scheme.c_str());
    cJSON_AddItemToObject(record, "headers", HeadersToJson(headers));
    const std::string readable = CodepageToUtf8(body, ansiCodepage);
    cJSON_AddStringToObject(record, "body", readable.c_str());
    // The body parsed, for tests that look at single members (null if it is no JSON).
    cJSON* parsed = cJSON_Parse(readable.c_str());
    cJSON_AddItemToObject(record, "body_json", parsed ? parsed : cJSON_CreateNull());
    cJSON_AddStringToObject(record, "body_hex", ToHex(body).c_str());
    cJSON_AddStringToObject(record, "sign", SanitizeUtf8(sign).c_str());
    cJSON_AddStringToObject(record, "sign_expected", expected.c_str());
    cJSON_AddBoolToObject(record, "sign_valid", !expected.empty() && sign == expected);
    return record;
}

}  // namespace vorn::svc
