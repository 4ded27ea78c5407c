// Builds a control tree from an XML layout of the skin archive (or resource
// folder) and applies the root Window element's attributes to the manager.
#pragma once

#include <string>
#include <vector>

#include "ui/types.h"

namespace TavroLib {

class CControlUI;

class CDialogBuilder {
  public:
    // Hard limits for layouts, which are data: deeper or larger trees fail.
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxControls = 4096;

    // Reads the layout named xml (entry of the open archive, else a file of
    // the resource folder); null when it is missing, malformed or holds no control.
    CControlUI* Create(const wchar_t* xml, IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Same from the layout's bytes.
    CControlUI* CreateFromBytes(const std::vector<unsigned char>& bytes,
                                IDialogBuilderCallback* callback = nullptr,
                                CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

    // Why the last Create failed (for the log).
    const std::wstring& GetLastErrorText() const { return m_error; }

    // A control of a known element type ("VerticalLayout", "Label", ...), or null.
    static CControlUI* CreateKnownControl(const wchar_t* typeName);

  private:
    std::wstring m_error;
};

}  // namespace TavroLib
