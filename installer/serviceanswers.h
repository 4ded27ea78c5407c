// The answer and body formats of the vendor's services, on their own so that
// they can be checked without a server (and built for any platform).
#pragma once

#include <cstdint>
#include <string>

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

// Exclusive-or with the 8-byte key made of keyLow and keyHigh (each little
// endian), cut at the first zero byte.
std::string UnscrambleCafeData(const std::string& bytes, uint32_t keyLow, uint32_t keyHigh);

enum class CafeAnswerStatus {
    Ok,
    NoMarker,  // no "CXR_LOC_JSONP(" ... ")" around a payload
    NotJson,   // the payload is no JSON: the document is decoded from an empty text
    NoData,    // the payload has no "data" string
};

// The cafe document inside a cafe answer: the JSONP payload's "data" string,
// Base64-decoded and unscrambled. document is set for Ok and NotJson.
CafeAnswerStatus DecodeCafeAnswer(const std::string& answer, uint32_t keyLow, uint32_t keyHigh,
                                  std::string& document);

// A value of the cafe document; present only when the member is a string.
struct CafeValue {
    bool present = false;
    std::string value;
};

struct CafeDocument {
    CafeValue guid;
    CafeValue chargeType;
    CafeValue chargeId;
    CafeValue manageType;
    CafeValue manageId;
};

// The values of a cafe document (read up to its first zero byte); false when
// it is no JSON.
bool ParseCafeDocument(const std::string& document, CafeDocument& out);

}  // namespace vorn
