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
    if (TavroLib::CControlUI* label = FindControl(L"label"))
        label->SetText(m_message);
}

LRESULT MessageInfoBox::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

std::wstring MessageInfoBox::GetSkinFile() {
    return L"MessageInfoBox.xml";
}

void MessageInfoBox::Notify(TavroLib::NotifyMsg& msg) {
    if (msg.type != TavroLib::kNotifyClick || msg.sender == nullptr)
        return;
    const std::wstring& name = msg.sender->GetName();
    if (name == L"okbtn" || name == L"closebtn")
        Close(IDCLOSE);
}
