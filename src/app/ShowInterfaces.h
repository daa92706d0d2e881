// What the main window needs of an opened show, of the show opener and of the viewer. The
// program wires the container, show and playback libraries behind these; tests wire fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ActionInfo.h"

namespace dax {
class TBitmap;
}

namespace dax::app {

// One opened show (a locator with its document and parsed source).
class IOpenShow {
 public:
  virtual ~IOpenShow() = default;

  virtual bool IsPacked() const = 0;
  // Main/"DaxVersion" of the document.
  virtual std::string Version() const = 0;
  // The source's screen-saver flag (the program file ends in ".scr").
  virtual bool IsScreenSaver() const = 0;
  // The end action: "repeat", "close" or "stop".
  virtual std::string EndAction() const = 0;

  // Document values, read with the document's own conversions and defaults.
  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const = 0;
  virtual int64_t ReadInteger(const std::string& section, const std::string& key,
                              int64_t fallback) const = 0;
  virtual bool ReadBool(const std::string& section, const std::string& key,
                        bool fallback) const = 0;

  virtual bool HasEntry(const std::string& name) const = 0;
  virtual std::optional<std::string> ReadEntry(const std::string& name) const = 0;
  // The picture `name` decoded as the show would show it, at full size; null when it cannot
  // be decoded.
  virtual std::shared_ptr<const TBitmap> DecodePicture(const std::string& name) const = 0;

  // The slide timeline.
  virtual int SlideCount() const = 0;
  // Repetitions continue the count; the time before the first slide counts as slide 0.
  virtual int SlideAtTime(double timeMs) const = 0;
  // Index of the slide with that name, -1 when none has it.
  virtual int FindSlideByName(const std::string& name) const = 0;
  virtual double SlideStartTime(int slide) const = 0;
  virtual double NextSlideTime(double timeMs, bool paused) const = 0;
  virtual double PrevSlideTime(double timeMs) const = 0;
};

struct TOpenResult {
  std::unique_ptr<IOpenShow> show;
  std::string errorText;  // the locator's error text; empty when it gave none
};

// Finds and opens shows on disk.
class IShowOpener {
 public:
  virtual ~IShowOpener() = default;
  virtual TOpenResult OpenPacked(const std::string& path) = 0;
  virtual TOpenResult OpenProject(const std::string& path) = 0;
  // The container's "daxversion" when `path` is a container whose directory reads.
  virtual std::optional<std::string> ReadContainerVersion(const std::string& path) = 0;
};

// What lies under the pointer, as the engine last reported it.
struct THoverInfo {
  bool reactsToMouse = false;
  std::string className;  // object class, "TDaxButton" keeps the arrow
  std::string element;    // "NavPanel" while over the navigation panel
};

struct TViewerCallbacks {
  std::function<void(double timeMs, bool end)> position;
  std::function<void(const TDaxActionInfo& action)> action;
  std::function<void(const TBitmap* picture)> print;
};

// The viewer: the user-interface side of playback.
class IShowViewer {
 public:
  virtual ~IShowViewer() = default;

  virtual void SetPerSlideActions(bool on) = 0;
  // Empty callbacks drop the old ones.
  virtual void SetCallbacks(TViewerCallbacks callbacks) = 0;
  // The viewer keeps a reference to the show until the next LoadShow or Stop.
  virtual void LoadShow(IOpenShow& show, double startTimeMs) = 0;

  virtual bool Paused() const = 0;
  virtual void SetPaused(bool paused) = 0;
  virtual double CurrentTime() const = 0;
  virtual void Seek(double timeMs) = 0;

  virtual bool HasEngine() const = 0;
  virtual bool WaitingForKey() const = 0;
  virtual void ClearWaitForKey() = 0;
  virtual bool OverlayDialogShown() const = 0;
  virtual void CloseOverlay() = 0;

  virtual void Print() = 0;
  virtual void ShowHelp() = 0;
  // Pointer events with the action the input mapping found (kind 0 for none).
  virtual void MouseEvent(int shift, int x, int y, int type, int button,
                          const TDaxActionInfo& action) = 0;
  virtual THoverInfo Hover() const = 0;
  // Stops the engine; nothing is reported afterwards.
  virtual void Stop() = 0;
};

// Keys and buttons to actions, built per show.
class IInputMapping {
 public:
  virtual ~IInputMapping() = default;
  // kind 1 = key down, 2 = key up.
  virtual std::optional<TDaxActionInfo> MapKey(int shift, int keyCode, int eventKind) = 0;
  virtual TDaxActionInfo MapMouse(int shift, int x, int y, int type, int button) = 0;
  // opt_synchpermitcontrol
  virtual bool KeyboardControl() const = 0;
};

// Shift state bits as the window delivers them.
namespace shift {
constexpr int kWin = 1;
constexpr int kShift = 2;
constexpr int kAlt = 4;
constexpr int kCtrl = 8;
constexpr int kLeft = 16;
constexpr int kRight = 32;
constexpr int kMiddle = 64;
}  // namespace shift

// Virtual-key codes the window logic reads.
namespace vk {
constexpr int kReturn = 13;
constexpr int kPause = 19;
constexpr int kEscape = 27;
constexpr int kSpace = 32;
constexpr int kPageUp = 33;
constexpr int kPageDown = 34;
constexpr int kEnd = 35;
constexpr int kHome = 36;
constexpr int kLeft = 37;
constexpr int kUp = 38;
constexpr int kRight = 39;
constexpr int kDown = 40;
constexpr int kF1 = 112;
constexpr int kBrowserBack = 166;
constexpr int kBrowserForward = 167;
constexpr int kMediaNextTrack = 176;
constexpr int kMediaPrevTrack = 177;
constexpr int kMediaStop = 178;
constexpr int kMediaPlayPause = 179;
}  // namespace vk

}  // namespace dax::app
