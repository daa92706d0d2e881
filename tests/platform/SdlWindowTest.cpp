#include "platform/SdlWindow.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace dax::platform {
namespace {

struct TRecorder : IWindowEvents {
  struct TMouse {
    int shift, x, y, type, button;
  };
  std::vector<std::pair<int, int>> keys;  // key, shift (downs only)
  int ups = 0;
  std::vector<TMouse> mouse;
  std::vector<int> wheel;
  int closes = 0;
  int ticks = 0;
  void KeyEvent(int key, int shift, bool down) override {
    if (down)
      keys.push_back({key, shift});
    else
      ++ups;
  }
  void MouseEvent(int shift, int x, int y, int type, int button) override {
    mouse.push_back({shift, x, y, type, button});
  }
  void MouseWheel(int delta, int) override { wheel.push_back(delta); }
  void CloseRequested() override { ++closes; }
  void TimerTick() override { ++ticks; }
};

struct SdlWindowTest : ::testing::Test {
  void SetUp() override {
    if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    if (!InitSdlVideo(&error)) GTEST_SKIP() << "no SDL video: " << error;
  }
  void TearDown() override { QuitSdl(); }
};

TEST_F(SdlWindowTest, CreatedHiddenShownOnRequest) {
  TSdlWindow window("test", 320, 200);
  ASSERT_TRUE(window.Valid());
  EXPECT_FALSE(window.IsVisible());
  window.ShowWindow();
  EXPECT_TRUE(window.IsVisible());
  window.SetTopMost(true);
  EXPECT_TRUE(window.IsTopMost());
  window.SetCursorShape(TCursorShape::None);
  window.SetCursorShape(TCursorShape::Hand);
  EXPECT_GT(DisplayColorDepth(), 0);
  EXPECT_TRUE(window.DisplayIccProfile().empty());  // the offscreen display publishes none
}

TEST_F(SdlWindowTest, EventsArriveTranslated) {
  TSdlWindow window("test", 320, 200);
  ASSERT_TRUE(window.Valid());
  window.ShowWindow();
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = SDL_GetWindowID(window.Handle());
  key.key.keysym.sym = SDLK_RIGHT;
  key.key.keysym.mod = KMOD_LCTRL;
  SDL_PushEvent(&key);
  key.type = SDL_KEYUP;
  SDL_PushEvent(&key);

  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.windowID = key.key.windowID;
  click.button.button = SDL_BUTTON_LEFT;
  click.button.clicks = 2;
  click.button.x = 10;
  click.button.y = 20;
  SDL_PushEvent(&click);

  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = key.key.windowID;
  wheel.wheel.y = -2;
  SDL_PushEvent(&wheel);

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);

  TRecorder recorder;
  window.PumpOnce(recorder, 50);
  ASSERT_EQ(recorder.keys.size(), 1u);
  EXPECT_EQ(recorder.keys[0].first, 39);
  EXPECT_EQ(recorder.keys[0].second & 8, 8);
  EXPECT_EQ(recorder.ups, 1);
  ASSERT_EQ(recorder.mouse.size(), 2u);  // the down, then the double click
  EXPECT_EQ(recorder.mouse[0].type, 1);
  EXPECT_EQ(recorder.mouse[1].type, 3);
  EXPECT_EQ(recorder.mouse[1].button, 1);
  EXPECT_EQ(recorder.mouse[1].x, 10);
  EXPECT_EQ(recorder.wheel, std::vector<int>{-240});
  EXPECT_EQ(recorder.closes, 1);
}

TEST_F(SdlWindowTest, RunEndsOnQuit) {
  TSdlWindow window("test", 64, 64);
  ASSERT_TRUE(window.Valid());
  struct TQuitOnTick : TRecorder {
    TSdlWindow* window = nullptr;
    void TimerTick() override {
      if (++ticks == 3) window->Quit();
    }
  } events;
  events.window = &window;
  window.Run(events, 5000);
  EXPECT_TRUE(window.QuitRequested());
  EXPECT_EQ(events.ticks, 3);
}

}  // namespace
}  // namespace dax::platform
