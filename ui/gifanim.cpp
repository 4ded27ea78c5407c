#include "ui/gifanim.h"

#include <algorithm>

#include "ui/gifdecoder.h"
#include "ui/attributes.h"
#include "ui/paintmanager.h"
#include "ui/renderer.h"
#include "ui/resources.h"

namespace TavroLib {
namespace {
constexpr UINT kFrameTimer = 0x3E8;
}

CGifAnimUI::CGifAnimUI() = default;

CGifAnimUI::~CGifAnimUI() {
    if (m_manager != nullptr)
        m_manager->KillTimer(this, kFrameTimer);
}

std::wstring CGifAnimUI::GetTypeName() const {
    return L"GifAnimUI";
}

size_t CGifAnimUI::GetFrameCount() const {
    return m_decoder ? m_decoder->FrameCount() : 0;
}

void CGifAnimUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"autoplay") {
        m_autoPlay = ParseBool(value);
    } else if (name == L"autosize") {
        m_autoSize = ParseBool(value);
    } else {
        if (name == L"bkimage") {
            m_decoder.reset();
            m_loaded = m_loadFailed = false;
        }
        CControlUI::SetAttribute(attribute, value);
    }
}

bool CGifAnimUI::LoadFrames() {
    if (m_loaded)
        return true;
    if (m_loadFailed)
        return false;
    ImageAttr attr;
    std::vector<unsigned char> bytes;
    auto gif = std::make_unique<CGifDecoder>();
    if (!ParseImageAttr(m_bkImage.c_str(), attr) || !ReadResourceBytes(attr.file, bytes) ||
        !gif->Open(std::move(bytes)) || gif->FrameCount() == 0) {
        m_loadFailed = true;
        return false;
    }
    m_decoder = std::move(gif);
    DecodeFrame(0);
    m_loaded = true;
    if (m_autoSize) {
        SetFixedWidth(std::min(m_decoder->Width(), kMaxWindowExtent));
        SetFixedHeight(std::min(m_decoder->Height(), kMaxWindowExtent));
    }
    return true;
}

void CGifAnimUI::DecodeFrame(size_t frame) {
    m_frame = frame;
    m_decoder->DecodeFrame(frame);
    ++m_decoded;
}

void CGifAnimUI::OnInit() {
    if (!LoadFrames())
        return;
    if (m_autoPlay)
        Play();
}

void CGifAnimUI::ScheduleNextFrame() {
    if (m_manager == nullptr || !m_decoder)
        return;
    const int delay = m_decoder->FrameDelayMs(m_frame);
    m_manager->SetTimer(this, kFrameTimer, static_cast<UINT>(delay > 0 ? delay : 100));
}

void CGifAnimUI::Play() {
    if (m_playing || !LoadFrames() || m_decoder->FrameCount() < 2)
        return;
    m_playing = true;
    ScheduleNextFrame();
}

void CGifAnimUI::Pause() {
    if (!m_playing)
        return;
    m_playing = false;
    if (m_manager != nullptr)
        m_manager->KillTimer(this, kFrameTimer);
}

void CGifAnimUI::Stop() {
    Pause();
    if (m_decoder && m_frame != 0) {
        DecodeFrame(0);
        Invalidate();
    }
}

void CGifAnimUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (!visible)
        Pause();
    else if (m_autoPlay)
        Play();
}

void CGifAnimUI::OnEvent(ControlEvent& event) {
    if (event.type == InputEvent::Timer && event.wParam == kFrameTimer) {
        if (!m_playing || !m_decoder)
            return;
        const size_t count = m_decoder->FrameCount();
        DecodeFrame((m_frame + 1) % count);
        Invalidate();
        // Each frame stays for its own delay.
        ScheduleNextFrame();
        return;
    }
    CControlUI::OnEvent(event);
}

void CGifAnimUI::PaintBackgroundImage(PaintContext& ctx) {
    if (!LoadFrames())
        return;
    // Frames are stretched over the control.
    Render::DrawPixels(ctx, m_decoder->Canvas(), m_decoder->Width(), m_decoder->Height(), m_rect,
                       &m_scaled, m_decoded);
}

}  // namespace TavroLib
