// The SDL2 main window and its event loop. The window is created hidden; the core shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Services.h"

struct SDL_Window;
struct SDL_Cursor;

namespace dax::platform {

// Starts SDL's video part; false (with SDL's reason) when no display can be reached.
bool InitSdlVideo(std::string* error = nullptr);
void QuitSdl();
// True once InitSdlVideo succeeded.
bool SdlVideoReady();
// Bits per pixel of the desktop's display mode; 0 when unknown.
int DisplayColorDepth();

// What the event loop delivers, in the window's own terms (virtual-key codes, shift bits).
class IWindowEvents {
 public:
  virtual ~IWindowEvents() = default;
  virtual void KeyEvent(int keyCode, int shift, bool down) = 0;
  // type 0 move, 1 down, 2 up, 3 double click (after its down); button 1 left, 4 right,
  // 5 middle.
  virtual void MouseEvent(int shift, int x, int y, int type, int button) = 0;
  virtual void MouseWheel(int delta, int shift) = 0;  // 120 per notch, positive away
  virtual void CloseRequested() = 0;
  virtual void TimerTick() = 0;  // about every 20 ms
};

class TSdlWindow : public IWindowHost {
 public:
  static constexpr int kTickMs = 20;

  // Needs InitSdlVideo; `error` says why when Valid() is false afterwards.
  TSdlWindow(const std::string& caption, int width, int height, std::string* error = nullptr);
  ~TSdlWindow() override;
  TSdlWindow(const TSdlWindow&) = delete;
  TSdlWindow& operator=(const TSdlWindow&) = delete;

  bool Valid() const { return window_ != nullptr; }
  SDL_Window* Handle() const { return window_; }
  // The ICC profile of the display the window is on (X11's _ICC_PROFILE); empty when the
  // desktop publishes none.
  std::vector<uint8_t> DisplayIccProfile() const;

  bool IsVisible() const override;
  void ShowWindow() override;
  void SetCaption(const std::string& caption) override;
  void SetTopMost(bool on) override;
  bool IsTopMost() const override { return topMost_; }
  void SetCursorShape(TCursorShape shape) override;
  bool PointerInside(int& x, int& y) const override;
  void Quit() override { quit_ = true; }
  bool QuitRequested() const { return quit_; }

  // Handles events until Quit; `maxMs` > 0 ends the loop after that long (tests).
  void Run(IWindowEvents& events, int64_t maxMs = 0);
  // One pass: handles what is queued, waiting up to `waitMs` for the first event.
  void PumpOnce(IWindowEvents& events, int waitMs);

 private:
  void PaintBlack();

  SDL_Window* window_ = nullptr;
  SDL_Cursor* arrow_ = nullptr;
  SDL_Cursor* hand_ = nullptr;
  bool topMost_ = false;
  bool quit_ = false;
  uint64_t lastTickMs_ = 0;
};

}  // namespace dax::platform
