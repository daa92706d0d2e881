// Fakes for the main window's services: window, launcher, messages, shows and viewer.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "app/StandIns.h"
#include "foundation/Clock.h"
#include "foundation/Strings.h"

namespace dax::app::test {

class TFakeWindow : public platform::IWindowHost {
 public:
  bool IsVisible() const override { return visible; }
  void ShowWindow() override { visible = true; }
  void SetCaption(const std::string& text) override { caption = text; }
  void SetTopMost(bool on) override { topMost = on; }
  bool IsTopMost() const override { return topMost; }
  void SetCursorShape(platform::TCursorShape shape) override { cursor = shape; }
  bool PointerInside(int& x, int& y) const override {
    x = pointerX;
    y = pointerY;
    return inside;
  }
  void Quit() override { ++quitCount; }

  bool visible = false;
  bool topMost = false;
  std::string caption;
  platform::TCursorShape cursor = platform::TCursorShape::Arrow;
  int pointerX = 0, pointerY = 0;
  bool inside = true;
  int quitCount = 0;
};

struct TLaunch {
  std::string program;
  std::vector<std::string> args;
  std::string folder;
};

class TFakeLauncher : public platform::ILauncher {
 public:
  int Launch(const std::string& program, const std::vector<std::string>& args,
             const std::string& folder) override {
    launches.push_back({program, args, folder});
    if (results.empty()) return platform::kLaunchOk;
    int result = results.front();
    results.erase(results.begin());
    return result;
  }
  int OpenLink(const std::string& url) override {
    links.push_back(url);
    return linkResult;
  }
  std::vector<TLaunch> launches;
  std::vector<std::string> links;
  int linkResult = platform::kLaunchOk;
  std::vector<int> results;  // consumed per Launch; then success
};

struct TMessage {
  std::string caption, text;
};

class TFakeMessages : public platform::IMessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string& text,
                   platform::TMessageIcon) override {
    messages.push_back({caption, text});
  }
  std::vector<TMessage> messages;
};

class TFakeScreenSaver : public platform::IScreenSaverControl {
 public:
  void Suppress() override { ++suppressed; }
  void AnnounceScreenSaver() override { ++announced; }
  void Restore() override { ++restored; }
  int suppressed = 0, announced = 0, restored = 0;
};

class TFakeLock : public platform::IInstanceLock {
 public:
  bool AnotherInstanceRuns() override { return otherRuns; }
  bool otherRuns = false;
};

// A virtual clock whose sleeps pass at once (the close sequence waits 300 ms).
class TInstantClock : public TVirtualClock {
 public:
  void SleepMs(int64_t ms) override {
    slept += ms;
    Advance(ms);
  }
  int64_t slept = 0;
};

// A show on a simple timeline: slide i starts at i * 1000 ms.
struct TFakeShowSetup {
  std::string version = "5.6";
  bool packed = true;
  bool screenSaver = false;
  std::string endAction = "repeat";
  int slideCount = 5;
  std::vector<std::string> slideNames;
  std::map<std::string, std::string> main;  // lower-case keys
  std::vector<std::string> entries;
};

class TFakeShow : public IOpenShow {
 public:
  TFakeShow(std::string path, TFakeShowSetup setup, int* alive)
      : path_(std::move(path)), setup_(std::move(setup)), alive_(alive) {
    if (alive_) ++*alive_;
  }
  ~TFakeShow() override {
    if (alive_) --*alive_;
  }
  const std::string& Path() const { return path_; }

  bool IsPacked() const override { return setup_.packed; }
  std::string Version() const override { return setup_.version; }
  bool IsScreenSaver() const override { return setup_.screenSaver; }
  std::string EndAction() const override { return setup_.endAction; }
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const override {
    if (!SameText(section, "Main")) return fallback;
    auto it = setup_.main.find(AsciiLower(key));
    return it == setup_.main.end() ? fallback : it->second;
  }
  int64_t ReadInteger(const std::string& section, const std::string& key,
                      int64_t fallback) const override {
    std::string text = ReadString(section, key, "");
    return text.empty() ? fallback : std::stoll(text);
  }
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const override {
    std::string text = ReadString(section, key, "");
    return text.empty() ? fallback : text == "1";
  }
  bool HasEntry(const std::string& name) const override {
    for (const std::string& entry : setup_.entries)
      if (SameText(entry, name)) return true;
    return false;
  }
  std::optional<std::string> ReadEntry(const std::string&) const override { return std::nullopt; }
  std::shared_ptr<const TBitmap> DecodePicture(const std::string&) const override {
    return nullptr;
  }
  int SlideCount() const override { return setup_.slideCount; }
  int SlideAtTime(double t) const override { return static_cast<int>(t / 1000); }
  int FindSlideByName(const std::string& name) const override {
    for (size_t i = 0; i < setup_.slideNames.size(); ++i)
      if (SameText(setup_.slideNames[i], name)) return static_cast<int>(i);
    return -1;
  }
  double SlideStartTime(int slide) const override { return slide * 1000.0 + 1; }
  double NextSlideTime(double t, bool paused) const override {
    return (SlideAtTime(t) + 1) * 1000.0 + (paused ? 500 : 1);
  }
  double PrevSlideTime(double t) const override {
    int slide = SlideAtTime(t);
    return slide < 1 ? 0 : (slide - 1) * 1000.0;
  }

 private:
  std::string path_;
  TFakeShowSetup setup_;
  int* alive_;
};

class TFakeOpener : public IShowOpener {
 public:
  TOpenResult OpenPacked(const std::string& path) override {
    packedTries.push_back(path);
    return Open(path, true);
  }
  TOpenResult OpenProject(const std::string& path) override {
    projectTries.push_back(path);
    return Open(path, false);
  }
  std::optional<std::string> ReadContainerVersion(const std::string& path) override {
    auto it = shows.find(path);
    if (it == shows.end() || !it->second.packed) return std::nullopt;
    return it->second.version;
  }

  std::map<std::string, TFakeShowSetup> shows;
  std::map<std::string, std::string> errors;  // error text for paths that fail
  std::vector<std::string> packedTries, projectTries;
  int alive = 0;

 private:
  TOpenResult Open(const std::string& path, bool packed) {
    auto it = shows.find(path);
    if (it == shows.end() || it->second.packed != packed) {
      auto error = errors.find(path);
      return {nullptr, error == errors.end() ? "" : error->second};
    }
    return {std::make_unique<TFakeShow>(path, it->second, &alive), ""};
  }
};

// The stand-in viewer plus what the tests look at.
class TFakeViewer : public TStandInViewer {
 public:
  void SetCallbacks(TViewerCallbacks callbacks) override {
    callbacks_ = callbacks;
    TStandInViewer::SetCallbacks(std::move(callbacks));
  }
  // With asyncSeek the position moves only in ApplySeeks, as a real engine's does later. With
  // reenter set, the next seek calls the action callback once from inside, as an engine
  // reporting an action during a seek would.
  void Seek(double t) override {
    seeks.push_back(t);
    if (reenter) {
      TDaxActionInfo nested = *reenter;
      reenter.reset();
      if (callbacks_.action) callbacks_.action(nested);
    }
    if (asyncSeek)
      pendingSeek = t;
    else
      TStandInViewer::Seek(t);
  }
  void ApplySeeks() {
    if (pendingSeek) TStandInViewer::Seek(*pendingSeek);
    pendingSeek.reset();
  }
  bool HasEngine() const override { return true; }
  bool WaitingForKey() const override { return waitingForKey; }
  void ClearWaitForKey() override {
    waitingForKey = false;
    ++waitCleared;
  }
  bool OverlayDialogShown() const override { return overlay; }
  void CloseOverlay() override {
    overlay = false;
    ++overlayClosed;
  }
  void Print() override { ++printRequests; }
  void ShowHelp() override { ++helpShown; }
  void MouseEvent(int shift, int x, int y, int type, int button,
                  const TDaxActionInfo& action) override {
    mouse.push_back({shift, x, y, type, button, action.kind});
  }
  THoverInfo Hover() const override { return hover; }
  void Stop() override {
    ++stops;
    if (throwOnStop) throw std::runtime_error("engine did not stop");
    TStandInViewer::Stop();
  }

  TViewerCallbacks callbacks_;
  std::vector<double> seeks;
  bool asyncSeek = false;
  std::optional<double> pendingSeek;
  std::optional<TDaxActionInfo> reenter;
  bool throwOnStop = false;
  bool waitingForKey = false;
  int waitCleared = 0;
  bool overlay = false;
  int overlayClosed = 0;
  int printRequests = 0;
  int helpShown = 0;
  int stops = 0;
  THoverInfo hover;
  struct TMouse {
    int shift, x, y, type, button;
    uint8_t kind;
  };
  std::vector<TMouse> mouse;
};

// A mapping with a few keys and a configurable mouse action.
class TFakeMapping : public IInputMapping {
 public:
  std::optional<TDaxActionInfo> MapKey(int shiftState, int keyCode, int eventKind) override {
    if (eventKind != 1 || (shiftState & (shift::kShift | shift::kAlt | shift::kCtrl))) return {};
    if (keyCode == vk::kEscape) return TDaxActionInfo{action::kExit, 0, {}};
    if (keyCode == vk::kF1) return TDaxActionInfo{action::kHelp, 0, {}};
    if (control && keyCode == vk::kRight) return TDaxActionInfo{action::kNextSlide, 0, {}};
    return {};
  }
  TDaxActionInfo MapMouse(int, int, int, int type, int button) override {
    if (type == 2 && button == 1) return leftClick;
    return {};
  }
  bool KeyboardControl() const override { return control; }
  bool control = true;
  TDaxActionInfo leftClick;
};

}  // namespace dax::app::test
