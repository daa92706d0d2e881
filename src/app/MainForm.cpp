#include "app/MainForm.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "app/CommandList.h"
#include "app/ShowPaths.h"
#include "container/ShowLocator.h"
#include "container/ShowPath.h"
#include "foundation/Log.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"

namespace dax::app {

namespace {
constexpr const char* kMain = "Main";

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

void LogShutdownFailure(const std::string& message) {
  TLogLine("Exception at MainForm.Free (").Add(message).Add(")");
}
}  // namespace

TMainForm::TMainForm(TMainFormServices services, std::unique_ptr<IShowViewer> viewer)
    : s_(std::move(services)), viewer_(std::move(viewer)), mouseMonitor_(s_.window, s_.clock) {
  startupMode_ = s_.commands.HasRawArgument("-startup");
  if (startupMode_) s_.window.SetTopMost(true);
  cover_ = s_.commands.HasSwitch("cover");
  mouseMonitor_.onEnter = [this] { LeaveHandling(); };
  mouseMonitor_.onLeave = [this] { LeaveHandling(); };
  mouseMonitor_.onHiddenChanged = [this](bool) { UpdateCursor(); };
  mouseMonitor_.onTick = [this] { UpdateCursor(); };
  viewer_->SetPerSlideActions(true);
  viewer_->SetCallbacks({[this](double t, bool end) { OnPosition(t, end); },
                         [this](const TDaxActionInfo& a) { OnViewerAction(a); },
                         [this](const TBitmap* picture) { OnPrintRequest(picture); }});
  creationTickMs_ = s_.clock.NowMs();
}

TMainForm::~TMainForm() {
  // A destructor must not throw: a shutdown nobody ran before is run here and its failure
  // logged.
  try {
    Shutdown();
  } catch (const std::exception& e) {
    LogShutdownFailure(e.what());
  } catch (...) {
    LogShutdownFailure("unknown exception");
  }
}

void TMainForm::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  bool restore = screenSaverTouched_;
  screenSaverTouched_ = false;
  try {
    if (viewer_) {
      viewer_->SetCallbacks({});
      viewer_->Stop();
    }
  } catch (...) {
    // The system's screen saver comes back even when the viewer fails to stop.
    if (restore) s_.screenSaver.Restore();
    throw;
  }
  if (restore) s_.screenSaver.Restore();
}

std::string TMainForm::WorkingFolder() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).string();
  return error ? std::string(".") : folder;
}

std::string TMainForm::ProgramFolder() const {
  return FolderOf(s_.programPath);
}

bool TMainForm::Start() {
  bool project = false;
  std::string name;
  // The switches resolve against the program's folder, as the authoring tool expects; a show
  // typed first on the command line is relative to where the user stands.
  std::string base = ProgramFolder();
  if (auto fileName = s_.commands.GetSwitchValue("filename")) {
    project = true;
    name = *fileName;
  } else if (auto exeName = s_.commands.GetSwitchValue("exename")) {
    name = *exeName;
  } else if (auto plain = s_.commands.FirstPlainArgument()) {
    name = *plain;
    project = SameText(ExtensionOf(container::ShowNameToPath(name)), ".dax");
    base = WorkingFolder();
  } else {
    name = s_.programPath;
  }
  name = ResolveAgainstFolder(base, name);
  if (project) {
    fileNameGiven_ = true;
    projectFileName_ = name;
  }
  TStartPosition start = GetStartPosition(s_.commands);
  bool opened = OpenShow(name, !project, start.isTime, true, start.position);
  if (opened) {
    version_ = show_->Version();
    viewer_->SetPaused(false);
  } else {
    if (!silentFailure_) exitCode_ = 2;
    Close();
  }
  creationTickMs_ = s_.clock.NowMs();
  return opened;
}

void TMainForm::ShowError(const std::string& text) {
  s_.messages.ShowMessage(kErrorCaption, text, platform::TMessageIcon::Warning);
}

bool TMainForm::OpenShow(const std::string& name, bool packed, bool isTime, bool showWindow,
                         int64_t position) {
  bool releasePause = false;
  if (!viewer_->Paused()) {
    viewer_->SetPaused(true);
    releasePause = true;
  }
  silentFailure_ = false;

  std::unique_ptr<IOpenShow> opened;
  if (packed) {
    TOpenResult result = s_.opener.OpenPacked(ResolveShowFile(name));
    if (!result.show) {
      // The retry under ".dxshow" mostly finds nothing; the first attempt's reason (a damaged
      // or modified show) is the one to tell.
      std::string firstError = std::move(result.errorText);
      std::string alternative = ChangeExtension(name, ".dxshow");
      result = s_.opener.OpenPacked(ResolveShowFile(alternative));
      if (!result.show) {
        std::string error = firstError.empty() || firstError == container::kErrorFileNotFound
                                ? result.errorText
                                : firstError;
        if (error.empty()) error = "Can`t Load Show";
        ShowError(error + "\r\"" + name + "\" or \"" + alternative + "\"");
        return false;
      }
    }
    opened = std::move(result.show);
  } else {
    if (s_.mediaLibraryProvider) s_.mediaLibraryProvider(nullptr);
    TOpenResult result = s_.opener.OpenProject(container::ShowNameToPath(name));
    if (!result.show) {
      ShowError("Can`t Load .dax File\r\"" + name + "\"");
      return false;
    }
    opened = std::move(result.show);
  }

  // Every check that can refuse the new show comes before anything of the old one changes.
  if (opened->IsScreenSaver()) {
    bool slashS = s_.commands.HasRawArgument("/s") || s_.commands.HasRawArgument("/S");
    if (s_.instanceLock.AnotherInstanceRuns() || !slashS) {
      silentFailure_ = true;
      return false;
    }
  }
  // Decided only for a show that will play: a refused one must not change the playing show's
  // full-screen mode.
  if (s_.exclusiveModeDecision) s_.exclusiveModeDecision(*opened);
  if (packed && s_.mediaLibraryProvider) s_.mediaLibraryProvider(opened.get());
  if (opened->IsScreenSaver())
    s_.screenSaver.AnnounceScreenSaver();
  else
    s_.screenSaver.Suppress();
  screenSaverTouched_ = true;

  if (showWindow && !s_.window.IsVisible()) s_.window.ShowWindow();
  if (s_.makeInputMapping) inputMapping_ = s_.makeInputMapping(*opened);
  wheelEnabled_ = !opened->ReadBool(kMain, "opt_lockwheel", false);
  s_.window.SetCaption(opened->ReadString(kMain, "opt_scr_caption", kDefaultCaption));

  switch (opened->ReadInteger(kMain, "opt_hidecursor", 0)) {
    case 1:
      mouseMonitor_.SetHideInterval(0);
      mouseMonitor_.SetHidden(true);
      break;
    case 2:
      // Seconds from the document, bounded so that the milliseconds cannot overflow.
      mouseMonitor_.SetHideInterval(
          std::clamp<int64_t>(opened->ReadInteger(kMain, "opt_hc2_hideinterval", 0), 0,
                              std::numeric_limits<int32_t>::max()) *
          1000);
      mouseMonitor_.SetHidden(true);
      break;
    default:
      mouseMonitor_.SetHideInterval(0);
      mouseMonitor_.SetHidden(false);
      break;
  }

  viewer_->LoadShow(*opened, 0);
  // The old show goes only now that the viewer holds the new one.
  std::unique_ptr<IOpenShow> old = std::move(show_);
  show_ = std::move(opened);
  try {
    old.reset();
  } catch (...) {
  }

  if (isTime || position > 0) {
    double time =
        isTime ? static_cast<double>(position) : show_->SlideStartTime(static_cast<int>(position));
    viewer_->Seek(time);
  }
  if (releasePause) viewer_->SetPaused(false);

  showFileName_ = container::ShowNameToPath(name);
  if (!packed) {
    std::string exeName = show_->ReadString(kMain, "opt_exefn", "");
    if (!exeName.empty()) {
      showFileName_ = container::ShowNameToPath(exeName);
      container::SetReplacePair({exeName, name});
    }
  }
  showFolder_ = FolderOf(showFileName_);
  version_ = show_->Version();
  TLogLine("Show opened: ").Add(name);
  return true;
}

void TMainForm::Seek(double timeMs) {
  viewer_->Seek(timeMs);
}

bool TMainForm::ExecuteAction(const TDaxActionInfo& action) {
  if (modal_ > 0 || !viewer_) return false;
  // Actions nest on purpose (closing runs the exit program); only the viewer's callback is
  // refused while one runs.
  struct TDepth {
    int& depth;
    explicit TDepth(int& d) : depth(d) { ++depth; }
    ~TDepth() { --depth; }
  } depth(actionsExecuting_);
  switch (action.kind) {
    case action::kExit:
      exitRequestedByAction_ = true;
      Close();
      return true;
    case action::kPrevSlide:
      if (!show_) return false;
      Seek(show_->PrevSlideTime(viewer_->CurrentTime()));
      return true;
    case action::kNextSlide:
      if (viewer_->WaitingForKey()) {
        viewer_->ClearWaitForKey();
        return true;
      }
      if (!show_) return false;
      Seek(show_->NextSlideTime(viewer_->CurrentTime(), viewer_->Paused()));
      return true;
    case action::kPause:
      if (viewer_->WaitingForKey())
        viewer_->ClearWaitForKey();
      else
        viewer_->SetPaused(!viewer_->Paused());
      return true;
    case action::kPrint:
      viewer_->Print();
      return true;
    case action::kGoToSlide: {
      if (!show_) return false;
      int slide = action.number == -1
                      ? show_->FindSlideByName(action.text)
                      : static_cast<int>(std::max<int64_t>(int64_t{action.number} - 1, 0));
      if (slide < 0) return false;
      Seek(show_->SlideStartTime(slide));
      return true;
    }
    case action::kOpenLink: {
      std::string url = action.text;
      if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://"))
        url = "http://" + url;
      return LaunchLink(url);
    }
    case action::kSendMail: {
      std::string url = action.text;
      if (!StartsWithNoCase(url, "mailto:")) url = "mailto:" + url;
      return LaunchLink(url);
    }
    case action::kRunApplication:
      return LaunchCommandList(action.text);
    case action::kRunApplicationAndExit:
      Close();
      return LaunchCommandList(action.text);
    case action::kOpenShow:
    case action::kOpenShowAndReturn:
      return OpenOtherShow(action);
    case action::kStop:
      viewer_->SetPaused(true);
      Seek(0);
      return true;
    case action::kExitWithCode1:
      exitCode_ = 1;
      exitRequestedByAction_ = true;
      Close();
      return true;
    case action::kGoToTime:
      Seek(action.number);
      return true;
    default:
      return false;
  }
}

bool TMainForm::LaunchCommandList(const std::string& text) {
  return RunCommandList(text, ProgramFolder(), {s_.launcher, s_.messages, &s_.window});
}

bool TMainForm::LaunchLink(const std::string& url) {
  // A link is one argument of the desktop's opener: no splitting, no command check. A top-most
  // window steps back so that the browser or mail program shows in front, as for programs.
  bool wasTopMost = s_.window.IsTopMost();
  if (wasTopMost) s_.window.SetTopMost(false);
  int result = s_.launcher.OpenLink(url);
  if (result <= 32) {
    if (wasTopMost) s_.window.SetTopMost(true);
    TLogLine("Open link failed: ").Add(url);
  }
  return result > 32;
}

bool TMainForm::OpenOtherShow(const TDaxActionInfo& action) {
  TCommandsStorage storage = TCommandsStorage::FromCommandLine(action.text);
  // `written` is the name in the show's own terms (often a path on the authoring machine).
  std::string written = container::ShowNameToPath(storage.FirstPlainArgument().value_or(""));
  TStartPosition start = GetStartPosition(storage);
  std::string name = written.empty() ? written : ResolveAgainstFolder(ProgramFolder(), written);
  // The name the previewed project will have when built (the run stack's return item, or a
  // show that links back to it) is the project itself, however its slashes are written.
  container::TReplacePair pair = container::ReplacePair();
  if (!written.empty() && !pair.projectPath.empty() &&
      SameText(written, container::ShowNameToPath(pair.exeName)))
    name = pair.projectPath;

  std::string resolved = ResolveShowFile(name);
  if (!FileExists(resolved) && show_) {
    std::string exeName = container::ShowNameToPath(show_->ReadString(kMain, "opt_exefn", ""));
    if (!exeName.empty()) {
      // The show was built as opt_exefn: a name beside it or below it is looked for at the
      // same place relative to where the show is now.
      std::string rel = RelativeFolder(FolderOf(exeName), FolderOf(written));
      std::string first =
          ResolveAgainstFolder(showFolder_, (rel.empty() ? "" : rel + "/") + FileNameOf(written));
      std::string second = ResolveAgainstFolder(showFolder_, FileNameOf(written));
      if (FileExists(ResolveShowFile(first))) {
        name = first;
      } else if (FileExists(ResolveShowFile(second))) {
        name = second;
      }
      resolved = ResolveShowFile(name);
    }
  }

  if (name != projectFileName_) {
    std::optional<std::string> version = s_.opener.ReadContainerVersion(resolved);
    if (!version) {
      ShowError(FileExists(resolved) ? "Not DaxShow Executable File or File Corrupted:\r" + name
                                     : "DaxShow File not Found:\r" + name);
      return false;
    }
    if (*version != version_) {
      ShowError("DaxShow ExeFile Version Mismatch:\r" + name);
      return false;
    }
  }
  TLogLine("Open show: ").Add(name);

  TRunStackItem item;
  if (action.kind == action::kOpenShowAndReturn) {
    int slide = show_ ? show_->SlideAtTime(viewer_->CurrentTime()) : 0;
    item.commandLine = "\"" + showFileName_ + "\" -slide " + FormatInt(int64_t{slide} + 1);
  }
  bool wasPaused = viewer_->Paused();
  if (OpenShow(name, name != projectFileName_, start.isTime, true, start.position)) {
    if (action.kind == action::kOpenShowAndReturn) runStack_.push_back(std::move(item));
    viewer_->SetPaused(false);
    return true;
  }
  if (action.kind == action::kOpenShowAndReturn) {
    viewer_->SetPaused(wasPaused);
  } else {
    if (!silentFailure_) exitCode_ = 2;
    exitRequestedByAction_ = true;
    Close();
  }
  return false;
}

void TMainForm::Close() {
  if (closed_) return;
  if (CloseQuery()) EndApplication();
}

bool TMainForm::CloseQuery() {
  if (closingInProgress_) return false;
  if (modal_ > 0) return false;
  closingInProgress_ = true;
  if (!show_) return true;

  // Read before clearing: the run stack below depends on it.
  bool byAction = exitRequestedByAction_;
  int64_t exitAction = show_->ReadInteger(kMain, "opt_runapponexit", 0);
  if (show_->ReadBool(kMain, "opt_runapponexitiflastslide", true) && !endReached_) exitAction = 0;
  if (!byAction) exitAction = 0;
  endReached_ = false;
  exitRequestedByAction_ = false;

  std::string exitCommand = show_->ReadString(kMain, "opt_runapponexitfn", "");
  bool newShow = false;
  if (exitAction == 1) {
    ExecuteAction({action::kRunApplication, 0, exitCommand});
  } else if (exitAction == 2) {
    newShow = ExecuteAction({action::kOpenShow, 0, exitCommand});
  }
  if (!newShow && byAction && !runStack_.empty()) {
    TRunStackItem item = std::move(runStack_.back());
    runStack_.pop_back();
    newShow = ExecuteAction({action::kOpenShow, 0, item.commandLine});
  }
  if (newShow) {
    // The window stays open with the new show and may close again later.
    closingInProgress_ = false;
    exitRequestedByAction_ = false;
    exitCode_ = exitCode_ == 2 ? 0 : exitCode_;
    return false;
  }
  viewer_->SetCallbacks({});
  viewer_->Stop();
  s_.clock.SleepMs(kCloseWaitMs);
  return true;
}

void TMainForm::EndApplication() {
  closed_ = true;
  s_.window.Quit();
}

void TMainForm::OnPosition(double, bool end) {
  if (!end || !show_ || closingInProgress_) return;
  if (!SameText(show_->EndAction(), "close")) return;
  endReached_ = true;
  exitRequestedByAction_ = true;
  Close();
}

void TMainForm::OnViewerAction(const TDaxActionInfo& action) {
  // The viewer may call back from inside an action it carries out (a seek, a print): that
  // request is dropped, not run inside the first.
  if (actionsExecuting_ > 0) return;
  ExecuteAction(action);
}

void TMainForm::OnPrintRequest(const TBitmap* picture) {
  if (!show_) return;
  bool wasPaused = viewer_->Paused();
  viewer_->SetPaused(true);
  int count = show_->SlideCount();
  if (count <= 0) {
    TLogLine("Print: the show has no slides");
  } else {
    int slide = show_->SlideAtTime(viewer_->CurrentTime()) % count;
    if (slide < 0) slide += count;
    std::string saved = s_.printSaver ? s_.printSaver(*show_, slide, picture) : std::string();
    if (!saved.empty()) {
      s_.messages.ShowMessage("Print", "Slide picture saved to " + saved,
                              platform::TMessageIcon::Information);
    } else {
      ShowError("The slide picture could not be saved.");
    }
  }
  viewer_->SetPaused(wasPaused);
}

void TMainForm::KeyEvent(int keyCode, int shift, bool down) {
  if (modal_ > 0) return;
  if (startupMode_ && down && keyCode == vk::kReturn) {
    ExecuteAction({action::kExitWithCode1, 0, {}});
    return;
  }
  if (viewer_->OverlayDialogShown()) {
    if (down && keyCode == vk::kEscape) viewer_->CloseOverlay();
    if (keyCode != vk::kF1) return;
  }
  if (inputMapping_) {
    if (auto mapped = inputMapping_->MapKey(shift, keyCode, down ? 1 : 2)) {
      if (mapped->kind == action::kHelp) {
        if (viewer_->HasEngine()) viewer_->ShowHelp();
      } else if (mapped->kind != action::kNone) {
        ExecuteAction(*mapped);
      }
      return;
    }
    if (down && !inputMapping_->KeyboardControl() && viewer_->WaitingForKey()) {
      switch (keyCode) {
        case vk::kPause:
        case vk::kSpace:
        case vk::kPageDown:
        case vk::kRight:
        case vk::kBrowserForward:
        case vk::kMediaNextTrack:
        case vk::kMediaPlayPause:
          viewer_->ClearWaitForKey();
          break;
        default:
          break;
      }
    }
  }
}

void TMainForm::MouseEvent(int shift, int x, int y, int type, int button) {
  if (type == 0) mouseMonitor_.PointerMoved(x, y);
  if (modal_ > 0 || s_.clock.NowMs() - creationTickMs_ < kInputDelayMs) return;
  UpdateCursor();
  TDaxActionInfo mapped;
  if (inputMapping_) mapped = inputMapping_->MapMouse(shift, x, y, type, button);
  if (!mouseMonitor_.Hidden() || mapped.kind == action::kHelp) {
    viewer_->MouseEvent(shift, x, y, type, button, mapped);
  } else if (mapped.kind != action::kNone) {
    ExecuteAction(mapped);
  }
}

void TMainForm::MouseWheel(int delta, int shift) {
  if (!wheelEnabled_ || modal_ > 0 || !show_) return;
  wheelRemainder_ += delta;
  int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ -= notches * kWheelNotch;
  if (notches == 0) return;
  const int mask = shift::kShift | shift::kAlt | shift::kCtrl;
  if ((shift & mask) == shift::kCtrl) {
    // A positive delta turns the wheel away from the user.
    // Seeks take effect later: each notch goes on from the previous notch's target.
    double target = viewer_->CurrentTime();
    for (int i = 0; i < std::abs(notches); ++i) {
      target = notches < 0 ? show_->NextSlideTime(target, viewer_->Paused())
                           : show_->PrevSlideTime(target);
      Seek(target);
    }
    return;
  }
  Seek(viewer_->CurrentTime() - kWheelSeekMs * notches);
}

void TMainForm::TimerTick() {
  if (mouseMonitor_.TimerRunning()) mouseMonitor_.Tick();
}

void TMainForm::UpdateCursor() {
  THoverInfo hover = viewer_->Hover();
  platform::TCursorShape shape = platform::TCursorShape::Arrow;
  if (mouseMonitor_.Hidden() && hover.element != "NavPanel") {
    shape = platform::TCursorShape::None;
  } else if (hover.reactsToMouse && hover.className != "TDaxButton") {
    shape = platform::TCursorShape::Hand;
  }
  s_.window.SetCursorShape(shape);
}

void TMainForm::LeaveHandling() {
  int x = 0, y = 0;
  if (!s_.window.PointerInside(x, y)) viewer_->MouseEvent(0, kOffWindow, kOffWindow, 0, 0, {});
}

}  // namespace dax::app
