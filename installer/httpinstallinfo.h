// What the vendor's services told this run: the client package for the
// channel, the channel itself and the cafe information.
#pragma once

#include <cstdint>
#include <map>
#include <string>

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

// The answer and body formats of the vendor's services, on their own so that
// they can be checked without a server.
namespace vorn {

// The client-version request body around the channel (code page 936), unescaped.
std::string BuildClientVersionBody(const std::string& channel);

enum class ClientVersionStatus { Ok, ParseError, NotSuccess, UrlEmpty, BadNumber };

struct ClientVersionAnswer {
    std::string clientVersion;  // UTF-8, as received
    std::string downloadUrl;
    int64_t apkSize = 0;
    int64_t crc = 0;
};

// Parses the last CRLF-separated piece of a client-version answer.
ClientVersionStatus ParseClientVersionAnswer(const std::string& answer, ClientVersionAnswer& out);

// Signed decimal prefix after leading white space, saturated to 64 bits;
// false when there is no digit to convert.
bool ParseDecimalPrefix(const std::string& text, int64_t& value);

// The text between the end of the first "CXR_LOC_JSONP(" and the last ")";
// false when either is missing or the ")" stands before the marker's end.
bool CutJsonp(const std::string& answer, std::string& payload);

// Standard Base64 up to the first "=" or foreign character; a final group of
// k characters gives k - 1 bytes.
std::string DecodeBase64Prefix(const std::string& text);

// Exclusive-or with the cafe key (bytes 1-4 and 5-8 from the two build
// constants, little endian), cut at the first zero byte.
std::string UnscrambleCafeData(const std::string& bytes);

}  // namespace vorn
