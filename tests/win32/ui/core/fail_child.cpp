// A window whose layout cannot be built (broken, missing, empty, or from an
// archive that is no zip or missing); with a good layout it closes itself and
// exits 0. --folder names the resource folder (files there must not be read).
#include <windows.h>

#include <string>

#include "ui/toolkit.h"

namespace {

std::wstring Option(const std::wstring& cmd, const std::wstring& name) {
    const std::wstring key = L"--" + name + L"=";
    const size_t p = cmd.find(key);
    if (p == std::wstring::npos)
        return std::wstring();
    const size_t b = p + key.size();
    const size_t e = cmd.find(L' ', b);
    return cmd.substr(b, e == std::wstring::npos ? std::wstring::npos : e - b);
}

class FailWnd : public TavroLib::WindowImplBase {
  public:
    FailWnd(std::wstring layout, int resource) : layout_(std::move(layout)), resource_(resource) {}
    const wchar_t* GetWindowClassName() const override { return L"UiCoreFailWindow"; }
    std::wstring GetSkinFolder() override { return L""; }
    std::wstring GetSkinFile() override { return layout_; }
    TavroLib::ResourceSource GetResourceType() const override {
        return TavroLib::ResourceSource::ZipResource;
    }
    const wchar_t* GetResourceId() const override { return MAKEINTRESOURCEW(resource_); }
    void InitWindow() override { Close(IDCLOSE); }

  private:
    std::wstring layout_;
    int resource_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::wstring cmd = ::GetCommandLineW();
    const std::wstring res = Option(cmd, L"resource");
    TavroLib::CPaintManagerUI::SetModule(instance);
    const std::wstring folder = Option(cmd, L"folder");
    TavroLib::CPaintManagerUI::SetResourceFolder(folder.empty() ? L"Z:\\nonexistent\\skin"
                                                                : folder.c_str());
    FailWnd w(Option(cmd, L"layout"), res.empty() ? 102 : _wtoi(res.c_str()));
    if (w.Create(nullptr, L"Velto加速器安装程序", 0x10CE0000, 0x100) == nullptr)
        return 2;
    w.ShowModal();
    return 0;
}
