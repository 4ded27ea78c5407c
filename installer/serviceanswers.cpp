#include "installer/serviceanswers.h"

#include <cjson/cJSON.h>
#include <json/json.h>

#include <memory>
#include <vector>

#include "util/string_util.h"

namespace vorn {
namespace {

const char kCafeMarker[] = "CXR_LOC_JSONP(";

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

std::string UnscrambleCafeData(const std::string& bytes, uint32_t keyLow, uint32_t keyHigh) {
    const uint32_t halves[2] = {keyLow, keyHigh};
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

CafeAnswerStatus DecodeCafeAnswer(const std::string& answer, uint32_t keyLow, uint32_t keyHigh,
                                  std::string& document) {
    std::string payload;
    if (!CutJsonp(answer, payload))
        return CafeAnswerStatus::NoMarker;
    CafeAnswerStatus status = CafeAnswerStatus::Ok;
    std::string data;
    JsonPtr root(cJSON_ParseWithLength(payload.data(), payload.size()));
    if (!root) {
        status = CafeAnswerStatus::NotJson;
    } else {
        const cJSON* item = StringMember(root.get(), "data");
        if (item == nullptr)
            return CafeAnswerStatus::NoData;
        data = item->valuestring;
    }
    document = UnscrambleCafeData(DecodeBase64Prefix(data), keyLow, keyHigh);
    return status;
}

bool ParseCafeDocument(const std::string& document, CafeDocument& out) {
    JsonPtr root(cJSON_Parse(document.c_str()));
    if (!root)
        return false;
    auto take = [](const cJSON* object, const char* name, CafeValue& value) {
        if (const cJSON* item = StringMember(object, name)) {
            value.present = true;
            value.value = item->valuestring;
        }
    };
    take(root.get(), "guid", out.guid);
    if (const cJSON* charge = ObjectMember(root.get(), "bar_charge")) {
        take(charge, "charge_type", out.chargeType);
        take(charge, "charge_id", out.chargeId);
    }
    if (const cJSON* manage = ObjectMember(root.get(), "bar_manage")) {
        take(manage, "manage_type", out.manageType);
        take(manage, "manage_id", out.manageId);
    }
    return true;
}

}  // namespace vorn
