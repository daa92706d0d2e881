// Stand-ins for the viewer and the input mapping until the playback library provides them:
// the viewer holds the show position and the pause state and plays nothing (the window stays
// black); the mapping knows Esc only. The playback library replaces both in the program.
#pragma once

#include "app/ShowInterfaces.h"

namespace dax::app {

class TStandInViewer : public IShowViewer {
 public:
  void SetPerSlideActions(bool on) override { perSlideActions_ = on; }
  void SetCallbacks(TViewerCallbacks callbacks) override { callbacks_ = std::move(callbacks); }
  void LoadShow(IOpenShow& show, double startTimeMs) override {
    show_ = &show;
    timeMs_ = startTimeMs;
  }
  bool Paused() const override { return paused_; }
  void SetPaused(bool paused) override { paused_ = paused; }
  double CurrentTime() const override { return timeMs_; }
  void Seek(double timeMs) override {
    if (timeMs >= 0) timeMs_ = timeMs;
  }
  bool HasEngine() const override { return false; }
  bool WaitingForKey() const override { return false; }
  void ClearWaitForKey() override {}
  bool OverlayDialogShown() const override { return false; }
  void CloseOverlay() override {}
  void Print() override {}
  void ShowHelp() override {}
  void MouseEvent(int, int, int, int, int, const TDaxActionInfo&) override {}
  THoverInfo Hover() const override { return {}; }
  void Stop() override { show_ = nullptr; }

  IOpenShow* LoadedShow() const { return show_; }
  bool PerSlideActions() const { return perSlideActions_; }

 private:
  TViewerCallbacks callbacks_;
  IOpenShow* show_ = nullptr;
  bool paused_ = true;  // a show starts only when the main window releases the pause
  bool perSlideActions_ = false;
  double timeMs_ = 0;
};

class TStandInInputMapping : public IInputMapping {
 public:
  std::optional<TDaxActionInfo> MapKey(int shiftState, int keyCode, int eventKind) override {
    const int mask = shift::kShift | shift::kAlt | shift::kCtrl;
    if (eventKind == 1 && keyCode == vk::kEscape && (shiftState & mask) == 0)
      return TDaxActionInfo{action::kExit, 0, {}};
    return std::nullopt;
  }
  TDaxActionInfo MapMouse(int, int, int, int, int) override { return {}; }
  bool KeyboardControl() const override { return true; }
};

}  // namespace dax::app
