#define VORN_LOG_SOURCE L"installer\\installer\\installerreportdata"
#include "installer/installerreportdata.h"

#include <openssl/evp.h>

#include <cstdio>
#include <map>

#include "installer/buildconfig.h"
#include "installer/httpinstallinfo.h"
#include "installer/machineidentity.h"
#include "installer/reportbody.h"
#include "util/logger.h"
#include "util/string_util.h"

namespace {

const char kSignKey[] = "7QW2LK4PZX91MDR3YHVC";
const char kProjectId[] = "NewVX";
const char kBusinessId[] = "Install";
const char kReportPath[] = "/commonReport/report";

}  // namespace

CInstallerReportData::CInstallerReportData() {
    Init();
    b_mac = vorn::GetReportMac();
}

bool CInstallerReportData::Init() {
    vorn::Logger::Write(vorn::LOG_INFO, VORN_LOG_SOURCE, __LINE__, "CInstallerReportData::Init",
                        L"ReportDataMgr Init");
    std::wstring runId;
    vorn::MakeRunId(runId);
    b_guid = vorn::WideToAnsi(runId);
    return true;
}

bool CInstallerReportData::BuildBody(int32_t eventType, int32_t eventRet, int32_t eventFrom,
                                     const std::string& eventMsg, std::string& body) const {
    const vorn::ReportMember members[] = {
        {"b_guid", &b_guid},
        {"b_channelid", &b_channelid},
        {"b_mac", &b_mac},
        {"b_icafe_guid", &b_icafe_guid},
        {"b_charge_type", &b_charge_type},
        {"b_charge_id", &b_charge_id},
        {"b_manage_type", &b_manage_type},
        {"b_manage_id", &b_manage_id},
    };
    return vorn::BuildReportBody(members, sizeof(members) / sizeof(members[0]), eventType, eventRet,
                                 eventFrom, eventMsg, body);
}

std::string CInstallerReportData::Sign(const std::string& body) {
    const std::string text =
        std::string(kSignKey) + kProjectId + "|" + kBusinessId + "|" + body + kSignKey;
    const std::string utf8 = vorn::WideToUtf8(vorn::AnsiToWide(text));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(utf8.data(), utf8.size(), digest, &length, EVP_md5(), nullptr) != 1) {
        return std::string();
    }
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof(pair), "%02X", digest[i]);
        hex += pair;
    }
    return hex;
}

bool CInstallerReportData::ReportData(int32_t eventType, int32_t eventRet, int32_t eventFrom,
                                      const std::string& eventMsg) {
    std::string body;
    if (!BuildBody(eventType, eventRet, eventFrom, eventMsg, body))
        return false;
    const std::map<std::string, std::string> headers = {
        {"sign", Sign(body)},
        {"projectId", kProjectId},
        {"businessId", kBusinessId},
    };
    std::string answer;
    HttpInstallInfo::PostRequest(VORN_HOST_REPORT, kReportPath, headers, body.c_str(), answer);
    const std::wstring format = L"Post " + vorn::AnsiToWide(VORN_HOST_REPORT) +
                                L"  /commonReport/report [%s]  response[%s]";
    vorn::Logger::Write(vorn::LOG_INFO, VORN_LOG_SOURCE, __LINE__,
                        "CInstallerReportData::ReportData", format.c_str(),
                        vorn::AnsiToWide(body).c_str(), vorn::Utf8ToWide(answer).c_str());
    return true;
}
