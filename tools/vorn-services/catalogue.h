// The client-version service: which package belongs to a channel.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::svc {

// The channel as the installer sends it: the bytes between the first
// `"channelNo" : "` and the last `" }`. The body is not always valid JSON
// (the channel goes in unescaped), so it is cut out rather than parsed.
bool ExtractChannel(const std::string& body, std::string* channel);

// Size and IEEE CRC-32 of a file; false if it cannot be read.
bool FileSizeAndCrc(const std::string& path, uint64_t* size, uint32_t* crc);

struct ClientVersionResult {
    std::string answer;  // JSON text to send
    std::string note;    // one line for the log
};

// Looks the channel of a request body (code page 936) up in
// dataDir/catalogue.json and describes the package served from dataDir/files.
ClientVersionResult AnswerClientVersion(const std::string& dataDir, const std::string& body,
                                        const std::string& downloadHost);

}  // namespace vorn::svc
