// Animated GIF, decoded one frame at a time while it plays.
#pragma once

#include <memory>

#include "ui/control.h"
#include "ui/renderer.h"

namespace TavroLib {

class CGifDecoder;

class CGifAnimUI : public CControlUI {
  public:
    CGifAnimUI();
    ~CGifAnimUI() override;

    std::wstring GetTypeName() const override;  // "GifAnimUI"

    void Play();
    void Pause();
    void Stop();
    bool IsPlaying() const { return m_playing; }
    // 0 before the GIF was loaded.
    size_t GetFrameCount() const;
    size_t GetCurrentFrame() const { return m_frame; }

    void SetAttribute(const wchar_t* attribute, const wchar_t* value) override;
    void OnInit() override;
    void OnEvent(ControlEvent& event) override;
    void SetVisible(bool visible = true) override;

  protected:
    void PaintBackgroundImage(PaintContext& ctx) override;
    bool LoadFrames();
    void ScheduleNextFrame();
    void DecodeFrame(size_t frame);

    std::unique_ptr<CGifDecoder> m_decoder;
    size_t m_frame = 0;
    size_t m_decoded = 0;  // counts the frames decoded, so that a scaled copy knows its age
    ScaledFrame m_scaled;  // the current frame at the window's DPI
    bool m_loaded = false;
    bool m_loadFailed = false;
    bool m_autoPlay = true;
    bool m_autoSize = false;
    bool m_playing = false;
};

}  // namespace TavroLib
