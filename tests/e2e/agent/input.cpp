#include "agent/input.h"

#include <map>
#include <vector>

#include "util/string_util.h"

namespace e2e {
namespace {

constexpr DWORD kPause = 60;
// Wine resynchronises its key state when the focus events of an activation
// arrive; keys sent before would be undone.
constexpr DWORD kSettle = 700;

void Mouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.dx = dx;
    in.mi.dy = dy;
    ::SendInput(1, &in, sizeof in);
}

void MoveCursor(POINT p) {
    ::SetCursorPos(p.x, p.y);
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    if (w > 1 && h > 1) {
        Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, MulDiv(p.x, 65535, w - 1),
              MulDiv(p.y, 65535, h - 1));
    }
    ::Sleep(kPause / 3);
}

void Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    switch (vk) {
        case VK_HOME:
        case VK_END:
        case VK_DELETE:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
            break;
    }
    ::SendInput(1, &in, sizeof in);
    ::Sleep(kPause);
}

bool VirtualKey(const std::wstring& name, WORD& vk) {
    static const std::map<std::wstring, WORD> keys = {
        {L"esc", VK_ESCAPE},    {L"escape", VK_ESCAPE},  {L"enter", VK_RETURN},
        {L"tab", VK_TAB},       {L"home", VK_HOME},      {L"end", VK_END},
        {L"delete", VK_DELETE}, {L"backspace", VK_BACK}, {L"left", VK_LEFT},
        {L"right", VK_RIGHT},   {L"up", VK_UP},          {L"down", VK_DOWN},
        {L"space", VK_SPACE},   {L"f4", VK_F4},          {L"ctrl", VK_CONTROL},
        {L"shift", VK_SHIFT},   {L"alt", VK_MENU}};
    auto it = keys.find(name);
    if (it != keys.end()) {
        vk = it->second;
        return true;
    }
    if (name.size() == 1 &&
        ((name[0] >= L'a' && name[0] <= L'z') || (name[0] >= L'0' && name[0] <= L'9'))) {
        vk = static_cast<WORD>(towupper(name[0]));
        return true;
    }
    return false;
}

bool BringToFront(HWND hwnd) {
    if (::GetForegroundWindow() == hwnd)
        return true;
    for (int i = 0; i < 20 && ::GetForegroundWindow() != hwnd; ++i) {
        ::SetForegroundWindow(hwnd);
        ::Sleep(50);
    }
    ::Sleep(kSettle);
    return ::GetForegroundWindow() == hwnd;
}

}  // namespace

bool Drag(HWND hwnd, int x1, int y1, int x2, int y2) {
    POINT from{x1, y1}, to{x2, y2};
    if (!::IsWindow(hwnd) || !::ClientToScreen(hwnd, &from) || !::ClientToScreen(hwnd, &to))
        return false;
    MoveCursor(from);
    ::Sleep(kPause);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    ::Sleep(kPause * 2);
    constexpr int kSteps = 12;
    for (int i = 1; i <= kSteps; ++i) {
        MoveCursor(
            POINT{from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps});
        ::Sleep(kPause / 2);
    }
    ::Sleep(kPause * 2);
    Mouse(MOUSEEVENTF_LEFTUP);
    ::Sleep(kPause * 2);
    return true;
}

bool PressKeys(HWND hwnd, const std::wstring& combination) {
    std::wstring keysText = combination;
    int repeat = 1;
    const size_t star = keysText.find(L'*');
    if (star != std::wstring::npos) {
        repeat = _wtoi(keysText.substr(star + 1).c_str());
        keysText = keysText.substr(0, star);
    }
    std::vector<std::wstring> names;
    vorn::SplitString(keysText, L"+", names);
    std::vector<WORD> keys;
    for (const auto& n : names) {
        WORD vk = 0;
        if (!VirtualKey(n, vk))
            return false;
        keys.push_back(vk);
    }
    if (keys.empty() || repeat < 1 || !BringToFront(hwnd))
        return false;
    for (int r = 0; r < repeat; ++r) {
        for (WORD vk : keys)
            Key(vk, false);
        for (auto it = keys.rbegin(); it != keys.rend(); ++it)
            Key(*it, true);
    }
    return true;
}

}  // namespace e2e
