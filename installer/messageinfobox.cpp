#include "installer/messageinfobox.h"

void MessageInfoBox::SetMessage(const std::wstring& text) {
    m_message = text;
}

UINT MessageInfoBox::ShowMessage(const std::wstring& text) {
    MessageInfoBox box;
    box.SetMessage(text);
    return box.ShowCentred();
}

const wchar_t* MessageInfoBox::GetWindowClassName() const {
    return L"MessageInfoBoxUI";
}

void MessageInfoBox::OnFinalMessage(HWND /*hWnd*/) {}

void MessageInfoBox::InitWindow() {
    if (m_message.empty())
        m_message = L"未知异常";
    if (DuiLib::CControlUI* label = FindControl(L"label"))
        label->SetText(m_message);
}

std::wstring MessageInfoBox::GetSkinFile() {
    return L"MessageInfoBox.xml";
}

void MessageInfoBox::Notify(DuiLib::NotifyMsg& msg) {
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK || msg.pSender == nullptr)
        return;
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"okbtn" || name == L"closebtn")
        Close(IDCLOSE);
}
