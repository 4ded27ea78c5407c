#include "ui/uigifanim.h"

#include <algorithm>

#include "ui/gifdecoder.h"
#include "ui/uiattr.h"
#include "ui/uimanager.h"
#include "ui/uirender.h"
#include "ui/uiresource.h"

namespace DuiLib {
namespace {
constexpr UINT kFrameTimer = 0x3E8;
}

CGifAnimUI::CGifAnimUI() = default;

CGifAnimUI::~CGifAnimUI() {
    if (m_pManager != nullptr)
        m_pManager->KillTimer(this, kFrameTimer);
}

std::wstring CGifAnimUI::GetClass() const {
    return L"GifAnimUI";
}

void* CGifAnimUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"GifAnim") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

size_t CGifAnimUI::GetFrameCount() const {
    return m_pGif ? m_pGif->FrameCount() : 0;
}

void CGifAnimUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"autoplay") {
        m_bAutoPlay = ParseBool(pstrValue);
    } else if (name == L"autosize") {
        m_bAutoSize = ParseBool(pstrValue);
    } else {
        if (name == L"bkimage") {
            m_pGif.reset();
            m_bLoaded = m_bLoadFailed = false;
        }
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

bool CGifAnimUI::LoadGif() {
    if (m_bLoaded)
        return true;
    if (m_bLoadFailed)
        return false;
    ImageAttr attr;
    std::vector<unsigned char> bytes;
    auto gif = std::make_unique<CGifDecoder>();
    if (!ParseImageAttr(m_sBkImage.c_str(), attr) || !ReadResourceBytes(attr.file, bytes) ||
        !gif->Open(std::move(bytes)) || gif->FrameCount() == 0) {
        m_bLoadFailed = true;
        return false;
    }
    m_pGif = std::move(gif);
    m_nFrame = 0;
    m_pGif->DecodeFrame(0);
    m_bLoaded = true;
    if (m_bAutoSize) {
        SetFixedWidth(std::min(m_pGif->Width(), kMaxWindowExtent));
        SetFixedHeight(std::min(m_pGif->Height(), kMaxWindowExtent));
    }
    return true;
}

void CGifAnimUI::DoInit() {
    if (!LoadGif())
        return;
    if (m_bAutoPlay)
        PlayGif();
}

void CGifAnimUI::ScheduleNextFrame() {
    if (m_pManager == nullptr || !m_pGif)
        return;
    const int delay = m_pGif->FrameDelayMs(m_nFrame);
    m_pManager->SetTimer(this, kFrameTimer, static_cast<UINT>(delay > 0 ? delay : 100));
}

void CGifAnimUI::PlayGif() {
    if (m_bPlaying || !LoadGif() || m_pGif->FrameCount() < 2)
        return;
    m_bPlaying = true;
    ScheduleNextFrame();
}

void CGifAnimUI::PauseGif() {
    if (!m_bPlaying)
        return;
    m_bPlaying = false;
    if (m_pManager != nullptr)
        m_pManager->KillTimer(this, kFrameTimer);
}

void CGifAnimUI::StopGif() {
    PauseGif();
    if (m_pGif && m_nFrame != 0) {
        m_nFrame = 0;
        m_pGif->DecodeFrame(0);
        Invalidate();
    }
}

void CGifAnimUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    if (!bVisible)
        PauseGif();
    else if (m_bAutoPlay)
        PlayGif();
}

void CGifAnimUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER && event.wParam == kFrameTimer) {
        if (!m_bPlaying || !m_pGif)
            return;
        const size_t count = m_pGif->FrameCount();
        m_nFrame = (m_nFrame + 1) % count;
        m_pGif->DecodeFrame(m_nFrame);
        Invalidate();
        // Each frame stays for its own delay.
        ScheduleNextFrame();
        return;
    }
    CControlUI::DoEvent(event);
}

void CGifAnimUI::PaintBkImage(UIPaintContext& ctx) {
    if (!LoadGif())
        return;
    // Frames are stretched over the control.
    Render::DrawPixels(ctx, m_pGif->Canvas(), m_pGif->Width(), m_pGif->Height(), m_rcItem);
}

}  // namespace DuiLib
