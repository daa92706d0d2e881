// The main window's logic: opening shows, executing actions, routing input and closing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ActionInfo.h"
#include "app/CommandsStorage.h"
#include "app/MouseMonitor.h"
#include "app/ShowInterfaces.h"
#include "foundation/Clock.h"
#include "platform/Services.h"

namespace dax::app {

constexpr const char* kErrorCaption = "Slideshow Error";
constexpr const char* kDefaultCaption = "DaxViewer v5.6";
constexpr int64_t kInputDelayMs = 1000;
constexpr int64_t kCloseWaitMs = 300;
constexpr int kWheelNotch = 120;
constexpr int64_t kWheelSeekMs = 700;
constexpr int kOffWindow = 2147483647;

struct TRunStackItem {
  std::string commandLine;
};

// Where the saved slide picture goes; the path is shown to the user. Empty = not saved.
using TPrintSaver = std::function<std::string(IOpenShow& show, int slide, const TBitmap* picture)>;

struct TMainFormServices {
  platform::IWindowHost& window;
  platform::ILauncher& launcher;
  platform::IMessageSink& messages;
  platform::IScreenSaverControl& screenSaver;
  platform::IInstanceLock& instanceLock;
  IClock& clock;
  IShowOpener& opener;
  const TCommandsStorage& commands;
  std::string programPath;
  std::function<std::unique_ptr<IInputMapping>(IOpenShow& show)> makeInputMapping;
  // Media-library provider (called with the show or nothing) and exclusive-mode decision.
  std::function<void(IOpenShow* show)> mediaLibraryProvider;
  std::function<void(IOpenShow& show)> exclusiveModeDecision;
  TPrintSaver printSaver;
};

class TMainForm {
 public:
  TMainForm(TMainFormServices services, std::unique_ptr<IShowViewer> viewer);
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Stops the viewer and gives the system's screen saver back; may throw (the program logs
  // it). Runs once; the destructor runs it when nobody did and logs a failure.
  void Shutdown();

  // Opens the show the command line names and starts it. False when it could not be opened;
  // the window is then closed.
  bool Start();

  bool OpenShow(const std::string& name, bool packed, bool isTime, bool showWindow,
                int64_t position);
  bool ExecuteAction(const TDaxActionInfo& action);

  // The window's close request (close box, or an action): runs CloseQuery and ends the
  // application when it allows.
  void Close();
  bool CloseQuery();

  // Input from the window.
  void KeyEvent(int keyCode, int shift, bool down);
  void MouseEvent(int shift, int x, int y, int type, int button);
  void MouseWheel(int delta, int shift);
  void TimerTick();  // the 20 ms pointer timer

  // Viewer callbacks.
  void OnPosition(double timeMs, bool end);
  void OnViewerAction(const TDaxActionInfo& action);
  void OnPrintRequest(const TBitmap* picture);

  void BeginModal() { ++modal_; }
  void EndModal() { --modal_; }

  // Process exit code: 0, 1 after action 16, 2 when a show could not be opened.
  int ExitCode() const { return exitCode_; }
  bool Closed() const { return closed_; }
  // True when the show refused to start without a message (screen saver rules).
  bool SilentFailure() const { return silentFailure_; }

  const std::string& ShowFileName() const { return showFileName_; }
  const std::string& ShowFolder() const { return showFolder_; }
  const std::vector<TRunStackItem>& RunStack() const { return runStack_; }
  bool WheelEnabled() const { return wheelEnabled_; }
  bool StartupMode() const { return startupMode_; }
  bool CoverFlag() const { return cover_; }
  IOpenShow* Show() const { return show_.get(); }
  IShowViewer& Viewer() { return *viewer_; }
  TMouseMonitor& MouseMonitor() { return mouseMonitor_; }

 private:
  std::string ProgramFolder() const;
  static std::string WorkingFolder();
  void ShowError(const std::string& text);
  bool OpenOtherShow(const TDaxActionInfo& action);
  bool LaunchCommandList(const std::string& text);
  bool LaunchLink(const std::string& url);
  void Seek(double timeMs);
  void UpdateCursor();
  void LeaveHandling();
  void EndApplication();

  TMainFormServices s_;
  std::unique_ptr<IShowViewer> viewer_;
  TMouseMonitor mouseMonitor_;
  std::unique_ptr<IInputMapping> inputMapping_;
  std::unique_ptr<IOpenShow> show_;
  bool wheelEnabled_ = true;
  std::string showFileName_;
  std::string showFolder_;
  std::string projectFileName_;
  std::string version_;
  bool fileNameGiven_ = false;
  bool startupMode_ = false;
  bool cover_ = false;
  bool endReached_ = false;
  bool exitRequestedByAction_ = false;
  bool closingInProgress_ = false;
  int actionsExecuting_ = 0;  // ExecuteAction calls in progress; the viewer's callback is refused
  bool closed_ = false;
  bool silentFailure_ = false;
  bool screenSaverTouched_ = false;
  bool shutDown_ = false;
  int modal_ = 0;
  int wheelRemainder_ = 0;
  int exitCode_ = 0;
  std::vector<TRunStackItem> runStack_;
  int64_t creationTickMs_ = 0;
};

}  // namespace dax::app
