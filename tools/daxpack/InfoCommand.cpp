// daxpack info: what the player makes of a show (packed show or project file): options,
// timeline, transitions, end actions and launches, as text or as one JSON object.
#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "container/ShowLocator.h"
#include "foundation/Random.h"
#include "foundation/Strings.h"
#include "show/ShowInfo.h"
#include "show/ShowSourceFactory.h"

namespace dax::daxpack {
namespace {

constexpr char kInfoUsage[] = "info [--json] SHOW   (a packed show or a project file \".dax\")";

bool IsProjectFile(const std::string& path) {
  return path.size() >= 4 && AsciiLower(path.substr(path.size() - 4)) == ".dax";
}

int Info(const std::vector<std::string>& args) {
  bool json = false;
  std::string show;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (show.empty() && !arg.empty() && (arg[0] != '-' || arg == "-")) {
      show = arg;
    } else {
      std::fprintf(stderr, "usage: daxpack %s\n", kInfoUsage);
      return 2;
    }
  }
  if (show.empty()) {
    std::fprintf(stderr, "usage: daxpack %s\n", kInfoUsage);
    return 2;
  }

  std::unique_ptr<container::TDaxShowLocator> locator;
  std::string programPath = "daxpack";
  if (IsProjectFile(show)) {
    locator = container::OpenProjectFile(show);
    if (!locator) {
      std::fprintf(stderr, "Can`t Load .dax File\n\"%s\"\n", show.c_str());
      return 1;
    }
  } else {
    container::TOpenShowResult opened = container::OpenPackedShow(show);
    if (!opened.locator) {
      std::string text = opened.errorText.empty() ? "Can`t Load Show" : opened.errorText;
      std::fprintf(stderr, "%s\n\"%s\"\n", text.c_str(), show.c_str());
      return 1;
    }
    locator = std::move(opened.locator);
    programPath = show;  // a show appended to a ".scr" program is a screen saver
  }

  // The pool's order is drawn while the source is built.
  Random().Seed(show::kShowInfoRandomSeed);
  std::string error;
  bool reported = false;
  TRef<show::TDaxSource> source = show::CreateShowSource(*locator, programPath, error, &reported);
  if (!source) {
    if (reported)
      std::fprintf(stderr, "\"%s\"\n", show.c_str());
    else
      std::fprintf(stderr, "%s\n\"%s\"\n", error.c_str(), show.c_str());
    return 1;
  }
  show::TShowSummary summary = show::DescribeShow(*source);
  std::string text = json ? show::FormatShowJson(summary) : show::FormatShowText(summary);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace

DAXPACK_COMMAND("info", kInfoUsage, Info);

}  // namespace dax::daxpack
