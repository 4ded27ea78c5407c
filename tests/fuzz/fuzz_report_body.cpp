// The report body from arbitrary field bytes: it must stay JSON that gives
// back every field (up to its first zero byte), with no raw control byte.
#include <cjson/cJSON.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "installer/reportbody.h"

namespace {

// Pieces of the input separated by 0xFF bytes (which fields may also hold
// when they come last).
std::vector<std::string> Split(const uint8_t* data, size_t size, size_t pieces) {
    std::vector<std::string> out(pieces);
    size_t k = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && k + 1 < pieces)
            ++k;
        else
            out[k] += static_cast<char>(data[i]);
    }
    return out;
}

int32_t Number(const std::string& s) {
    int32_t v = 0;
    std::memcpy(&v, s.data(), s.size() < 4 ? s.size() : 4);
    return v;
}

// Escapes inside strings are those cJSON writes; outside them, no white space.
void CheckText(const std::string& body) {
    bool inString = false;
    for (size_t i = 0; i < body.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(body[i]);
        if (c < 0x20)
            __builtin_trap();
        if (!inString) {
            if (c == ' ')
                __builtin_trap();
            if (c == '"')
                inString = true;
            continue;
        }
        if (c == '"') {
            inString = false;
        } else if (c == '\\') {
            if (++i >= body.size())
                __builtin_trap();
            const char e = body[i];
            if (e == 'u') {
                if (i + 4 >= body.size() || body.compare(i + 1, 2, "00") != 0)
                    __builtin_trap();
                for (int k = 3; k <= 4; ++k) {
                    const char h = body[i + k];
                    if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f')))
                        __builtin_trap();
                }
                i += 4;
            } else if (std::strchr("\"\\bfnrt", e) == nullptr || e == '\0') {
                __builtin_trap();
            }
        }
    }
    if (inString)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"b_guid",        "b_channelid",   "b_mac",
                                         "b_icafe_guid",  "b_charge_type", "b_charge_id",
                                         "b_manage_type", "b_manage_id"};
    const std::vector<std::string> pieces = Split(data, size, 12);
    vorn::ReportMember members[8];
    for (int i = 0; i < 8; ++i)
        members[i] = {kNames[i], &pieces[i]};
    const int32_t type = Number(pieces[8]), ret = Number(pieces[9]), from = Number(pieces[10]);
    const std::string& message = pieces[11];
    std::string body;
    if (!vorn::BuildReportBody(members, 8, type, ret, from, message, body))
        return 0;
    CheckText(body);

    cJSON* root = cJSON_ParseWithLength(body.data(), body.size());
    if (root == nullptr)
        __builtin_trap();
    for (int i = 0; i < 8; ++i) {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(root, kNames[i]);
        if (!cJSON_IsString(item) || std::string(item->valuestring) != pieces[i].c_str())
            __builtin_trap();
    }
    const cJSON* msg = cJSON_GetObjectItemCaseSensitive(root, "event_msg");
    if (!cJSON_IsString(msg) || std::string(msg->valuestring) != message.c_str())
        __builtin_trap();
    const cJSON* t = cJSON_GetObjectItemCaseSensitive(root, "event_type");
    if (!cJSON_IsNumber(t) || t->valuedouble != type)
        __builtin_trap();
    cJSON_Delete(root);
    return 0;
}
