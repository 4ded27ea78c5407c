// What the vendor's services told this run: the client package for the
// channel, the channel itself and the cafe information.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "installer/serviceanswers.h"
#include "util/singleton.h"

class HttpInstallInfo : public vorn::Singleton<HttpInstallInfo> {
  public:
    virtual ~HttpInstallInfo() = default;

    // Asks the client-version service for the channel's package. True when
    // the answer was usable; the answer fields are then set.
    bool RequestInstallInfo();
    // The cafe information, fetched once per run; fills barInfo and the
    // reporter's cafe fields.
    void GetWebBarInfo();
    // The cafe service's answer (empty when none came).
    std::string GetRequest();
    // The channel identifier from the channel file (empty if none).
    std::wstring ReadChannelConfig();

    // POST through the request wrapper; answer receives the body.
    static void PostRequest(const char* host, const char* path,
                            const std::map<std::string, std::string>& headers, const char* body,
                            std::string& answer);

    std::wstring clientVersion;
    std::wstring downloadUrl;
    int64_t apkSize = 0;
    int64_t crc = 0;
    std::wstring channel;
    std::string barInfo;

  private:
    friend class vorn::Singleton<HttpInstallInfo>;
    HttpInstallInfo() = default;
    // Decodes the cafe service's answer into barInfo and the reporter's fields.
    void TakeBarInfoAnswer(const std::string& answer);
    // Hands the values of a decoded cafe document to the reporter.
    static void TakeBarInfoDocument(const std::string& document);
};

// The answer and body formats, on their own in installer/serviceanswers.h.
namespace vorn {

// Exclusive-or with the cafe key (bytes 1-4 and 5-8 from the two build
// constants, little endian), cut at the first zero byte.
std::string UnscrambleCafeData(const std::string& bytes);

}  // namespace vorn
