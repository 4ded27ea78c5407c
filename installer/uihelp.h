// The install context: what one window of the run learns and the next needs.
#pragma once

#include <windows.h>

#include <string>

#include "util/singleton.h"

enum _CHECKTYPE : int32_t {
    CHECK_REQUEST_FAILED = 0,
    CHECK_NEED_INSTALL = 1,
    CHECK_INSTALLED = 3,
    CHECK_PACKAGE_EMPTY = 6,
};

class CUIHelp : public vorn::Singleton<CUIHelp> {
  public:
    virtual ~CUIHelp() = default;

    // Set by the check window before anything reads them.
    RECT rcWindow{};
    _CHECKTYPE checkType = CHECK_REQUEST_FAILED;
    std::wstring installDir = L"C:\\Program Files\\Vorn";
    std::wstring exeName = L"vorn.exe";

  private:
    friend class vorn::Singleton<CUIHelp>;
    CUIHelp() = default;
};
