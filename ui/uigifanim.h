// Animated GIF, decoded one frame at a time while it plays.
#pragma once

#include <memory>

#include "ui/uicontrol.h"

namespace DuiLib {

class CGifDecoder;

class CGifAnimUI : public CControlUI {
  public:
    CGifAnimUI();
    ~CGifAnimUI() override;

    std::wstring GetClass() const override;  // "GifAnimUI"
    void* GetInterface(const wchar_t* pstrName) override;

    void PlayGif();
    void PauseGif();
    void StopGif();
    bool IsPlaying() const { return m_bPlaying; }
    // 0 before the GIF was loaded.
    size_t GetFrameCount() const;
    size_t GetCurrentFrame() const { return m_nFrame; }

    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void SetVisible(bool bVisible = true) override;

  protected:
    void PaintBkImage(UIPaintContext& ctx) override;
    bool LoadGif();
    void ScheduleNextFrame();

    std::unique_ptr<CGifDecoder> m_pGif;
    size_t m_nFrame = 0;
    bool m_bLoaded = false;
    bool m_bLoadFailed = false;
    bool m_bAutoPlay = true;
    bool m_bAutoSize = false;
    bool m_bPlaying = false;
};

}  // namespace DuiLib
