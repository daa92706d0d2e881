// daxpack pack, list, cat and extract: the writer and the reader are the player's own
// container code, so what is packed here is what the player reads.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "container/DaxUnpack.h"
#include "container/ShowPacker.h"
#include "container/ShowPath.h"
#include "foundation/Numbers.h"

namespace dax::daxpack {
namespace {
using namespace dax::container;

constexpr char kCannotLoadShow[] = "Can`t Load Show";

// The player's texts break lines with "\r" for its message box; on a terminal that would
// overwrite the line, so it becomes "\n".
int Fail(std::string text) {
  for (char& c : text)
    if (c == '\r') c = '\n';
  std::fprintf(stderr, "%s\n", text.c_str());
  return 1;
}

int Usage(const char* usage) {
  std::fprintf(stderr, "usage: %s\n", usage);
  return 2;
}

// Opens a show for reading; prints the player's error text when it cannot.
bool OpenShow(const std::string& path, std::unique_ptr<TDaxUnpack>& unpack) {
  unpack = std::make_unique<TDaxUnpack>(path);
  if (unpack->Usable()) return true;
  std::string text = unpack->ErrorText().empty() ? kCannotLoadShow : unpack->ErrorText();
  Fail(text + "\n\"" + path + "\"");
  return false;
}

std::string DefaultOutput(const std::string& source, const std::string& appendTo) {
  std::string trimmed = source;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::string folder = FolderOf(trimmed);
  std::string stem = FileNamePart(trimmed);
  struct stat st;
  if (::stat(trimmed.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    if (size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.erase(dot);
  }
  if (!appendTo.empty()) return folder + stem + "-" + FileNamePart(appendTo);
  return folder + stem + ".dxshow";
}

constexpr char kPackUsage[] =
    "pack [-o OUT] [--method stored|deflate|xor] [--append-to EXE] [--allow-modify] SOURCE";

int Pack(const std::vector<std::string>& args) {
  TPackOptions options;
  std::string out, source;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "-o" && hasValue) {
      out = args[++i];
    } else if (a == "--method" && hasValue) {
      std::optional<TPackMethod> method = ParsePackMethod(args[++i]);
      if (!method) return Usage(kPackUsage);
      options.method = *method;
    } else if (a == "--append-to" && hasValue) {
      options.appendTo = args[++i];
    } else if (a == "--allow-modify") {
      options.allowModify = true;
    } else if (!a.empty() && a[0] != '-' && source.empty()) {
      source = a;
    } else {
      return Usage(kPackUsage);
    }
  }
  if (source.empty()) return Usage(kPackUsage);
  if (out.empty()) out = DefaultOutput(source, options.appendTo);
  std::string error;
  std::optional<TPackInput> input = CollectPackInput(source, error);
  if (!input) return Fail(error);
  for (const std::string& w : input->warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
  std::vector<std::string> notes;
  error = WritePackedShow(*input, options, out, &notes);
  for (const std::string& n : notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  if (!error.empty()) return Fail(error);
  std::printf("%s: %zu entries\n", out.c_str(), input->files.size() + 1);
  return 0;
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("list SHOW");
  std::unique_ptr<TDaxUnpack> unpack;
  if (!OpenShow(args[0], unpack)) return 1;
  for (const TEntryInfo& e : unpack->Entries()) {
    std::printf("%s\t%s\t%s\t%s%s\n", e.name.c_str(), PackMethodName(e.method),
                FormatInt(e.size).c_str(), FormatInt(e.position).c_str(),
                e.valid ? "" : "\t(damaged)");
  }
  return 0;
}

int Cat(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("cat SHOW NAME");
  std::unique_ptr<TDaxUnpack> unpack;
  if (!OpenShow(args[0], unpack)) return 1;
  std::unique_ptr<TStream> data = unpack->OpenEntry(args[1], false);
  if (!data) return Fail("entry not found or damaged: \"" + args[1] + "\"");
  std::vector<char> buf(256 * 1024);
  for (;;) {
    size_t n = data->Read(buf.data(), buf.size());
    if (n == 0) break;
    if (std::fwrite(buf.data(), 1, n, stdout) != n) return Fail("write error");
  }
  return std::fflush(stdout) == 0 ? 0 : Fail("write error");
}

int Extract(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("extract SHOW DIR");
  std::unique_ptr<TDaxUnpack> unpack;
  if (!OpenShow(args[0], unpack)) return 1;
  std::vector<std::string> problems;
  int written = ExtractShow(*unpack, args[1], problems);
  for (const std::string& p : problems) std::fprintf(stderr, "%s\n", p.c_str());
  std::printf("%d entries extracted to %s\n", written, args[1].c_str());
  return problems.empty() ? 0 : 1;
}
}  // namespace

DAXPACK_COMMAND("pack", kPackUsage, Pack);
DAXPACK_COMMAND("list", "list SHOW  (name, method, stored size, position)", List);
DAXPACK_COMMAND("cat", "cat SHOW NAME  (the entry's bytes on stdout)", Cat);
DAXPACK_COMMAND("extract", "extract SHOW DIR", Extract);

}  // namespace dax::daxpack
