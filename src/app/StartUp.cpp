#include "app/StartUp.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>

#include "app/CommandsStorage.h"
#include "app/LocatorShow.h"
#include "app/MainForm.h"
#include "app/PrintSaver.h"
#include "app/Providers.h"
#include "app/ShowPaths.h"
#include "app/StandIns.h"
#include "container/PathModifiers.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Numbers.h"
#include "foundation/Random.h"
#include "image/ImageLibrary.h"
#include "platform/InstanceLock.h"
#include "platform/Launcher.h"
#include "platform/MessageSink.h"
#include "platform/PictureFile.h"
#include "platform/ScreenSaver.h"
#include "platform/SdlWindow.h"
#include "show/ShowSourceFactory.h"

namespace dax::app {

namespace {
constexpr int kMinColorDepth = 16;
constexpr int kInitialWidth = 640;
constexpr int kInitialHeight = 480;
constexpr const char* kColorDepthText =
    "Currently you have 256 or 16 colors display mode.\rSet True color or High color display "
    "mode.";

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// Without a window nothing is shown; the core still sees a window that can be made visible.
class THeadlessWindow : public platform::IWindowHost {
 public:
  bool IsVisible() const override { return visible_; }
  void ShowWindow() override { visible_ = true; }
  void SetCaption(const std::string&) override {}
  void SetTopMost(bool on) override { topMost_ = on; }
  bool IsTopMost() const override { return topMost_; }
  void SetCursorShape(platform::TCursorShape) override {}
  bool PointerInside(int&, int&) const override { return false; }
  void Quit() override {}

 private:
  bool visible_ = false;
  bool topMost_ = false;
};

class TNoScreenSaver : public platform::IScreenSaverControl {
 public:
  void Suppress() override {}
  void AnnounceScreenSaver() override {}
  void Restore() override {}
};

class TFormEvents : public platform::IWindowEvents {
 public:
  explicit TFormEvents(TMainForm& form) : form_(form) {}
  void KeyEvent(int keyCode, int shift, bool down) override {
    form_.KeyEvent(keyCode, shift, down);
  }
  void MouseEvent(int shift, int x, int y, int type, int button) override {
    form_.MouseEvent(shift, x, y, type, button);
  }
  void MouseWheel(int delta, int shift) override { form_.MouseWheel(delta, shift); }
  void CloseRequested() override { form_.Close(); }
  void TimerTick() override { form_.TimerTick(); }

 private:
  TMainForm& form_;
};

void StartLog(const TCommandsStorage& commands, const std::string& programPath) {
  if (commands.HasSwitch("filelog")) {
    if (!Log().OpenFile(LogFileNameFor(programPath)))
      std::fprintf(stderr, "daxviewer: cannot create the log file %s\n",
                   LogFileNameFor(programPath).c_str());
  } else if (commands.HasSwitch("log")) {
    Log().OpenStderr();
  }
  Log().WriteStartBanner(programPath, LocalNow());
}

// The colour switches; the image library's profile selection reads them.
void ApplyColourSwitches(const TCommandsStorage& commands) {
  bool noIcc = commands.HasSwitch("noicc");
  std::optional<std::string> icc = commands.GetSwitchValue("icc");
  // "-icc" without a value still asks for the display's own profile.
  if (!icc && commands.HasSwitch("icc")) icc = std::string();
  if (noIcc) Log().Write("Colour management off (noicc)");
  if (icc) TLogLine("Output colour profile: ").Add(*icc);
  image::SetColorSwitches(noIcc, std::move(icc));
  InstallColourLibraryProvider();
}

// Startup mode hands the foreground back to the window named by the last argument; there is
// no portable way to raise another program's window here, so it is only logged.
void GiveForegroundBack(const TCommandsStorage& commands) {
  const auto& raw = commands.RawArguments();
  if (raw.size() < 2) return;
  if (auto handle = ParseInt64(raw.back())) TLogLine("Foreground to window ").Int(*handle);
}
}  // namespace

std::string UsageText() {
  return "usage: daxviewer [SHOW] [switches]\n"
         "\n"
         "SHOW       a packed show (.dxshow, or a program with a show appended) or a\n"
         "           project file (.dax); without it the show appended to this program\n"
         "           or the .dxshow beside it is played. Name it first: plain words after\n"
         "           a switch are that switch's values.\n"
         "-slide N   start at slide N (1-based)\n"
         "-time MS   start at show time MS - 1 milliseconds\n"
         "-filename F  open the project file F\n"
         "-exename F   play the show appended to the program F\n"
         "-headless  no window and no sound device\n"
         "-log       log to stderr\n"
         "-filelog   log to the program's path with the extension .log\n"
         "-noicc     colour management off\n"
         "-icc P     output colour profile: auto, sRGB, AdobeRGB, ZedidUZE or a file\n"
         "-cover     slide pictures cover the screen\n"
         "-startup   startup mode (Enter exits with code 1)\n"
         "/s         run a screen-saver show\n"
         "-help      this text\n"
         "\n"
         "Exit codes: 0 done, 1 exit with code 1 by the show, 2 the show could not be\n"
         "opened, 3 no usable display.\n";
}

std::string OwnProgramPath(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n > 0) return std::string(buffer, static_cast<size_t>(n));
  return argv0 ? argv0 : "daxviewer";
}

int RunDaxViewer(const std::string& programPath, const std::vector<std::string>& args) {
  SetCommands(TCommandsStorage::FromArguments(args));
  const TCommandsStorage& commands = Commands();
  if (commands.HasSwitch("help")) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitOk;
  }
  const bool headlessAsked = commands.HasSwitch("headless") || commands.HasSwitch("render");
  bool noDisplay = false;
  const auto startTime = std::chrono::steady_clock::now();

  if (!headlessAsked) {
    std::string error;
    if (!platform::InitSdlVideo(&error)) {
      // The show is still opened, so that its own errors are reported as usual.
      std::fprintf(stderr, "daxviewer: no display (%s); -headless runs without one\n",
                   error.c_str());
      noDisplay = true;
    }
  }
  const bool headless = headlessAsked || noDisplay;
  if (!headless) {
    int depth = platform::DisplayColorDepth();
    if (depth > 0 && depth < kMinColorDepth) {
      platform::TMessageSink(true).ShowMessage(kErrorCaption, kColorDepthText,
                                               platform::TMessageIcon::Warning);
      platform::QuitSdl();
      return kExitNoDisplay;
    }
  }

  StartLog(commands, programPath);
  // "%styles%" and "%effects%" in names find their folders from the first show on.
  container::InstallDefaultPathModifiers();
  image::InstallImageLibrary();
  // After the image library: the colour-library provider goes in front of its colour set-up.
  ApplyColourSwitches(commands);
  show::RegisterShowSourceFactory(programPath);
  // Shuffled slide orders and random transitions differ from run to run.
  Random().Randomize();

  std::unique_ptr<platform::TSdlWindow> sdlWindow;
  THeadlessWindow headlessWindow;
  platform::IWindowHost* window = &headlessWindow;
  if (!headless) {
    std::string error;
    sdlWindow = std::make_unique<platform::TSdlWindow>(kDefaultCaption, kInitialWidth,
                                                       kInitialHeight, &error);
    if (!sdlWindow->Valid()) {
      std::fprintf(stderr, "daxviewer: cannot create the window (%s)\n", error.c_str());
      sdlWindow.reset();
      platform::QuitSdl();
      return kExitNoDisplay;
    }
    window = sdlWindow.get();
    // Pictures are colour-managed for this display; headless runs keep sRGB.
    image::SetDisplayProfile(sdlWindow->DisplayIccProfile());
  }

  platform::TMessageSink messages(!headless);
  if (sdlWindow) messages.SetParent(sdlWindow->Handle());
  platform::TPosixLauncher launcher;
  platform::TSdlScreenSaver sdlScreenSaver;
  TNoScreenSaver noScreenSaver;
  platform::IScreenSaverControl& screenSaver =
      headless ? static_cast<platform::IScreenSaverControl&>(noScreenSaver) : sdlScreenSaver;
  platform::TInstanceLock instanceLock(platform::InstanceLockFolder() + "/" +
                                       platform::InstanceLockName(programPath));
  TLocatorShowOpener opener;
  TMediaLibraryProvider mediaLibrary(FolderOf(programPath));

  TMainFormServices services{*window,
                             launcher,
                             messages,
                             screenSaver,
                             instanceLock,
                             ProgramClock(),
                             opener,
                             commands,
                             programPath,
                             [](IOpenShow&) { return std::make_unique<TStandInInputMapping>(); },
                             [&mediaLibrary](IOpenShow* show) { mediaLibrary.Provide(show); },
                             [](IOpenShow& show) { DecideExclusiveMode(show); },
                             [](IOpenShow& show, int slide, const TBitmap* picture) {
                               return SaveSlidePicture(show, slide, picture,
                                                       platform::PicturesFolder());
                             }};

  int exitCode = kExitOk;
  std::unique_ptr<TMainForm> form;
  try {
    form = std::make_unique<TMainForm>(std::move(services), std::make_unique<TStandInViewer>());
    form->Start();
    if (!form->Closed()) {
      if (sdlWindow) {
        TFormEvents events(*form);
        sdlWindow->Run(events);
      } else if (noDisplay) {
        Log().Write("No display to show the show on");
        form->Close();
      } else {
        // Nothing plays without the playback engine: a headless run ends once the show is
        // open.
        Log().Write("No playback engine: nothing to play");
        form->Close();
      }
    }
    exitCode = form->ExitCode();
    if (noDisplay && exitCode == kExitOk) exitCode = kExitNoDisplay;
  } catch (const std::exception& e) {
    messages.ShowMessage(kErrorCaption, e.what(), platform::TMessageIcon::Error);
    exitCode = kExitShowFailed;
  }

  if (form && form->StartupMode()) GiveForegroundBack(commands);
  // Freeing the window shuts it down; a failing shutdown is logged and does not stop the exit.
  form.reset();
  sdlWindow.reset();
  if (!headless) platform::QuitSdl();

  auto workMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - startTime)
                    .count();
  Log().WriteStopBanner(LocalNow(), workMs);
  Log().Close();
  return exitCode;
}

}  // namespace dax::app
