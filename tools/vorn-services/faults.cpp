#include "faults.h"

#include <cjson/cJSON.h>

#include <memory>

#include "codepage.h"
#include "journal.h"

namespace vorn::svc {
namespace {

bool GetString(const cJSON* o, const char* name, std::string* out, std::string* error) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(o, name);
    if (!item)
        return true;
    if (!cJSON_IsString(item)) {
        *error = std::string("\"") + name + "\" must be a string";
        return false;
    }
    *out = item->valuestring;
    return true;
}

bool GetInt(const cJSON* o, const char* name, int* out, std::string* error) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(o, name);
    if (!item)
        return true;
    if (!cJSON_IsNumber(item)) {
        *error = std::string("\"") + name + "\" must be a number";
        return false;
    }
    *out = item->valueint;
    return true;
}

// A whole number of bytes; JSON numbers carry 53 bits exactly, enough here.
bool GetBytes(const cJSON* o, const char* name, int64_t* out, std::string* error) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(o, name);
    if (!item)
        return true;
    const double v = cJSON_IsNumber(item) ? item->valuedouble : -1;
    if (!(v >= 0 && v <= 9007199254740992.0) || v != static_cast<double>(static_cast<int64_t>(v))) {
        *error = std::string("\"") + name + "\" must be a whole number of bytes";
        return false;
    }
    *out = static_cast<int64_t>(v);
    return true;
}

bool GetBool(const cJSON* o, const char* name, bool* out, std::string* error) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(o, name);
    if (!item)
        return true;
    if (!cJSON_IsBool(item)) {
        *error = std::string("\"") + name + "\" must be true or false";
        return false;
    }
    *out = cJSON_IsTrue(item);
    return true;
}

bool ParseOne(const cJSON* o, Fault* f, std::string* error) {
    if (!cJSON_IsObject(o)) {
        *error = "a fault must be a JSON object";
        return false;
    }
    std::string bodyHex;
    bool hasHex = cJSON_GetObjectItemCaseSensitive(o, "body_hex") != nullptr;
    f->hasBody = cJSON_GetObjectItemCaseSensitive(o, "body") != nullptr;
    if (!GetString(o, "path", &f->path, error) || !GetString(o, "scheme", &f->scheme, error) ||
        !GetString(o, "method", &f->method, error) || !GetInt(o, "port", &f->port, error) ||
        !GetInt(o, "status", &f->status, error) || !GetString(o, "body", &f->body, error) ||
        !GetString(o, "body_hex", &bodyHex, error) ||
        !GetString(o, "content_type", &f->contentType, error) ||
        !GetInt(o, "delay_ms", &f->delayMs, error) || !GetBool(o, "silent", &f->silent, error) ||
        !GetInt(o, "silent_ms", &f->silentMs, error) ||
        !GetBool(o, "close_mid_body", &f->closeMidBody, error) ||
        !GetInt(o, "times", &f->times, error) || !GetBytes(o, "cut_after", &f->cutAfter, error) ||
        !GetBytes(o, "body_size", &f->bodySize, error) || !GetBytes(o, "rate", &f->rate, error) ||
        !GetBool(o, "endless", &f->endless, error) || !GetInt(o, "stall_ms", &f->stallMs, error) ||
        !GetBytes(o, "stall_every", &f->stallEvery, error))
        return false;
    if (f->path.empty()) {
        *error = "a fault needs a \"path\"";
        return false;
    }
    if (f->scheme != "any" && f->scheme != "https" && f->scheme != "http") {
        *error = "\"scheme\" must be \"https\", \"http\" or \"any\"";
        return false;
    }
    if (f->status != 0 && (f->status < 100 || f->status > 999)) {
        *error = "\"status\" must be an HTTP status code";
        return false;
    }
    if (hasHex) {
        if (!FromHex(bodyHex, &f->body)) {
            *error = "\"body_hex\" is not hexadecimal";
            return false;
        }
        f->hasBody = true;
    }
    if ((f->bodySize >= 0 || f->endless) && f->status == 0) {
        *error = "\"body_size\" and \"endless\" need a \"status\"";
        return false;
    }
    if (f->rate < 0) {
        *error = "\"rate\" must not be negative";
        return false;
    }
    if (f->delayMs < 0 || f->silentMs < 0) {
        *error = "\"delay_ms\" and \"silent_ms\" must not be negative";
        return false;
    }
    if ((f->stallMs != 0 || f->stallEvery != 0) && (f->stallMs <= 0 || f->stallEvery <= 0)) {
        *error = "\"stall_ms\" and \"stall_every\" go together, both above 0";
        return false;
    }
    return true;
}

}  // namespace

bool ParseFaults(const std::string& json, std::vector<Fault>* faults, std::string* error) {
    std::unique_ptr<cJSON, JsonDeleter> root(cJSON_ParseWithLength(json.data(), json.size()));
    if (!root) {
        *error = "not JSON";
        return false;
    }
    std::vector<Fault> parsed;
    if (cJSON_IsArray(root.get())) {
        const cJSON* item = nullptr;
        cJSON_ArrayForEach(item, root.get()) {
            Fault f;
            if (!ParseOne(item, &f, error))
                return false;
            parsed.push_back(std::move(f));
        }
    } else {
        Fault f;
        if (!ParseOne(root.get(), &f, error))
            return false;
        parsed.push_back(std::move(f));
    }
    *faults = std::move(parsed);
    return true;
}

std::string FaultsToJson(const std::vector<Fault>& faults) {
    std::unique_ptr<cJSON, JsonDeleter> array(cJSON_CreateArray());
    for (const Fault& f : faults) {
        cJSON* o = cJSON_CreateObject();
        cJSON_AddStringToObject(o, "path", SanitizeUtf8(f.path).c_str());
        cJSON_AddStringToObject(o, "scheme", f.scheme.c_str());
        if (!f.method.empty())
            cJSON_AddStringToObject(o, "method", f.method.c_str());
        if (f.port)
            cJSON_AddNumberToObject(o, "port", f.port);
        cJSON_AddNumberToObject(o, "status", f.status);
        if (f.hasBody)
            cJSON_AddStringToObject(o, "body_hex", ToHex(f.body).c_str());
        cJSON_AddStringToObject(o, "content_type", f.contentType.c_str());
        cJSON_AddNumberToObject(o, "delay_ms", f.delayMs);
        cJSON_AddBoolToObject(o, "silent", f.silent);
        cJSON_AddNumberToObject(o, "silent_ms", f.silentMs);
        cJSON_AddBoolToObject(o, "close_mid_body", f.closeMidBody);
        if (f.cutAfter >= 0)
            cJSON_AddNumberToObject(o, "cut_after", static_cast<double>(f.cutAfter));
        if (f.bodySize >= 0)
            cJSON_AddNumberToObject(o, "body_size", static_cast<double>(f.bodySize));
        cJSON_AddBoolToObject(o, "endless", f.endless);
        if (f.rate > 0)
            cJSON_AddNumberToObject(o, "rate", static_cast<double>(f.rate));
        if (f.stallEvery > 0) {
            cJSON_AddNumberToObject(o, "stall_ms", f.stallMs);
            cJSON_AddNumberToObject(o, "stall_every", static_cast<double>(f.stallEvery));
        }
        cJSON_AddNumberToObject(o, "times", f.times);
        cJSON_AddNumberToObject(o, "hits", f.hits);
        cJSON_AddItemToArray(array.get(), o);
    }
    char* text = cJSON_PrintUnformatted(array.get());
    std::string out = text ? text : "[]";
    cJSON_free(text);
    return out;
}

void FaultTable::Add(const std::vector<Fault>& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.insert(faults_.end(), faults.begin(), faults.end());
}

void FaultTable::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

std::vector<Fault> FaultTable::List() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

std::optional<Fault> FaultTable::Take(const std::string& path, const std::string& scheme,
                                      const std::string& method, int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Fault& f : faults_) {
        if (f.times == 0)
            continue;
        if (f.path != "*" && f.path != path)
            continue;
        if (f.scheme != "any" && f.scheme != scheme)
            continue;
        if (!f.method.empty() && f.method != method)
            continue;
        if (f.port != 0 && f.port != port)
            continue;
        if (f.times > 0)
            --f.times;
        ++f.hits;
        return f;
    }
    return std::nullopt;
}

}  // namespace vorn::svc
