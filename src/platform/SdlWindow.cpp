#include "platform/SdlWindow.h"

#include <SDL2/SDL.h>

#include "platform/KeyCodes.h"

namespace dax::platform {

namespace {
bool videoReady = false;
}

bool InitSdlVideo(std::string* error) {
  if (videoReady) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = SDL_GetError();
    return false;
  }
  videoReady = true;
  return true;
}

void QuitSdl() {
  if (videoReady) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoReady = false;
  SDL_Quit();
}

bool SdlVideoReady() {
  return videoReady;
}

int DisplayColorDepth() {
  if (!videoReady) return 0;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
  return SDL_BITSPERPIXEL(mode.format);
}

TSdlWindow::TSdlWindow(const std::string& caption, int width, int height, std::string* error) {
  window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                             height, SDL_WINDOW_HIDDEN);
  if (!window_) {
    if (error) *error = SDL_GetError();
    return;
  }
  arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  hand_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
}

TSdlWindow::~TSdlWindow() {
  if (hand_) SDL_FreeCursor(hand_);
  if (arrow_) SDL_FreeCursor(arrow_);
  if (window_) SDL_DestroyWindow(window_);
}

std::vector<uint8_t> TSdlWindow::DisplayIccProfile() const {
  size_t size = 0;
  void* data = window_ ? SDL_GetWindowICCProfile(window_, &size) : nullptr;
  if (!data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> profile(bytes, bytes + size);
  SDL_free(data);
  return profile;
}

bool TSdlWindow::IsVisible() const {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0;
}

void TSdlWindow::ShowWindow() {
  if (!window_) return;
  SDL_ShowWindow(window_);
  PaintBlack();
}

// Until the renderer draws frames the window shows its black background.
void TSdlWindow::PaintBlack() {
  // A plain software surface: no renderer (and no GL driver) just for a black window.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) return;
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  SDL_UpdateWindowSurface(window_);
}

void TSdlWindow::SetCaption(const std::string& caption) {
  if (window_) SDL_SetWindowTitle(window_, caption.c_str());
}

void TSdlWindow::SetTopMost(bool on) {
  topMost_ = on;
  if (window_) SDL_SetWindowAlwaysOnTop(window_, on ? SDL_TRUE : SDL_FALSE);
}

void TSdlWindow::SetCursorShape(TCursorShape shape) {
  if (shape == TCursorShape::None) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_ShowCursor(SDL_ENABLE);
  SDL_Cursor* cursor = shape == TCursorShape::Hand ? hand_ : arrow_;
  if (cursor) SDL_SetCursor(cursor);
}

bool TSdlWindow::PointerInside(int& x, int& y) const {
  if (!window_) return false;
  SDL_GetMouseState(&x, &y);
  return SDL_GetMouseFocus() == window_;
}

void TSdlWindow::PumpOnce(IWindowEvents& events, int waitMs) {
  SDL_Event event;
  bool have = waitMs > 0 ? SDL_WaitEventTimeout(&event, waitMs) != 0 : SDL_PollEvent(&event) != 0;
  while (have) {
    uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    uint16_t mods = static_cast<uint16_t>(SDL_GetModState());
    switch (event.type) {
      case SDL_QUIT:
        events.CloseRequested();
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) events.CloseRequested();
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) PaintBlack();
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        int key = SdlKeyToVirtualKey(event.key.keysym.sym);
        if (key != 0)
          events.KeyEvent(key, SdlShiftState(event.key.keysym.mod, buttons),
                          event.type == SDL_KEYDOWN);
        break;
      }
      case SDL_MOUSEMOTION:
        events.MouseEvent(SdlShiftState(mods, event.motion.state), event.motion.x, event.motion.y,
                          0, 0);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        bool down = event.type == SDL_MOUSEBUTTONDOWN;
        int shift = SdlShiftState(mods, buttons);
        int button = SdlMouseButton(event.button.button);
        events.MouseEvent(shift, event.button.x, event.button.y, down ? 1 : 2, button);
        if (down && event.button.clicks == 2)
          events.MouseEvent(shift, event.button.x, event.button.y, 3, button);
        break;
      }
      case SDL_MOUSEWHEEL: {
        int delta = event.wheel.y * 120;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
        if (delta != 0) events.MouseWheel(delta, SdlShiftState(mods, buttons));
        break;
      }
      default:
        break;
    }
    if (quit_) return;
    have = SDL_PollEvent(&event) != 0;
  }
  uint64_t now = SDL_GetTicks64();
  if (now - lastTickMs_ >= static_cast<uint64_t>(kTickMs)) {
    lastTickMs_ = now;
    events.TimerTick();
  }
}

void TSdlWindow::Run(IWindowEvents& events, int64_t maxMs) {
  uint64_t start = SDL_GetTicks64();
  while (!quit_) {
    PumpOnce(events, kTickMs);
    if (maxMs > 0 && SDL_GetTicks64() - start >= static_cast<uint64_t>(maxMs)) break;
  }
}

}  // namespace dax::platform
