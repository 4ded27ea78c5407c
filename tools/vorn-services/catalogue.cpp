#include "catalogue.h"

#include <cjson/cJSON.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "codepage.h"
#include "journal.h"

namespace vorn::svc {
namespace {

const char kFailure[] = "{\"success\":false,\"data\":null}";

// A string member of an entry, or fallback when it is missing.
std::string Member(const cJSON* entry, const char* name, const std::string& fallback) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(entry, name);
    return cJSON_IsString(item) && item->valuestring ? std::string(item->valuestring) : fallback;
}

}  // namespace

bool ExtractChannel(const std::string& body, std::string* channel) {
    static const std::string kStart = "\"channelNo\" : \"";
    static const std::string kEnd = "\" }";
    size_t start = body.find(kStart);
    if (start == std::string::npos)
        return false;
    start += kStart.size();
    size_t end = body.rfind(kEnd);
    if (end == std::string::npos || end < start)
        return false;
    *channel = body.substr(start, end - start);
    return true;
}

bool FileSizeAndCrc(const std::string& path, uint64_t* size, uint32_t* crc) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    uLong value = crc32(0L, Z_NULL, 0);
    uint64_t total = 0;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
        value = crc32(value, buffer, static_cast<uInt>(n));
        total += n;
    }
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok)
        return false;
    *size = total;
    *crc = static_cast<uint32_t>(value);
    return true;
}

ClientVersionResult AnswerClientVersion(const std::string& dataDir, const std::string& body,
                                        const std::string& downloadHost) {
    ClientVersionResult result{kFailure, ""};
    std::string channelBytes;
    if (!ExtractChannel(body, &channelBytes)) {
        result.note = "no channelNo in the body";
        return result;
    }
    const std::string channel = CodepageToUtf8(channelBytes, 936);

    std::string text;
    if (!ReadWholeFile(dataDir + "/catalogue.json", &text)) {
        result.note = "channel '" + channel + "': no catalogue.json";
        return result;
    }
    std::unique_ptr<cJSON, JsonDeleter> catalogue(cJSON_Parse(text.c_str()));
    if (!cJSON_IsObject(catalogue.get())) {
        result.note = "catalogue.json is not a JSON object";
        return result;
    }
    const cJSON* channels = cJSON_GetObjectItemCaseSensitive(catalogue.get(), "channels");
    const cJSON* entry = cJSON_IsObject(channels)
                             ? cJSON_GetObjectItemCaseSensitive(channels, channel.c_str())
                             : nullptr;
    std::string which = "channel '" + channel + "'";
    if (!cJSON_IsObject(entry)) {
        entry = cJSON_GetObjectItemCaseSensitive(catalogue.get(), "default");
        which += " (default entry)";
    }
    if (!cJSON_IsObject(entry)) {
        result.note = "channel '" + channel + "' unknown";
        return result;
    }

    std::string package = Member(entry, "package", "");
    while (!package.empty() && package.front() == '/')
        package.erase(0, 1);
    uint64_t size = 0;
    uint32_t crc = 0;
    std::string fileNote;
    if (package.empty() || package.find("..") != std::string::npos ||
        !FileSizeAndCrc(dataDir + "/files/" + package, &size, &crc)) {
        fileNote = ", package file missing: size 0";
    }
    // Members given in the entry override the computed ones, so tests can
    // announce a wrong size or CRC on purpose.
    const std::string url = Member(entry, "downloadUrl", "https://" + downloadHost + "/" + package);
    const std::string apkSize = Member(entry, "apkSize", std::to_string(size));
    const std::string crcText = Member(entry, "crc", std::to_string(crc));
    const std::string version = Member(entry, "version", "");

    std::unique_ptr<cJSON, JsonDeleter> answer(cJSON_CreateObject());
    cJSON_AddBoolToObject(answer.get(), "success", 1);
    cJSON* data = cJSON_AddObjectToObject(answer.get(), "data");
    cJSON_AddStringToObject(data, "downloadUrl", url.c_str());
    cJSON_AddStringToObject(data, "apkSize", apkSize.c_str());
    cJSON_AddStringToObject(data, "crc", crcText.c_str());
    cJSON_AddStringToObject(data, "clientVersion", version.c_str());
    char* printed = cJSON_PrintUnformatted(answer.get());
    if (printed) {
        result.answer = printed;
        cJSON_free(printed);
    }
    result.note = which + " -> " + url + " size " + apkSize + " crc " + crcText + fileNote;
    return result;
}

}  // namespace vorn::svc
