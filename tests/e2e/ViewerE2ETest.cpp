// Runs the built daxviewer and daxpack programs on shows made here.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace {

struct TRun {
  int exitCode = -1;
  std::string out, err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

struct ViewerE2E : ::testing::Test {
  dax::test::TTempDir dir;

  TRun Run(const std::string& program, const std::string& args) {
    std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
    std::string command = "cd " + Quote(dir.Path()) + " && SDL_VIDEODRIVER=offscreen " +
                          Quote(program) + " " + args + " >" + Quote(out) + " 2>" + Quote(err);
    int status = std::system(command.c_str());
    TRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = dax::test::ReadFileBytes(out);
    run.err = dax::test::ReadFileBytes(err);
    return run;
  }

  // A project folder with a document and one picture entry.
  std::string MakeProject() {
    std::string src = dir.File("src");
    ::mkdir(src.c_str(), 0755);
    dax::test::WriteFileBytes(src + "/Project.dax",
                              "[Main]\r\nDaxVersion=5.6\r\nopt_scr_caption=E2E\r\n"
                              "[Times]\r\nopt_slidescount=1\r\n");
    return src;
  }

  std::string Pack(const std::string& args) {
    TRun run = Run(DAXPACK_PATH, "pack " + args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
  }
};

TEST_F(ViewerE2E, HelpPrintsUsage) {
  TRun run = Run(DAXVIEWER_PATH, "-help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("usage: daxviewer"), std::string::npos);
  EXPECT_NE(run.out.find("-headless"), std::string::npos);
}

TEST_F(ViewerE2E, MissingShowExitsWith2) {
  TRun run = Run(DAXVIEWER_PATH, Quote(dir.File("absent.dxshow")) + " -headless");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Slideshow Error: Slideshow File not Found"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("\"" + dir.File("absent.dxshow") + "\""), std::string::npos);
}

TEST_F(ViewerE2E, DamagedContainerExitsWith2) {
  std::string show = dir.File("show.dxshow");
  Pack("-o " + Quote(show) + " " + Quote(MakeProject()));
  std::string bytes = dax::test::ReadFileBytes(show);
  ASSERT_GT(bytes.size(), 40u);
  // The compressed directory sits just before the 12-byte trailer.
  for (size_t i = bytes.size() - 20; i < bytes.size() - 12; ++i) bytes[i] = '\xff';
  dax::test::WriteFileBytes(show, bytes);
  TRun run = Run(DAXVIEWER_PATH, Quote(show) + " -headless");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Slide-show File Damaged"), std::string::npos) << run.err;
}

TEST_F(ViewerE2E, DamagedAppendedShowIsReportedAsDamaged) {
  // Not a ".dxshow" name: the retry under that name finds nothing, and must not hide why
  // the program's own show failed.
  std::string copy = dir.File("damaged");
  Pack("--append-to " + Quote(DAXVIEWER_PATH) + " -o " + Quote(copy) + " " + Quote(MakeProject()));
  std::string bytes = dax::test::ReadFileBytes(copy);
  ASSERT_GT(bytes.size(), 40u);
  for (size_t i = bytes.size() - 20; i < bytes.size() - 12; ++i) bytes[i] = '\xff';
  dax::test::WriteFileBytes(copy, bytes);
  TRun run = Run(copy, "-headless");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Slideshow Error: Slide-show File Damaged"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("\"" + copy + "\" or \"" + copy + ".dxshow\""), std::string::npos);
}

TEST_F(ViewerE2E, AppendedShowOpensWithFileLog) {
  std::string copy = dir.File("myshow");
  Pack("--append-to " + Quote(DAXVIEWER_PATH) + " -o " + Quote(copy) + " " + Quote(MakeProject()));
  TRun run = Run(copy, "-headless -filelog -slide 1");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::string log = dax::test::ReadFileBytes(dir.File("myshow.log"));
  EXPECT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_NE(log.find(std::string(64, '=') + "\r\nProgram : " + copy + "\r\nstarted : "),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Show opened: " + copy + "\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(std::string(64, '-') + "\r\nProgram stoped : "), std::string::npos);
  EXPECT_NE(log.find(" ms)\r\n" + std::string(64, '-') + "\r\n"), std::string::npos);
}

TEST_F(ViewerE2E, ShowAndProjectNamedOnTheCommandLine) {
  std::string project = MakeProject();
  std::string show = dir.File("named.dxshow");
  Pack("-o " + Quote(show) + " " + Quote(project));
  TRun packed = Run(DAXVIEWER_PATH, Quote(show) + " -headless -log");
  EXPECT_EQ(packed.exitCode, 0) << packed.err;
  EXPECT_NE(packed.err.find("Show opened: " + show), std::string::npos) << packed.err;

  // A relative name is found from the working folder, not from the program's folder.
  TRun relative = Run(DAXVIEWER_PATH, "named.dxshow -headless -log");
  EXPECT_EQ(relative.exitCode, 0) << relative.err;
  EXPECT_NE(relative.err.find("Show opened: " + show), std::string::npos) << relative.err;

  TRun dax = Run(DAXVIEWER_PATH, Quote(project + "/Project.dax") + " -headless -log");
  EXPECT_EQ(dax.exitCode, 0) << dax.err;
  EXPECT_NE(dax.err.find("Show opened: " + project + "/Project.dax"), std::string::npos) << dax.err;

  TRun missingDax = Run(DAXVIEWER_PATH, Quote(dir.File("none.dax")) + " -headless");
  EXPECT_EQ(missingDax.exitCode, 2);
  EXPECT_NE(missingDax.err.find("Can`t Load .dax File"), std::string::npos) << missingDax.err;
}

TEST_F(ViewerE2E, WithoutADisplayShowErrorsStillComeFirst) {
  std::string driver = "SDL_VIDEODRIVER=no-such-driver ";
  TRun missing = Run("/usr/bin/env", driver + Quote(DAXVIEWER_PATH) + " absent.dxshow");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("Slideshow File not Found"), std::string::npos) << missing.err;

  std::string show = dir.File("fine.dxshow");
  Pack("-o " + Quote(show) + " " + Quote(MakeProject()));
  TRun fine = Run("/usr/bin/env", driver + Quote(DAXVIEWER_PATH) + " " + Quote(show));
  EXPECT_EQ(fine.exitCode, 3);
  EXPECT_NE(fine.err.find("no display"), std::string::npos) << fine.err;
}

TEST_F(ViewerE2E, WindowRunsUntilClosed) {
  std::string show = dir.File("windowed.dxshow");
  Pack("-o " + Quote(show) + " " + Quote(MakeProject()));
  std::string copy = dir.File("viewer");
  dax::test::WriteFileBytes(copy, dax::test::ReadFileBytes(DAXVIEWER_PATH));
  ::chmod(copy.c_str(), 0755);
  // SDL turns SIGTERM into a quit request: the window's close path ends the program.
  std::string script = "SDL_VIDEODRIVER=offscreen timeout 30 " + Quote(copy) + " " + Quote(show) +
                       " -filelog & pid=$!; for i in $(seq 200); do grep -q 'Show opened' " +
                       Quote(dir.File("viewer.log")) +
                       " 2>/dev/null && break; sleep 0.05; done; kill -TERM $pid; wait $pid";
  TRun run = Run("/bin/sh", "-c " + Quote(script));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::string log = dax::test::ReadFileBytes(dir.File("viewer.log"));
  EXPECT_NE(log.find("Show opened: " + show), std::string::npos) << log;
  EXPECT_NE(log.find("Program stoped : "), std::string::npos) << log;
}

}  // namespace
