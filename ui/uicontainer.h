// Containers: the child list and the vertical stacking layout.
#pragma once

#include <vector>

#include "ui/uicontrol.h"

namespace DuiLib {

class CContainerUI : public CControlUI {
  public:
    CContainerUI() = default;
    ~CContainerUI() override;

    std::wstring GetClass() const override;  // "ContainerUI"
    void* GetInterface(const wchar_t* pstrName) override;

    bool Add(CControlUI* pControl);  // takes ownership
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CControlUI* GetItemAt(int index) const;

    using CControlUI::SetPos;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    CControlUI* FindControl(POINT pt) override;
    bool ForEach(bool (*visit)(CControlUI*, void*), void* data) override;
    void DoPaint(UIPaintContext& ctx, const RECT& rcPaint) override;

  protected:
    // Places a floating child at its "pos" relative to this container.
    void SetFloatPos(CControlUI* child);

    std::vector<CControlUI*> m_items;
};

// Non-floating children stacked top to bottom, sharing the width; a child with
// a fixed height keeps it, the others share what remains.
class CVerticalLayoutUI : public CContainerUI {
  public:
    std::wstring GetClass() const override;  // "VerticalLayoutUI"
    void* GetInterface(const wchar_t* pstrName) override;
    using CControlUI::SetPos;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

}  // namespace DuiLib
