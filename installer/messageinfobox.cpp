#include "installer/messageinfobox.h"

#include "installer/resource.h"

namespace {
const wchar_t kUnknownError[] = L"未知异常";
}  // namespace

MessageInfoBox::~MessageInfoBox() = default;

void MessageInfoBox::SetMessage(const std::wstring& text) {
    m_message = text;
}

UINT MessageInfoBox::ShowMessage(const std::wstring& text) {
    MessageInfoBox box;
    box.SetMessage(text);
    if (box.Create(nullptr, L"Velto加速器安装程序", 0x10CE0000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT,
                   CW_USEDEFAULT, CW_USEDEFAULT) == nullptr) {
        return 0;
    }
    box.SetIcon(IDI_APP_ICON);
    box.CenterWindow();
    return box.ShowModal();
}

const wchar_t* MessageInfoBox::GetWindowClassName() const {
    return L"MessageInfoBoxUI";
}

void MessageInfoBox::OnFinalMessage(HWND /*hWnd*/) {}

void MessageInfoBox::InitWindow() {
    if (m_message.empty())
        m_message = kUnknownError;
    if (DuiLib::CControlUI* label = FindControl(L"label"))
        label->SetText(m_message);
}

std::wstring MessageInfoBox::GetSkinFolder() {
    return std::wstring();
}

std::wstring MessageInfoBox::GetSkinFile() {
    return L"MessageInfoBox.xml";
}

// Enter and Escape do nothing: only the buttons close the box.
LRESULT MessageInfoBox::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

DuiLib::UILIB_RESOURCETYPE MessageInfoBox::GetResourceType() const {
    return DuiLib::UILIB_ZIPRESOURCE;
}

const wchar_t* MessageInfoBox::GetResourceId() const {
    return MAKEINTRESOURCEW(IDR_SKIN_ZIP);
}

void MessageInfoBox::Notify(DuiLib::NotifyMsg& msg) {
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK || msg.pSender == nullptr)
        return;
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"okbtn" || name == L"closebtn")
        Close(IDCLOSE);
}
