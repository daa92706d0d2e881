// Platform services the core reaches through small interfaces; src/app wires the SDL and
// POSIX implementations in the program and fakes in tests.
#pragma once

#include <string>
#include <vector>

namespace dax::platform {

enum class TMessageIcon { None, Information, Warning, Error };

// Message boxes: shown on the display when there is one; the implementations also write the
// text to stderr and the log.
class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           TMessageIcon icon) = 0;
};

// Result codes follow the launch call of the show format: above 32 is success, 2 and 3 mean
// file and path not found.
constexpr int kLaunchFileNotFound = 2;
constexpr int kLaunchPathNotFound = 3;
constexpr int kLaunchFailed = 31;
constexpr int kLaunchOk = 42;

class ILauncher {
 public:
  virtual ~ILauncher() = default;
  // Starts `program` with `args` (one argument each, no shell) in `workingFolder`; a document
  // that is no program is opened with the desktop's handler.
  virtual int Launch(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingFolder) = 0;
  // Opens one link (http, https, mailto) with the desktop's handler, as one argument.
  virtual int OpenLink(const std::string& url) = 0;
};

enum class TCursorShape { Arrow, Hand, None };

// The main window as the core sees it.
class IWindowHost {
 public:
  virtual ~IWindowHost() = default;
  virtual bool IsVisible() const = 0;
  virtual void ShowWindow() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetTopMost(bool on) = 0;
  virtual bool IsTopMost() const = 0;
  virtual void SetCursorShape(TCursorShape shape) = 0;
  // Pointer position in client coordinates and whether it lies in the client area.
  virtual bool PointerInside(int& x, int& y) const = 0;
  // Ends the event loop; the program then runs its exit sequence.
  virtual void Quit() = 0;
};

// The system screen saver and display power while a show plays.
class IScreenSaverControl {
 public:
  virtual ~IScreenSaverControl() = default;
  // A normal show: keep the display on and the screen saver off until Restore.
  virtual void Suppress() = 0;
  // A screen-saver show announces itself as the running screen saver.
  virtual void AnnounceScreenSaver() = 0;
  virtual void Restore() = 0;
};

// The single-instance guard of screen-saver shows.
class IInstanceLock {
 public:
  virtual ~IInstanceLock() = default;
  // True when another process holds the lock.
  virtual bool AnotherInstanceRuns() = 0;
};

}  // namespace dax::platform
