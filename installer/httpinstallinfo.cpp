#define VORN_LOG_SOURCE L"installer\\installer\\httpinstallinfo"
#include "installer/httpinstallinfo.h"

#include <cjson/cJSON.h>
#include <json/json.h>

#include <memory>
#include <vector>

#include "comm/httplibrequest.h"
#include "installer/buildconfig.h"
#include "installer/installerreportdata.h"
#include "util/logger.h"
#include "util/string_util.h"

#define INFO_IN(function, format, ...)                                                   \
    ::vorn::Logger::Write(::vorn::LOG_INFO, VORN_LOG_SOURCE, __LINE__, function, format, \
                          ##__VA_ARGS__)
#define ERROR_IN(function, format, ...)                                                   \
    ::vorn::Logger::Write(::vorn::LOG_ERROR, VORN_LOG_SOURCE, __LINE__, function, format, \
                          ##__VA_ARGS__)

namespace vorn {
namespace {

const char kCafeMarker[] = "CXR_LOC_JSONP(";
const int kCafePort = 9186;

struct JsonDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// A member of the required type, else null.
const cJSON* StringMember(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsString(item) && item->valuestring != nullptr ? item : nullptr;
}

const cJSON* ObjectMember(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsObject(item) ? item : nullptr;
}

std::string JsonString(const Json::Value& object, const char* name) {
    if (!object.isObject())
        return std::string();
    const Json::Value& item = object[name];
    return item.isString() ? item.asString() : std::string();
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

std::string BuildClientVersionBody(const std::string& channel) {
    return "{\t\"clientType\": 4,\t\"channelNo\" : \"" + channel + "\" }";
}

bool ParseDecimalPrefix(const std::string& text, int64_t& value) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return false;
    // Accumulated as a negative number, whose range is the larger one.
    const int64_t kMin = INT64_MIN;
    int64_t n = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (n < (kMin + digit) / 10) {
            overflow = true;
        } else {
            n = n * 10 - digit;
        }
    }
    if (overflow) {
        value = negative ? INT64_MIN : INT64_MAX;
    } else if (negative) {
        value = n;
    } else {
        value = n == kMin ? INT64_MAX : -n;
    }
    return true;
}

ClientVersionStatus ParseClientVersionAnswer(const std::string& answer, ClientVersionAnswer& out) {
    std::vector<std::string> pieces;
    SplitString(answer, "\r\n", pieces);
    Json::Value root;
    bool parsed = false;
    try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        // The classic reader in its default mode: comments, any root value.
        Json::Reader reader;
#pragma GCC diagnostic pop
        parsed = reader.parse(pieces.back(), root);
    } catch (const std::exception&) {
        // JsonCpp throws on nesting beyond its limit.
        parsed = false;
    }
    if (!parsed)
        return ClientVersionStatus::ParseError;
    // Read through a const reference: the other operator[] adds members.
    const Json::Value& answerRoot = root;
    if (!answerRoot.isObject())
        return ClientVersionStatus::NotSuccess;
    const Json::Value& success = answerRoot["success"];
    if (!success.isBool() || !success.asBool())
        return ClientVersionStatus::NotSuccess;
    const Json::Value& data = answerRoot["data"];
    ClientVersionAnswer result;
    result.downloadUrl = JsonString(data, "downloadUrl");
    result.clientVersion = JsonString(data, "clientVersion");
    if (result.downloadUrl.empty())
        return ClientVersionStatus::UrlEmpty;
    if (!ParseDecimalPrefix(JsonString(data, "apkSize"), result.apkSize) ||
        !ParseDecimalPrefix(JsonString(data, "crc"), result.crc)) {
        return ClientVersionStatus::BadNumber;
    }
    out = result;
    return ClientVersionStatus::Ok;
}

bool CutJsonp(const std::string& answer, std::string& payload) {
    const size_t marker = answer.find(kCafeMarker);
    const size_t close = answer.rfind(')');
    if (marker == std::string::npos || close == std::string::npos)
        return false;
    const size_t start = marker + sizeof(kCafeMarker) - 1;
    if (close < start)
        return false;
    payload = answer.substr(start, close - start);
    return true;
}

std::string DecodeBase64Prefix(const std::string& text) {
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const int v = Base64Value(c);
        if (v < 0)
            break;  // "=" included
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out += static_cast<char>((bits >> 4) & 0xFF);
    } else if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
    return out;
}

std::string UnscrambleCafeData(const std::string& bytes) {
    const uint32_t halves[2] = {VORN_CAFE_KEY_LOW, VORN_CAFE_KEY_HIGH};
    unsigned char key[8];
    for (int i = 0; i < 8; ++i)
        key[i] = static_cast<unsigned char>(halves[i / 4] >> (8 * (i % 4)));
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ key[i % 8]);
        if (c == '\0')
            break;
        out += c;
    }
    return out;
}

}  // namespace vorn

bool HttpInstallInfo::RequestInstallInfo() {
    const char* const kFunction = "HttpInstallInfo::RequestInstallInfo";
    GetWebBarInfo();
    channel = ReadChannelConfig();
    const std::string narrowChannel = vorn::WideToChs(channel);
    CInstallerReportData::Instance()->b_channelid = narrowChannel;

    INFO_IN(kFunction, L" Get /pc/UpdateRequest Start");
    const std::string body = vorn::BuildClientVersionBody(narrowChannel);
    std::string answer;
    PostRequest(VORN_HOST_CLIENT_VERSION, "/api/v1/sys/getClientVersion", {}, body.c_str(), answer);
    INFO_IN(kFunction, L" Get /pc/UpdateRequest Start PostMessage[%s]",
            vorn::ChsToWide(body).c_str());
    INFO_IN(kFunction, L" Get /pc/UpdateRequest response[%s] ", vorn::Utf8ToWide(answer).c_str());

    vorn::ClientVersionAnswer result;
    switch (vorn::ParseClientVersionAnswer(answer, result)) {
        case vorn::ClientVersionStatus::ParseError:
            ERROR_IN(kFunction, L" Get /pc/UpdateRequest readerUpdate.parse false");
            return false;
        case vorn::ClientVersionStatus::NotSuccess:
            ERROR_IN(kFunction, L" Get /pc/UpdateRequest Failed  isSuccess false");
            return false;
        case vorn::ClientVersionStatus::UrlEmpty:
            ERROR_IN(kFunction, L" Get /pc/UpdateRequest Failed  downloadUrl empty");
            return false;
        case vorn::ClientVersionStatus::BadNumber:
            ERROR_IN(kFunction, L" Get /pc/UpdateRequest Failed  apkSize or crc invalid");
            return false;
        case vorn::ClientVersionStatus::Ok:
            break;
    }
    // A URL that is not UTF-8 would convert to nothing: no usable answer.
    const std::wstring url = vorn::Utf8ToWide(result.downloadUrl);
    if (url.empty()) {
        ERROR_IN(kFunction, L" Get /pc/UpdateRequest Failed  downloadUrl empty");
        return false;
    }
    clientVersion = vorn::Utf8ToWide(result.clientVersion);
    downloadUrl = url;
    apkSize = result.apkSize;
    crc = result.crc;
    return true;
}

void HttpInstallInfo::PostRequest(const char* host, const char* path,
                                  const std::map<std::string, std::string>& headers,
                                  const char* body, std::string& answer) {
    vorn::PostRequest(host, path, headers, body, answer);
}

std::string HttpInstallInfo::GetRequest() {
    httplib::SSLClient client(VORN_HOST_CAFE, vorn::kCafePort);
    if (!vorn::ApplyCaBundle(client)) {
        ERROR_IN("HttpInstallInfo::GetRequest", L"can not find cacert file");
    }
    vorn::ApplyTransportSettings(client);
    const httplib::Result result = client.Get("/CXBasicInfo");
    return result ? result->body : std::string();
}

void HttpInstallInfo::GetWebBarInfo() {
    const char* const kFunction = "HttpInstallInfo::GetWebBarInfo";
    if (!barInfo.empty()) {
        INFO_IN(kFunction, L" Get /CXBasicInfo Recv Message Success not again");
        return;
    }
    const std::string answer = GetRequest();
    if (answer.empty()) {
        INFO_IN(kFunction, L" Get /CXBasicInfo Recv Message Empty");
        return;
    }
    TakeBarInfoAnswer(answer);
}

void HttpInstallInfo::TakeBarInfoAnswer(const std::string& answer) {
    const char* const kFunction = "HttpInstallInfo::GetWebBarInfo";
    std::string payload;
    if (!vorn::CutJsonp(answer, payload)) {
        INFO_IN(kFunction, L"BarInfoRespond cann't find CXR_LOC_JSONP");
        return;
    }
    std::string data;
    vorn::JsonPtr root(cJSON_ParseWithLength(payload.data(), payload.size()));
    if (!root) {
        INFO_IN(kFunction, L"BarInfoRespond Root == NULL");
    } else {
        const cJSON* item = vorn::StringMember(root.get(), "data");
        if (item == nullptr) {
            // Missing or not a string: nothing to decode.
            INFO_IN(kFunction, L" Get /CXBasicInfo Recv jason  data error");
            return;
        }
        data = item->valuestring;
    }
    INFO_IN(kFunction, L" start base64 and encrypt start");
    const std::string document = vorn::UnscrambleCafeData(vorn::DecodeBase64Prefix(data));
    INFO_IN(kFunction, L" start base64 and encrypt success");
    barInfo = document;
    TakeBarInfoDocument(document);
}

void HttpInstallInfo::TakeBarInfoDocument(const std::string& document) {
    const char* const kFunction = "HttpInstallInfo::GetWebBarInfo";
    vorn::JsonPtr root(cJSON_Parse(document.c_str()));
    if (!root)
        return;
    CInstallerReportData* report = CInstallerReportData::Instance();
    if (const cJSON* guid = vorn::StringMember(root.get(), "guid")) {
        INFO_IN(kFunction, L"BarInfoRespond guid [%s]",
                vorn::AnsiToWide(guid->valuestring).c_str());
        report->b_icafe_guid = guid->valuestring;
    }
    if (const cJSON* charge = vorn::ObjectMember(root.get(), "bar_charge")) {
        if (const cJSON* type = vorn::StringMember(charge, "charge_type")) {
            INFO_IN(kFunction, L"BarInfoRespond charge_type [%s]",
                    vorn::AnsiToWide(type->valuestring).c_str());
            report->b_charge_type = type->valuestring;
        }
        if (const cJSON* id = vorn::StringMember(charge, "charge_id")) {
            INFO_IN(kFunction, L"BarInfoRespond charge_id [%s]",
                    vorn::AnsiToWide(id->valuestring).c_str());
            report->b_charge_id = id->valuestring;
        }
    }
    if (const cJSON* manage = vorn::ObjectMember(root.get(), "bar_manage")) {
        if (const cJSON* type = vorn::StringMember(manage, "manage_type")) {
            INFO_IN(kFunction, L"BarInfoRespond manage_type [%s]",
                    vorn::AnsiToWide(type->valuestring).c_str());
            report->b_manage_type = type->valuestring;
        }
        if (const cJSON* id = vorn::StringMember(manage, "manage_id")) {
            INFO_IN(kFunction, L"BarInfoRespond manage_id [%s]",
                    vorn::AnsiToWide(id->valuestring).c_str());
            report->b_manage_id = id->valuestring;
        }
    }
}
