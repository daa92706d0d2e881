#include "app/MainForm.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "AppFakes.h"
#include "container/ShowLocator.h"
#include "support/TempDir.h"

namespace dax::app {
namespace {

using test::TFakeShowSetup;

struct MainFormTest : ::testing::Test {
  dax::test::TTempDir dir;
  std::string program;
  test::TFakeWindow window;
  test::TFakeLauncher launcher;
  test::TFakeMessages messages;
  test::TFakeScreenSaver saver;
  test::TFakeLock lock;
  test::TInstantClock clock;
  test::TFakeOpener opener;
  std::optional<TCommandsStorage> commands;
  test::TFakeViewer* viewer = nullptr;
  test::TFakeMapping* mapping = nullptr;
  bool mappingControl = true;
  std::vector<int> printedSlides;
  std::vector<std::string> providerCalls;  // "decide <path>", "media <path>" ("media -": none)
  std::unique_ptr<TMainForm> form;

  void TearDown() override { container::SetReplacePair({}); }

  static std::string PathOf(IOpenShow* show) {
    auto* fake = dynamic_cast<test::TFakeShow*>(show);
    return fake ? fake->Path() : std::string("-");
  }

  void SetUp() override {
    ::mkdir(dir.File("bin").c_str(), 0755);
    program = Touch("bin/daxviewer");
  }

  std::string Touch(const std::string& rel) {
    std::string path = dir.File(rel);
    std::string folder = path.substr(0, path.find_last_of('/'));
    ::mkdir(folder.c_str(), 0755);
    dax::test::WriteFileBytes(path, "x");
    return path;
  }

  TMainForm& Make(const std::vector<std::string>& args) {
    commands = TCommandsStorage::FromArguments(args);
    auto fakeViewer = std::make_unique<test::TFakeViewer>();
    viewer = fakeViewer.get();
    TMainFormServices services{window,    launcher, messages, saver, lock, clock, opener,
                               *commands, program,  {},       {},    {},   {}};
    services.makeInputMapping = [this](IOpenShow&) {
      auto made = std::make_unique<test::TFakeMapping>();
      made->control = mappingControl;
      mapping = made.get();
      return made;
    };
    services.exclusiveModeDecision = [this](IOpenShow& show) {
      providerCalls.push_back("decide " + PathOf(&show));
    };
    services.mediaLibraryProvider = [this](IOpenShow* show) {
      providerCalls.push_back("media " + PathOf(show));
    };
    services.printSaver = [this](IOpenShow&, int slide, const TBitmap*) {
      printedSlides.push_back(slide);
      return std::string("/pictures/slide.png");
    };
    form = std::make_unique<TMainForm>(std::move(services), std::move(fakeViewer));
    return *form;
  }

  bool Start(const std::vector<std::string>& args = {}) { return Make(args).Start(); }

  // The program's own show with the given document values.
  void OwnShow(std::map<std::string, std::string> main = {}, std::string endAction = "repeat") {
    TFakeShowSetup setup;
    setup.main = std::move(main);
    setup.endAction = std::move(endAction);
    opener.shows[program] = setup;
  }

  std::string OpenedPath() const {
    auto* show = dynamic_cast<test::TFakeShow*>(form->Show());
    return show ? show->Path() : std::string();
  }

  bool Act(uint8_t kind, int32_t number = 0, std::string text = {}) {
    return form->ExecuteAction({kind, number, std::move(text)});
  }
};

TEST_F(MainFormTest, OpensTheProgramsOwnShowWithoutArguments) {
  OwnShow();
  ASSERT_TRUE(Start());
  EXPECT_EQ(OpenedPath(), program);
  EXPECT_FALSE(viewer->Paused());
  EXPECT_TRUE(viewer->PerSlideActions());
  EXPECT_EQ(viewer->LoadedShow(), form->Show());
  EXPECT_TRUE(window.visible);
  EXPECT_EQ(window.caption, "DaxViewer v5.6");
  EXPECT_EQ(saver.suppressed, 1);
  EXPECT_TRUE(viewer->seeks.empty());
  EXPECT_EQ(form->ShowFolder(), dir.File("bin"));
  EXPECT_EQ(form->ExitCode(), 0);
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(providerCalls, (std::vector<std::string>{"decide " + program, "media " + program}));
  form.reset();
  EXPECT_EQ(saver.restored, 1);
}

TEST_F(MainFormTest, ShowNameSources) {
  // Switch values resolve against the program's folder (bin); a show named first resolves
  // against the working folder.
  struct TCase {
    std::vector<std::string> args;
    std::string rel;
    bool project;
    std::string cwd;
  } cases[] = {
      {{"-exename", "../shows/a.dxshow"}, "shows/a.dxshow", false, "shows"},
      {{"-filename", "..\\proj\\p.dax"}, "proj/p.dax", true, "shows"},
      {{"sub/b.dxshow", "-slide", "1"}, "bin/sub/b.dxshow", false, "bin"},
      {{"../proj/Q.DAX"}, "proj/Q.DAX", true, "bin"},
      {{"a.dxshow"}, "shows/a.dxshow", false, "shows"},
  };
  char* saved = ::getcwd(nullptr, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rel);
    std::string path = Touch(c.rel);
    ASSERT_EQ(::chdir(dir.File(c.cwd).c_str()), 0);
    TFakeShowSetup setup;
    setup.packed = !c.project;
    opener.shows[path] = setup;
    ASSERT_TRUE(Start(c.args));
    EXPECT_EQ(OpenedPath(), path);
    EXPECT_EQ((c.project ? opener.projectTries : opener.packedTries).back(), path);
    form.reset();
  }
  EXPECT_EQ(::chdir(saved), 0);
  std::free(saved);
}

TEST_F(MainFormTest, ProjectWithExeNameTakesItsName) {
  std::string path = Touch("proj/p.dax");
  TFakeShowSetup setup;
  setup.packed = false;
  setup.main["opt_exefn"] = "C:\\Out\\show.exe";
  opener.shows[path] = setup;
  ASSERT_TRUE(Start({"-filename", path}));
  // Projects: the media library is asked first, without a show.
  EXPECT_EQ(providerCalls, (std::vector<std::string>{"media -", "decide " + path}));
  EXPECT_EQ(form->ShowFileName(), "C:/Out/show.exe");
  EXPECT_EQ(container::ReplacePair().exeName, "C:\\Out\\show.exe");
  EXPECT_EQ(container::ReplacePair().projectPath, path);
  container::SetReplacePair({});
}

TEST_F(MainFormTest, ShowThatCannotBeOpenedEndsWithExitCode2) {
  struct TCase {
    std::vector<std::string> args;
    std::string errorText;
    std::string message;
  } cases[] = {
      {{"/nowhere/x.dxshow"},
       "Slideshow File not Found",
       "Slideshow File not Found\r\"/nowhere/x.dxshow\" or \"/nowhere/x.dxshow\""},
      {{"/nowhere/y.bin"}, "", "Can`t Load Show\r\"/nowhere/y.bin\" or \"/nowhere/y.dxshow\""},
      {{"-filename", "/nowhere/p.dax"}, "", "Can`t Load .dax File\r\"/nowhere/p.dax\""},
      // The first attempt's reason wins over the ".dxshow" retry's "not found", and the
      // retry's reason is told when the first only found nothing.
      {{"/nowhere/damaged"},
       "",
       "Slide-show File Damaged\r\"/nowhere/damaged\" or \"/nowhere/damaged.dxshow\""},
      {{"/nowhere/w.exe"},
       "",
       "Slide-show File Modified\r\"/nowhere/w.exe\" or \"/nowhere/w.dxshow\""},
  };
  opener.errors["/nowhere/damaged"] = "Slide-show File Damaged";
  opener.errors["/nowhere/damaged.dxshow"] = "Slideshow File not Found";
  opener.errors["/nowhere/w.exe"] = "Slideshow File not Found";
  opener.errors["/nowhere/w.dxshow"] = "Slide-show File Modified";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    opener.errors["/nowhere/x.dxshow"] = c.errorText;
    messages.messages.clear();
    window.quitCount = 0;
    EXPECT_FALSE(Start(c.args));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Slideshow Error");
    EXPECT_EQ(messages.messages[0].text, c.message);
    EXPECT_EQ(form->ExitCode(), 2);
    EXPECT_TRUE(form->Closed());
    EXPECT_EQ(window.quitCount, 1);
    form.reset();
  }
}

TEST_F(MainFormTest, StartPositionSeeks) {
  struct TCase {
    std::vector<std::string> args;
    std::vector<double> seeks;
  } cases[] = {
      {{"-slide", "1"}, {}}, {{"-slide", "0"}, {}},       {{"-slide", "3"}, {2001}},
      {{"-time", "1"}, {0}}, {{"-time", "1500"}, {1499}}, {{"-time", "0"}, {0}},
  };
  OwnShow();
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    ASSERT_TRUE(Start(c.args));
    EXPECT_EQ(viewer->seeks, c.seeks);
    form.reset();
  }
}

TEST_F(MainFormTest, ScreenSaverShowsNeedSlashSAndOneInstance) {
  struct TCase {
    std::vector<std::string> args;
    bool otherInstance;
    bool opens;
  } cases[] = {
      {{}, false, false},
      {{"/s"}, false, true},
      {{"/S"}, false, true},
      {{"/s"}, true, false},
      // Preview and settings runs end silently; their window number is no show name.
      {{"/p", "1234"}, false, false},
      {{"/c"}, false, false},
  };
  TFakeShowSetup setup;
  setup.screenSaver = true;
  opener.shows[program] = setup;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    lock.otherRuns = c.otherInstance;
    saver.announced = 0;
    EXPECT_EQ(Start(c.args), c.opens);
    EXPECT_EQ(saver.announced, c.opens ? 1 : 0);
    EXPECT_EQ(form->ExitCode(), 0);  // refused silently, not an error
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(window.visible, c.opens);
    form.reset();
    window.visible = false;
  }
}

TEST_F(MainFormTest, NavigationActions) {
  TFakeShowSetup setup;
  setup.slideNames = {"Title", "Intro", "End"};
  opener.shows[program] = setup;
  ASSERT_TRUE(Start());
  struct TCase {
    TDaxActionInfo action;
    bool paused;
    bool waiting;
    double expectedSeek;  // -1 = no seek
    bool expectedPaused;
    bool expectedWaiting;
  } cases[] = {
      {{action::kNextSlide, 0, {}}, false, false, 3001, false, false},
      {{action::kNextSlide, 0, {}}, true, false, 3500, true, false},
      {{action::kNextSlide, 0, {}}, false, true, -1, false, false},
      {{action::kPrevSlide, 0, {}}, false, false, 1000, false, false},
      {{action::kPause, 0, {}}, false, false, -1, true, false},
      {{action::kPause, 0, {}}, true, false, -1, false, false},
      {{action::kPause, 0, {}}, false, true, -1, false, false},
      {{action::kGoToSlide, 0, {}}, false, false, 1, false, false},
      {{action::kGoToSlide, 1, {}}, false, false, 1, false, false},
      {{action::kGoToSlide, 3, {}}, true, false, 2001, true, false},
      {{action::kGoToSlide, -1, "intro"}, false, false, 1001, false, false},
      {{action::kGoToSlide, INT32_MIN, {}}, false, false, 1, false, false},
      {{action::kGoToTime, 4321, {}}, true, false, 4321, true, false},
      {{action::kStop, 0, {}}, false, false, 0, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.action.kind));
    viewer->Seek(2500);
    viewer->seeks.clear();
    viewer->SetPaused(c.paused);
    viewer->waitingForKey = c.waiting;
    EXPECT_TRUE(form->ExecuteAction(c.action));
    if (c.expectedSeek < 0)
      EXPECT_TRUE(viewer->seeks.empty());
    else
      EXPECT_EQ(viewer->seeks, std::vector<double>{c.expectedSeek});
    EXPECT_EQ(viewer->Paused(), c.expectedPaused);
    EXPECT_EQ(viewer->waitingForKey, c.expectedWaiting);
  }
  EXPECT_FALSE(Act(action::kGoToSlide, -1, "missing"));
  EXPECT_TRUE(Act(action::kPrint));
  EXPECT_EQ(viewer->printRequests, 1);
  form->BeginModal();
  EXPECT_FALSE(Act(action::kNextSlide));
  form->EndModal();
}

TEST_F(MainFormTest, LinksAreOneArgumentWithScheme) {
  OwnShow();
  ASSERT_TRUE(Start());
  struct TCase {
    uint8_t kind;
    std::string text, url;
  } cases[] = {
      {action::kOpenLink, "example.com/a,b?x=1", "http://example.com/a,b?x=1"},
      {action::kOpenLink, "HTTPS://Example.com/start.html", "HTTPS://Example.com/start.html"},
      {action::kOpenLink, "http://x.org/rm -rf", "http://x.org/rm -rf"},
      {action::kSendMail, "someone@example.com", "mailto:someone@example.com"},
      {action::kSendMail, "mailto:a@b.c", "mailto:a@b.c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    launcher.links.clear();
    EXPECT_TRUE(Act(c.kind, 0, c.text));
    EXPECT_EQ(launcher.links, std::vector<std::string>{c.url});
  }
  EXPECT_TRUE(launcher.launches.empty());
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(MainFormTest, TopMostWindowStepsBackForLinks) {
  OwnShow();
  ASSERT_TRUE(Start({"-startup"}));
  ASSERT_TRUE(window.topMost);
  EXPECT_TRUE(Act(action::kOpenLink, 0, "example.com"));
  EXPECT_FALSE(window.topMost);
  window.topMost = true;
  launcher.linkResult = platform::kLaunchFileNotFound;
  EXPECT_FALSE(Act(action::kSendMail, 0, "a@b.c"));
  EXPECT_TRUE(window.topMost);  // made top-most again after the failure
}

TEST_F(MainFormTest, RunApplicationActions) {
  OwnShow();
  ASSERT_TRUE(Start());
  EXPECT_TRUE(Act(action::kRunApplication, 0, "viewer.sh a"));
  ASSERT_EQ(launcher.launches.size(), 1u);
  EXPECT_EQ(launcher.launches[0].folder, dir.File("bin"));
  EXPECT_FALSE(Act(action::kRunApplication, 0, "cmd /c del x"));
  EXPECT_EQ(launcher.launches.size(), 1u);

  EXPECT_TRUE(Act(action::kRunApplicationAndExit, 0, "after.sh"));
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(launcher.launches.size(), 2u);
  EXPECT_EQ(launcher.launches[1].program, "after.sh");
}

TEST_F(MainFormTest, ExitWithCode1) {
  OwnShow();
  ASSERT_TRUE(Start());
  EXPECT_TRUE(Act(action::kExitWithCode1));
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(form->ExitCode(), 1);
  EXPECT_EQ(viewer->stops, 1);
  EXPECT_EQ(clock.slept, kCloseWaitMs);
}

TEST_F(MainFormTest, OpenShowErrors) {
  OwnShow();
  ASSERT_TRUE(Start());
  std::string junk = Touch("shows/junk.exe");
  std::string other = Touch("shows/other.dxshow");
  TFakeShowSetup otherSetup;
  otherSetup.version = "4.0";
  opener.shows[other] = otherSetup;
  struct TCase {
    std::string text, message;
  } cases[] = {
      {"\"" + dir.File("shows/none.dxshow") + "\"",
       "DaxShow File not Found:\r" + dir.File("shows/none.dxshow")},
      {junk, "Not DaxShow Executable File or File Corrupted:\r" + junk},
      {other + " -slide 2", "DaxShow ExeFile Version Mismatch:\r" + other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    messages.messages.clear();
    EXPECT_FALSE(Act(action::kOpenShow, 0, c.text));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, "Slideshow Error");
    EXPECT_EQ(messages.messages[0].text, c.message);
    EXPECT_EQ(OpenedPath(), program);
    EXPECT_FALSE(form->Closed());
  }
}

TEST_F(MainFormTest, FailedOpenKeepsTheOldShowUntilTheNewOneIsHeld) {
  OwnShow();
  ASSERT_TRUE(Start());
  // A screen-saver show without "/s" fails after it was opened.
  std::string saverShow = Touch("shows/saver.dxshow");
  TFakeShowSetup setup;
  setup.screenSaver = true;
  opener.shows[saverShow] = setup;
  IOpenShow* before = form->Show();
  viewer->SetPaused(true);
  providerCalls.clear();
  EXPECT_FALSE(Act(action::kOpenShowAndReturn, 0, saverShow));
  // The refused show decides nothing for the one that keeps playing.
  EXPECT_TRUE(providerCalls.empty()) << ::testing::PrintToString(providerCalls);
  EXPECT_EQ(form->Show(), before);
  EXPECT_EQ(viewer->LoadedShow(), before);
  EXPECT_EQ(opener.alive, 1);
  EXPECT_TRUE(viewer->Paused());  // the previous pause state
  EXPECT_TRUE(form->RunStack().empty());
  EXPECT_FALSE(form->Closed());

  // Open show (kind 12) ends the program when the show cannot be opened.
  EXPECT_FALSE(Act(action::kOpenShow, 0, saverShow));
  EXPECT_TRUE(form->Closed());
}

TEST_F(MainFormTest, OpenShowAndReturnWalksTheRunStack) {
  OwnShow();
  ASSERT_TRUE(Start());
  std::string second = Touch("shows/second.dxshow");
  opener.shows[second] = TFakeShowSetup{};
  viewer->Seek(2500);
  ASSERT_TRUE(Act(action::kOpenShowAndReturn, 0, second + " -time 11"));
  EXPECT_EQ(OpenedPath(), second);
  EXPECT_EQ(opener.alive, 1);
  EXPECT_EQ(viewer->seeks.back(), 10);
  EXPECT_FALSE(viewer->Paused());
  ASSERT_EQ(form->RunStack().size(), 1u);
  EXPECT_EQ(form->RunStack()[0].commandLine, "\"" + program + "\" -slide 3");

  // Esc returns to the first show at its slide; the window stays open.
  viewer->seeks.clear();
  form->KeyEvent(vk::kEscape, 0, true);
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(OpenedPath(), program);
  EXPECT_EQ(viewer->seeks, std::vector<double>{2001});
  EXPECT_TRUE(form->RunStack().empty());

  // And it can still close afterwards.
  form->KeyEvent(vk::kEscape, 0, true);
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(window.quitCount, 1);
}

TEST_F(MainFormTest, CloseBoxDoesNotReturnAlongTheRunStack) {
  OwnShow();
  ASSERT_TRUE(Start());
  std::string second = Touch("shows/second.dxshow");
  opener.shows[second] = TFakeShowSetup{};
  ASSERT_TRUE(Act(action::kOpenShowAndReturn, 0, second));
  form->Close();
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(OpenedPath(), second);
}

TEST_F(MainFormTest, RunApplicationOnExit) {
  enum class THow { CloseBox, Escape, EndOfShow };
  struct TCase {
    THow how;
    const char* ifLastSlide;  // "" = default (true)
    bool runs;
  } cases[] = {
      {THow::CloseBox, "", false},  {THow::CloseBox, "0", false}, {THow::Escape, "", false},
      {THow::Escape, "1", false},   {THow::Escape, "0", true},    {THow::EndOfShow, "", true},
      {THow::EndOfShow, "0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.how) << " " << c.ifLastSlide);
    std::map<std::string, std::string> main = {{"opt_runapponexit", "1"},
                                               {"opt_runapponexitfn", "after.sh --done"}};
    if (*c.ifLastSlide) main["opt_runapponexitiflastslide"] = c.ifLastSlide;
    OwnShow(main, "close");
    ASSERT_TRUE(Start());
    launcher.launches.clear();
    switch (c.how) {
      case THow::CloseBox:
        form->Close();
        break;
      case THow::Escape:
        form->KeyEvent(vk::kEscape, 0, true);
        break;
      case THow::EndOfShow:
        viewer->callbacks_.position(5000, true);
        break;
    }
    EXPECT_TRUE(form->Closed());
    ASSERT_EQ(launcher.launches.size(), c.runs ? 1u : 0u);
    if (c.runs) {
      EXPECT_EQ(launcher.launches[0].program, "after.sh");
      EXPECT_EQ(launcher.launches[0].args, std::vector<std::string>{"--done"});
    }
    form.reset();
  }
}

TEST_F(MainFormTest, EndOfShowClosesOnlyWhenTheEndActionIsClose) {
  OwnShow({}, "repeat");
  ASSERT_TRUE(Start());
  viewer->callbacks_.position(5000, true);
  EXPECT_FALSE(form->Closed());
  form.reset();
  OwnShow({}, "Close");
  ASSERT_TRUE(Start());
  viewer->callbacks_.position(4000, false);
  EXPECT_FALSE(form->Closed());
  viewer->callbacks_.position(5000, true);
  EXPECT_TRUE(form->Closed());
}

TEST_F(MainFormTest, OpenShowOnExitKeepsTheWindowOpen) {
  std::string next = Touch("bin/next.dxshow");
  OwnShow({{"opt_runapponexit", "2"},
           {"opt_runapponexitfn", "next.dxshow -slide 2"},
           {"opt_runapponexitiflastslide", "0"}});
  opener.shows[next] = TFakeShowSetup{};
  ASSERT_TRUE(Start());
  form->KeyEvent(vk::kEscape, 0, true);
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(OpenedPath(), next);
  EXPECT_EQ(viewer->seeks.back(), 1001);
  // The next show has no exit program: Esc now closes.
  form->KeyEvent(vk::kEscape, 0, true);
  EXPECT_TRUE(form->Closed());
}

TEST_F(MainFormTest, ClosingIsRefusedWhileModal) {
  OwnShow();
  ASSERT_TRUE(Start());
  form->BeginModal();
  EXPECT_FALSE(form->CloseQuery());
  form->EndModal();
  form->Close();
  EXPECT_TRUE(form->Closed());
}

TEST_F(MainFormTest, Keyboard) {
  OwnShow();
  ASSERT_TRUE(Start({"-startup", "12345"}));
  EXPECT_TRUE(window.topMost);

  viewer->overlay = true;
  form->KeyEvent(vk::kEscape, 0, true);  // closes the dialog, not the show
  EXPECT_EQ(viewer->overlayClosed, 1);
  EXPECT_FALSE(form->Closed());
  viewer->overlay = true;
  form->KeyEvent(vk::kF1, 0, true);
  EXPECT_EQ(viewer->helpShown, 1);
  form->KeyEvent(vk::kRight, 0, true);
  EXPECT_TRUE(viewer->seeks.empty());
  viewer->overlay = false;

  form->KeyEvent(vk::kReturn, 0, true);
  EXPECT_TRUE(form->Closed());
  EXPECT_EQ(form->ExitCode(), 1);
}

TEST_F(MainFormTest, KeysClearTheWaitWithoutKeyboardControl) {
  OwnShow();
  mappingControl = false;
  ASSERT_TRUE(Start());
  struct TCase {
    int key;
    bool clears;
  } cases[] = {
      {vk::kSpace, true},          {vk::kPause, true},          {vk::kPageDown, true},
      {vk::kRight, true},          {vk::kBrowserForward, true}, {vk::kMediaNextTrack, true},
      {vk::kMediaPlayPause, true}, {vk::kLeft, false},          {'A', false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    viewer->waitingForKey = true;
    form->KeyEvent(c.key, 0, true);
    EXPECT_EQ(viewer->waitingForKey, !c.clears);
  }
  EXPECT_TRUE(viewer->seeks.empty());
}

TEST_F(MainFormTest, MouseInputWaitsOneSecondThenGoesToTheViewer) {
  OwnShow();
  ASSERT_TRUE(Start());
  mapping->leftClick = {action::kNextSlide, 0, {}};
  form->MouseEvent(0, 10, 10, 2, 1);
  EXPECT_TRUE(viewer->mouse.empty());
  clock.Advance(kInputDelayMs);
  form->MouseEvent(0, 10, 10, 2, 1);
  ASSERT_EQ(viewer->mouse.size(), 1u);
  EXPECT_EQ(viewer->mouse[0].kind, action::kNextSlide);
  EXPECT_TRUE(viewer->seeks.empty());  // the engine hit-tests first
}

TEST_F(MainFormTest, HiddenCursorExecutesMouseActionsDirectly) {
  OwnShow({{"opt_hidecursor", "1"}});
  ASSERT_TRUE(Start());
  EXPECT_TRUE(form->MouseMonitor().Hidden());
  EXPECT_EQ(window.cursor, platform::TCursorShape::None);
  clock.Advance(kInputDelayMs);
  mapping->leftClick = {action::kNextSlide, 0, {}};
  form->MouseEvent(0, 10, 10, 2, 1);
  EXPECT_TRUE(viewer->mouse.empty());
  EXPECT_EQ(viewer->seeks, std::vector<double>{1001});
  // Over the navigation panel the cursor comes back; over an object it is the hand.
  viewer->hover.element = "NavPanel";
  form->MouseEvent(0, 12, 10, 0, 0);
  EXPECT_EQ(window.cursor, platform::TCursorShape::Arrow);
}

TEST_F(MainFormTest, HandCursorExceptOverButtons) {
  OwnShow();
  ASSERT_TRUE(Start());
  clock.Advance(kInputDelayMs);
  viewer->hover = {true, "TDaxPicture", ""};
  form->MouseEvent(0, 1, 1, 0, 0);
  EXPECT_EQ(window.cursor, platform::TCursorShape::Hand);
  viewer->hover = {true, "TDaxButton", ""};
  form->MouseEvent(0, 2, 2, 0, 0);
  EXPECT_EQ(window.cursor, platform::TCursorShape::Arrow);
}

TEST_F(MainFormTest, Wheel) {
  OwnShow();
  ASSERT_TRUE(Start());
  viewer->Seek(2500);
  viewer->seeks.clear();
  form->MouseWheel(60, 0);
  EXPECT_TRUE(viewer->seeks.empty());
  form->MouseWheel(60, 0);  // the remainder makes one notch away from the user
  EXPECT_EQ(viewer->seeks, std::vector<double>{1800});
  viewer->seeks.clear();
  // Seeks land later, as with the engine: each notch goes on from the last target.
  viewer->asyncSeek = true;
  form->MouseWheel(-240, shift::kCtrl);
  EXPECT_EQ(viewer->seeks, (std::vector<double>{2001, 3001}));
  viewer->ApplySeeks();
  viewer->seeks.clear();
  form->MouseWheel(240, shift::kCtrl);
  EXPECT_EQ(viewer->seeks, (std::vector<double>{2000, 1000}));
  viewer->asyncSeek = false;
  viewer->Seek(3001);
  viewer->seeks.clear();
  form->MouseWheel(120, shift::kCtrl | shift::kShift);
  EXPECT_EQ(viewer->seeks, std::vector<double>{2301});
  form.reset();

  OwnShow({{"opt_lockwheel", "1"}});
  ASSERT_TRUE(Start());
  form->MouseWheel(120, 0);
  EXPECT_TRUE(viewer->seeks.empty());
}

TEST_F(MainFormTest, PrintSavesTheCurrentSlide) {
  OwnShow();
  ASSERT_TRUE(Start());
  viewer->Seek(7500);  // slide 7 of a 5-slide timeline: the second pass
  viewer->callbacks_.print(nullptr);
  EXPECT_EQ(printedSlides, std::vector<int>{2});
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, "Slide picture saved to /pictures/slide.png");
  EXPECT_FALSE(viewer->Paused());
}

TEST_F(MainFormTest, PrintWithoutSlidesDoesNothing) {
  TFakeShowSetup setup;
  setup.slideCount = 0;
  opener.shows[program] = setup;
  ASSERT_TRUE(Start());
  viewer->callbacks_.print(nullptr);
  EXPECT_TRUE(printedSlides.empty());
  EXPECT_FALSE(viewer->Paused());
}

TEST_F(MainFormTest, ViewerActionsAreNotReentered) {
  OwnShow();
  ASSERT_TRUE(Start());
  // The viewer asks for an action from inside the seek of one that runs, whether that one
  // came through its callback or from a key: the nested request is dropped.
  for (bool fromKey : {false, true}) {
    SCOPED_TRACE(fromKey ? "key" : "callback");
    viewer->Seek(0);
    viewer->seeks.clear();
    viewer->reenter = TDaxActionInfo{action::kNextSlide, 0, {}};
    if (fromKey)
      form->KeyEvent(vk::kRight, 0, true);
    else
      viewer->callbacks_.action({action::kNextSlide, 0, {}});
    EXPECT_EQ(viewer->seeks, std::vector<double>{1001});
  }
  // Afterwards the callback runs actions again.
  viewer->callbacks_.action({action::kNextSlide, 0, {}});
  EXPECT_EQ(viewer->seeks, (std::vector<double>{1001, 2001}));
}

TEST_F(MainFormTest, PreviewReturnsToTheProjectUnderItsBuiltName) {
  std::string path = Touch("proj/p.dax");
  TFakeShowSetup project;
  project.packed = false;
  project.main["opt_exefn"] = "C:\\Out\\show.exe";
  opener.shows[path] = project;
  std::string second = Touch("shows/second.dxshow");
  opener.shows[second] = TFakeShowSetup{};
  ASSERT_TRUE(Start({"-filename", path}));
  viewer->Seek(2500);
  ASSERT_TRUE(Act(action::kOpenShowAndReturn, 0, second));
  ASSERT_EQ(form->RunStack().size(), 1u);
  EXPECT_EQ(form->RunStack()[0].commandLine, "\"C:/Out/show.exe\" -slide 3");

  // Esc goes back along the run stack to the project, which is no built show yet.
  form->KeyEvent(vk::kEscape, 0, true);
  EXPECT_FALSE(form->Closed());
  EXPECT_TRUE(messages.messages.empty()) << messages.messages[0].text;
  EXPECT_EQ(OpenedPath(), path);
  EXPECT_EQ(opener.projectTries, (std::vector<std::string>{path, path}));
  EXPECT_EQ(viewer->seeks.back(), 2001);
  EXPECT_EQ(form->ShowFileName(), "C:/Out/show.exe");

  // A show that names the built program, in any case and with either slash, reaches it too.
  ASSERT_TRUE(Act(action::kOpenShow, 0, second));
  ASSERT_TRUE(Act(action::kOpenShow, 0, "\"c:\\out/SHOW.exe\" -slide 2"));
  EXPECT_EQ(OpenedPath(), path);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(MainFormTest, ReturnItemOfTheLastSlideIndex) {
  OwnShow();
  ASSERT_TRUE(Start());
  std::string second = Touch("shows/second.dxshow");
  opener.shows[second] = TFakeShowSetup{};
  viewer->Seek(2147483647000.0);  // slide index INT_MAX
  ASSERT_TRUE(Act(action::kOpenShowAndReturn, 0, second));
  ASSERT_EQ(form->RunStack().size(), 1u);
  EXPECT_EQ(form->RunStack()[0].commandLine, "\"" + program + "\" -slide 2147483648");
}

TEST_F(MainFormTest, HideIntervalOfAnyDocumentValue) {
  struct TCase {
    const char* seconds;
    int64_t ms;
  } cases[] = {{"3", 3000}, {"9223372036854775807", 2147483647000}, {"-5", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    OwnShow({{"opt_hidecursor", "2"}, {"opt_hc2_hideinterval", c.seconds}});
    ASSERT_TRUE(Start());
    EXPECT_EQ(form->MouseMonitor().HideInterval(), c.ms);
    form.reset();
  }
}

TEST_F(MainFormTest, FailingShutdownIsLoggedNotFatal) {
  OwnShow();
  ASSERT_TRUE(Start());
  viewer->throwOnStop = true;
  EXPECT_THROW(form->Shutdown(), std::runtime_error);
  EXPECT_EQ(saver.restored, 1);  // the screen saver comes back all the same
  form.reset();                  // runs once: nothing is stopped again
  EXPECT_EQ(saver.restored, 1);

  // Nobody shut it down: the destructor does, and keeps the exception in.
  ASSERT_TRUE(Start());
  viewer->throwOnStop = true;
  form.reset();
  EXPECT_EQ(saver.restored, 2);
}

}  // namespace
}  // namespace dax::app

namespace dax::app {
namespace {

TEST_F(MainFormTest, OpenShowFindsNamesOfTheAuthoringMachineBesideTheShow) {
  OwnShow({{"opt_exefn", "C:\\Out\\main.exe"}});
  ASSERT_TRUE(Start());
  std::string below = Touch("bin/sub/other.exe");
  std::string beside = Touch("bin/third.exe");
  opener.shows[below] = TFakeShowSetup{};
  opener.shows[beside] = TFakeShowSetup{};
  ASSERT_TRUE(Act(action::kOpenShowAndReturn, 0, "\"C:\\Out\\Sub\\other.exe\" -slide 2"));
  EXPECT_EQ(OpenedPath(), below);
  form.reset();
  ASSERT_TRUE(Start());
  ASSERT_TRUE(Act(action::kOpenShow, 0, "D:\\Elsewhere\\third.exe"));
  EXPECT_EQ(OpenedPath(), beside);
}

}  // namespace
}  // namespace dax::app
