// Panels: controls that hold children, and the column that stacks them.
#pragma once

#include <vector>

#include "ui/control.h"

namespace TavroLib {

class CPanelUI : public CControlUI {
  public:
    CPanelUI() = default;
    ~CPanelUI() override;

    std::wstring GetTypeName() const override;  // "PanelUI"
    CPanelUI* AsPanel() override { return this; }

    bool Add(CControlUI* control);  // takes ownership
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CControlUI* GetItemAt(int index) const;

    using CControlUI::SetPos;
    void SetPos(RECT rc, bool invalidate = true) override;
    void AttachTo(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    CControlUI* FindControl(POINT pt) override;
    bool ForEach(bool (*visit)(CControlUI*, void*), void* data) override;
    void Paint(PaintContext& ctx, const RECT& rcPaint) override;

  protected:
    // Places a floating child at its "pos" relative to this panel.
    void SetFloatPos(CControlUI* child);

    std::vector<CControlUI*> m_items;
};

// Non-floating children stacked top to bottom, sharing the width; a child with
// a fixed height keeps it, the others share what remains.
class CColumnUI : public CPanelUI {
  public:
    std::wstring GetTypeName() const override;  // "ColumnUI"
    using CControlUI::SetPos;
    void SetPos(RECT rc, bool invalidate = true) override;
};

}  // namespace TavroLib
