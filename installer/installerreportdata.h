// The event reporter: one signed POST per notable step of the run, carrying
// the machine's identity, the channel and the cafe values.
#pragma once

#include <cstdint>
#include <string>

#include "util/singleton.h"

class CInstallerReportData : public vorn::Singleton<CInstallerReportData> {
  public:
    // Logs and makes the run identifier; always true.
    virtual bool Init();

    // Sends one report and waits for it. True once the request was made,
    // whatever came back; false when the body could not be built.
    bool ReportData(int32_t eventType, int32_t eventRet, int32_t eventFrom,
                    const std::string& eventMsg);

    // The body as sent: the fields and the event, without white space. False
    // when cJSON cannot allocate it.
    bool BuildBody(int32_t eventType, int32_t eventRet, int32_t eventFrom,
                   const std::string& eventMsg, std::string& body) const;
    // 32 upper-case hexadecimal digits: MD5 over the UTF-8 form of the key,
    // the project and business names, the ANSI body and the key again.
    static std::string Sign(const std::string& body);

    std::string b_guid;
    std::string b_channelid;
    std::string b_mac;
    std::string b_icafe_guid;
    std::string b_charge_type;
    std::string b_charge_id;
    std::string b_manage_type;
    std::string b_manage_id;

  private:
    friend class vorn::Singleton<CInstallerReportData>;
    CInstallerReportData();
    virtual ~CInstallerReportData() = default;
};
