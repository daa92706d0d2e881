// daxpack ini, run as a program.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <string>

#include "support/TempDir.h"

namespace {

struct TRun {
  std::string out;
  int status;
};

TRun Daxpack(const std::string& args) {
  std::string command = std::string(DAXPACK_PATH) + " ini " + args + " 2>/dev/null";
  TRun run{"", -1};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
      {"--get main:pic: --as string", "Picture\n", 0},
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

}  // namespace
