#include "agent/labelcheck.h"

#include "installer/messageinfobox.h"
#include "windows/window_host.h"

namespace e2e {
namespace {

// Anti-aliased text may differ by a shade where the window's position differs.
constexpr int kTolerance = 24;
constexpr double kAllowedShare = 0.002;

bool CaptureClientArea(HWND hwnd, const RECT& area, vorn::gui::Capture& out) {
    POINT tl{area.left, area.top}, br{area.right, area.bottom};
    if (!::ClientToScreen(hwnd, &tl) || !::ClientToScreen(hwnd, &br))
        return false;
    return vorn::gui::CaptureScreenRect(RECT{tl.x, tl.y, br.x, br.y}, out);
}

}  // namespace

bool LabelReferences::Render(const std::wstring& text, const RECT& area,
                             const std::wstring& pngPath, std::wstring& error) {
    vorn::test::WindowThread box([text] {
        auto b = std::make_unique<MessageInfoBox>();
        b->SetMessage(text);
        return b;
    });
    HWND hwnd = box.Hwnd();
    if (hwnd == nullptr) {
        error = L"the reference message box could not be created";
        return false;
    }
    // Painted once it is visible and its first paint has been handled.
    vorn::gui::WaitFor([&] { return ::IsWindowVisible(hwnd) != FALSE; }, 10000);
    ::Sleep(800);
    vorn::gui::Capture shot;
    if (!CaptureClientArea(hwnd, area, shot)) {
        error = L"the reference message box could not be captured";
        return false;
    }
    if (!pngPath.empty())
        shot.SavePng(pngPath);
    m_refs[text] = shot;
    return true;
}

bool LabelReferences::Matches(HWND hwnd, const std::wstring& text, const RECT& area, int& differing,
                              std::wstring& error) const {
    differing = -1;
    auto ref = m_refs.find(text);
    if (ref == m_refs.end()) {
        error = L"no reference rendering for this text";
        return false;
    }
    vorn::gui::Capture shot;
    if (!CaptureClientArea(hwnd, area, shot)) {
        error = L"the window could not be captured";
        return false;
    }
    if (shot.width != ref->second.width || shot.height != ref->second.height) {
        error = L"the captured area has another size";
        return false;
    }
    differing = 0;
    for (size_t i = 0; i < shot.pixels.size(); ++i) {
        if (!vorn::gui::ColourNear(shot.pixels[i], ref->second.pixels[i], kTolerance))
            ++differing;
    }
    return differing <= static_cast<int>(shot.pixels.size() * kAllowedShare);
}

}  // namespace e2e
