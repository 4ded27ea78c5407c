#include "ui_test_util.h"

#include "ui/paintmanager.h"
#include "ui/zipresource.h"

namespace uitest {

bool ResourceBytes(int id, std::vector<unsigned char>& out) {
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"ZIPRES");
    if (res == nullptr)
        return false;
    HGLOBAL g = ::LoadResource(nullptr, res);
    const auto* p = static_cast<const unsigned char*>(g ? ::LockResource(g) : nullptr);
    if (p == nullptr)
        return false;
    out.assign(p, p + ::SizeofResource(nullptr, res));
    return true;
}

bool OpenTestArchive(int id) {
    std::vector<unsigned char> bytes;
    if (!ResourceBytes(id, bytes))
        return false;
    return TavroLib::CZipResource::Instance().OpenMemory(L"membuffer", bytes.data(), bytes.size());
}

void Pump(DWORD ms, const std::function<bool()>& done) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < ms) {
        if (done && done())
            return;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!TavroLib::CPaintManagerUI::PreTranslate(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace uitest
