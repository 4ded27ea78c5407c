#define VORN_LOG_SOURCE L"installer\\installer\\httpinstallinfo"
#include "installer/httpinstallinfo.h"

#include "comm/httplibproxy.h"
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

const uint16_t kCafePort = 9186;

}  // namespace

std::string UnscrambleCafeData(const std::string& bytes) {
    return UnscrambleCafeData(bytes, VORN_CAFE_KEY_LOW, VORN_CAFE_KEY_HIGH);
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
    const char kPath[] = "/CXBasicInfo";
    vorn::ProxiedAttempt proxy(true, VORN_HOST_CAFE, vorn::kCafePort, kPath);
    const std::unique_ptr<httplib::SSLClient> client = proxy.MakeSslClient();
    if (!vorn::ApplyCaBundle(*client)) {
        ERROR_IN("HttpInstallInfo::GetRequest", L"can not find cacert file");
    }
    vorn::ApplyTransportSettings(*client);
    // Bounded as every other answer: a cafe service gone wrong must not use up
    // the check thread's memory.
    vorn::BoundedAnswer received;
    const httplib::Result result = client->Get(
        kPath,
        [&](const httplib::Response& response) {
            return proxy.TakeResponse(response) && received.TakeResponse(response);
        },
        [&received](const char* data, size_t n) { return received.TakeData(data, n); });
    if (proxy.Answered(static_cast<bool>(result), result.error()))
        return received.TakeBody();
    if (received.TooLarge()) {
        ERROR_IN("HttpInstallInfo::GetRequest", L"answer longer than %u bytes dropped",
                 static_cast<unsigned>(vorn::kMaxAnswerBytes));
    }
    return std::string();
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
    std::string document;
    switch (vorn::DecodeCafeAnswer(answer, VORN_CAFE_KEY_LOW, VORN_CAFE_KEY_HIGH, document)) {
        case vorn::CafeAnswerStatus::NoMarker:
            INFO_IN(kFunction, L"BarInfoRespond cann't find CXR_LOC_JSONP");
            return;
        case vorn::CafeAnswerStatus::NoData:
            // Missing or not a string: nothing to decode.
            INFO_IN(kFunction, L" Get /CXBasicInfo Recv jason  data error");
            return;
        case vorn::CafeAnswerStatus::NotJson:
            INFO_IN(kFunction, L"BarInfoRespond Root == NULL");
            break;
        case vorn::CafeAnswerStatus::Ok:
            break;
    }
    INFO_IN(kFunction, L" start base64 and encrypt start");
    INFO_IN(kFunction, L" start base64 and encrypt success");
    barInfo = document;
    TakeBarInfoDocument(document);
}

void HttpInstallInfo::TakeBarInfoDocument(const std::string& document) {
    const char* const kFunction = "HttpInstallInfo::GetWebBarInfo";
    vorn::CafeDocument values;
    if (!vorn::ParseCafeDocument(document, values))
        return;
    CInstallerReportData* report = CInstallerReportData::Instance();
    const struct {
        const vorn::CafeValue& value;
        const wchar_t* format;
        std::string& field;
    } fields[] = {
        {values.guid, L"BarInfoRespond guid [%s]", report->b_icafe_guid},
        {values.chargeType, L"BarInfoRespond charge_type [%s]", report->b_charge_type},
        {values.chargeId, L"BarInfoRespond charge_id [%s]", report->b_charge_id},
        {values.manageType, L"BarInfoRespond manage_type [%s]", report->b_manage_type},
        {values.manageId, L"BarInfoRespond manage_id [%s]", report->b_manage_id},
    };
    for (const auto& f : fields) {
        if (!f.value.present)
            continue;
        INFO_IN(kFunction, f.format, vorn::AnsiToWide(f.value.value).c_str());
        f.field = f.value.value;
    }
}
