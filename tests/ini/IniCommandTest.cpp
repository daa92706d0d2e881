// daxpack ini, run as a program.
#include <gtest/gtest.h>

#include <string>

#include "support/RunCommand.h"
#include "support/TempDir.h"

namespace {

struct TRun {
  std::string out;
  int status;
};

// `redirect` goes at the end of the command line; the run's `out` is what reaches the pipe.
TRun Daxpack(const std::string& args, const std::string& redirect = "2>/dev/null") {
  std::string command = std::string(DAXPACK_PATH) + " ini " + args + " " + redirect;
  TRun run;
  run.out = dax::test::RunCommand(command, run.status);
  return run;
}

TEST(IniCommandTest, PrintsCanonicalFormValueTextAndValues) {
  dax::test::TTempDir dir;
  std::string path = dir.File("show.ini");
  // Windows-1252 input with LF line ends.
  dax::test::WriteFileBytes(path,
                            "[Main]\nopt_x = 2.50\nflag=1\nname=Caf\xE9\nobject Pic:Picture\n"
                            "  GUID=C:\\new\nend\n[main]\nopt_x=7\n");
  TRun canonical = Daxpack(path);
  EXPECT_EQ(canonical.status, 0);
  EXPECT_EQ(canonical.out,
            "\xEF\xBB\xBF[Main]\r\nopt_x=2.50\r\nflag=1\r\nname=Caf\xC3\xA9\r\n"
            "object Pic:Picture\r\n  GUID=C:\\new\r\nend\r\nopt_x=7\r\n");
  EXPECT_EQ(Daxpack("--value-text " + path).out,
            "[Main]\\nopt_x=2.50\\nflag=1\\nname=Caf\xC3\xA9\\nobject Pic:Picture\\n"
            "  GUID=C:\\\\new\\nend\\nopt_x=7\\n\n");

  const struct {
    const char* args;
    const char* out;
    int status;
  } cases[] = {
      {"--get MAIN:OPT_X", "7\n", 0},
      {"--get main:opt_x --as float", "7\n", 0},
      {"--get main:flag --as bool", "1\n", 0},
      {"--get main:pic:guid", "C:\\new\n", 0},
      {"--get main:pic: --as string", "", 1},
      {"--get main:name --as int --default -1", "-1\n", 0},
      {"--get main:missing --default none", "none\n", 0},
      {"--get main:missing", "", 1},
      {"--get main:name --as int", "", 1},
      {"--get main:flag --as number", "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    TRun run = Daxpack(std::string(c.args) + " " + path);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, c.status);
  }
  EXPECT_NE(Daxpack(dir.File("absent.ini")).status, 0);
}

TEST(IniCommandTest, ReadsUtf16AndPrintsValuesInTheirWrittenForm) {
  dax::test::TTempDir dir;
  std::string path = dir.File("wide.ini");
  // UTF-16 LE of Latin-1 text: each byte, then a zero byte.
  std::string latin1 =
      "top=1\r\n[Main]\r\nzoom=2.50\r\nbig=9000000000\r\nname=Caf\xE9\r\n"
      "object Pic:Picture\r\nend\r\n";
  std::string wide = "\xFF\xFE";
  for (char c : latin1) wide += std::string{c, '\0'};
  dax::test::WriteFileBytes(path, wide);
  TRun canonical = Daxpack(path);
  EXPECT_EQ(canonical.status, 0);
  EXPECT_EQ(canonical.out,
            "\xEF\xBB\xBFtop=1\r\n[Main]\r\nzoom=2.50\r\nbig=9000000000\r\nname=Caf\xC3\xA9\r\n"
            "object Pic:Picture\r\nend\r\n");

  const struct {
    const char* args;
    const char* out;
    int status;
  } cases[] = {
      {"--get :top", "1\n", 0},
      {"--get top", "1\n", 0},
      {"--get :main", "", 1},  // the section, not a key
      {"--get main:name", "Caf\xC3\xA9\n", 0},
      {"--get main:zoom --as float", "2.5\n", 0},
      {"--get main:big --as int64", "9000000000\n", 0},
      {"--get main:big --as int", "", 1},
      {"--get main:zoom --as int64 --default 0", "0\n", 0},
      // Sections, objects and the root hold values but are none.
      {"--get main: --default none", "none\n", 0},
      {"--get main:pic --default none", "none\n", 0},
      {"--get : --default none", "none\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    TRun run = Daxpack(std::string(c.args) + " " + path);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, c.status);
  }
}

TEST(IniCommandTest, AFailedWriteIsAnError) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  dax::test::TTempDir dir;
  std::string path = dir.File("show.ini");
  dax::test::WriteFileBytes(path, "[Main]\nk=v\n");
  for (const char* args : {"", "--value-text ", "--get main:k "}) {
    SCOPED_TRACE(args);
    // Standard error to the pipe, standard output to the full device.
    TRun run = Daxpack(args + path, "2>&1 >/dev/full");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("cannot write"), std::string::npos) << run.out;
  }
}

}  // namespace
