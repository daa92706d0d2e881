#include "app/CommandList.h"

#include <algorithm>
#include <iterator>

#include "app/CommandsStorage.h"
#include "container/ShowPath.h"
#include "foundation/Log.h"
#include "foundation/Strings.h"

namespace dax::app {

namespace {
std::string Trim(std::string_view text) {
  return std::string(TrimBlanks(text));
}

std::string WithoutQuotes(std::string_view text) {
  std::string out;
  for (char ch : text)
    if (ch != '"') out.push_back(ch);
  return out;
}

// Lower case, without folders and without everything from the first full stop.
std::string CommandName(std::string word) {
  for (char& ch : word)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  if (auto slash = word.find_last_of('\\'); slash != std::string::npos) word.erase(0, slash + 1);
  if (auto slash = word.find_last_of('/'); slash != std::string::npos) word.erase(0, slash + 1);
  if (auto dot = word.find('.'); dot != std::string::npos) word.erase(dot);
  return word;
}

std::string FirstWord(std::string_view part) {
  if (part.find('>') != std::string_view::npos) return ">";
  std::string cleaned;
  bool quoted = false;
  for (char ch : part) {
    if (ch == '"') {
      quoted = !quoted;
      continue;
    }
    if (ch == '@' || ch == '|') continue;
    if (quoted && (ch == ' ' || ch == '\t')) ch = '_';
    cleaned.push_back(ch);
  }
  size_t begin = cleaned.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  size_t end = cleaned.find_first_of(" \t", begin);
  std::string word = cleaned.substr(begin, end == std::string::npos ? end : end - begin);
  return CommandName(std::move(word));
}

// The show format's list, then the Unix shells and commands that change or remove files,
// users or processes.
constexpr std::string_view kProhibited[] = {
    ">",     "at",     "attrib",  "call",  "cmd",     "command",  "copy",     "del",    "deltree",
    "erase", "for",    "format",  "fdisk", "runonce", "move",     "net",      "runas",  "net1",
    "ren",   "rename", "replace", "rmdir", "rd",      "recover",  "regedit",  "rundll", "qstart",
    "start", "sys",    "type",    "xcopy", "regsrv",  "regedt32", "regsvr32", "rcp",    "ftp",
    "tftp",  "sh",     "bash",    "dash",  "zsh",     "su",       "sudo",     "rm",     "mv",
    "cp",    "dd",     "mkfs",    "chmod", "chown",   "kill",     "env",      "xargs",  "nohup"};

constexpr std::string_view kShellSyntax[] = {">", "|", ";", "`", "$("};
}  // namespace

std::vector<std::string> SplitCommandList(std::string_view text) {
  std::vector<std::string> parts;
  std::string current;
  bool quoted = false;
  for (char ch : text) {
    if (ch == '"') quoted = !quoted;
    if (ch == ',' && !quoted) {
      parts.push_back(Trim(current));
      current.clear();
      continue;
    }
    current.push_back(ch);
  }
  parts.push_back(Trim(current));
  return parts;
}

bool IsCommandAllowed(std::string_view part) {
  for (std::string_view syntax : kShellSyntax)
    if (part.find(syntax) != std::string_view::npos) return false;
  auto prohibited = [](const std::string& name) {
    return std::find(std::begin(kProhibited), std::end(kProhibited), name) != std::end(kProhibited);
  };
  // The first word joins a quoted program to the text right after it ("rm"-rf reads as
  // "rm-rf"), while the launch ends the program at the quote: check what will be launched too.
  return !prohibited(FirstWord(part)) && !prohibited(CommandName(SplitCommandPart(part).program));
}

TCommandPart SplitCommandPart(std::string_view part) {
  std::string_view program, parameters;
  if (!part.empty() && part[0] == '"') {
    size_t close = part.find('"', 1);
    if (close == std::string_view::npos) {
      program = part;
    } else {
      program = part.substr(0, close + 1);
      parameters = part.substr(close + 1);
    }
  } else {
    size_t space = part.find(' ');
    program = part.substr(0, space);
    if (space != std::string_view::npos) parameters = part.substr(space + 1);
  }
  return {Trim(WithoutQuotes(program)), Trim(parameters)};
}

namespace {
std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int LaunchPart(const TCommandPart& part, const std::string& defaultFolder,
               platform::ILauncher& launcher) {
  std::string program = container::ShowNameToPath(part.program);
  // Parameters are split as a program would split its own command line, so quoted
  // arguments stay whole; nothing goes through a shell.
  std::vector<std::string> args = TokenizeCommandLine(part.parameters);
  int result = launcher.Launch(program, args, defaultFolder);
  bool notFound =
      result == platform::kLaunchFileNotFound || result == platform::kLaunchPathNotFound;
  if (notFound && args.empty()) {
    result = launcher.Launch(FileNameOf(program), args, defaultFolder);
    notFound = result == platform::kLaunchFileNotFound || result == platform::kLaunchPathNotFound;
    if (notFound) result = launcher.Launch(defaultFolder + "/" + program, args, defaultFolder);
  }
  return result;
}
}  // namespace

bool RunCommandList(std::string_view text, const std::string& defaultFolder,
                    const TLaunchContext& context) {
  std::vector<std::string> parts = SplitCommandList(text);
  for (const std::string& part : parts) {
    if (!IsCommandAllowed(part)) {
      TLogLine("Prohibited command: ").Add(part);
      context.messages.ShowMessage("", kProhibitedCommandText, platform::TMessageIcon::None);
      return false;
    }
  }
  bool allLaunched = true;
  for (const std::string& part : parts) {
    TCommandPart split = SplitCommandPart(part);
    if (split.program.empty()) continue;
    bool wasTopMost = context.window && context.window->IsTopMost();
    if (wasTopMost) context.window->SetTopMost(false);
    int result = LaunchPart(split, defaultFolder, context.launcher);
    if (result <= 32) {
      allLaunched = false;
      if (wasTopMost) context.window->SetTopMost(true);
      TLogLine("Launch failed: ").Add(split.program).Add(" (").Int(result).Add(")");
    }
  }
  return allLaunched;
}

}  // namespace dax::app
