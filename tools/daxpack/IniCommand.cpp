// daxpack ini: prints a document in its canonical form, as value text, or one value of it.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "ini/IniFile.h"

namespace dax::daxpack {
namespace {

using ini::TIniFile;
using ini::TIniItem;

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

// The value converted as the typed readers convert, in its written form; nullopt when it
// does not convert.
std::optional<std::string> Convert(const TIniItem& item, const std::string& as) {
  const std::string& value = item.Value();
  if (as == "string") return value;
  if (as == "int") {
    if (auto v = ini::ParseIniInteger(value)) return ini::FormatIniInteger(*v);
  } else if (as == "int64") {
    if (auto v = ini::ParseIniInt64(value)) return ini::FormatIniInteger(*v);
  } else if (as == "float") {
    if (auto v = ini::ParseIniFloat(value)) return ini::FormatIniFloat(*v);
  } else if (as == "bool") {
    if (auto v = ini::ParseIniBool(value)) return std::string(ini::FormatIniBool(*v));
  }
  return std::nullopt;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "daxpack ini: %s\n", message.c_str());
  return 1;
}

// Output is buffered, so a failed write (a full disk, a closed pipe) shows only here.
int Flushed() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return Fail("cannot write to standard output");
  return 0;
}

int RunIni(const std::vector<std::string>& args) {
  bool valueText = false;
  std::optional<std::string> path, def;
  std::string as = "string";
  std::optional<std::string> fileName;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--value-text") {
      valueText = true;
    } else if (arg == "--get" || arg == "--as" || arg == "--default") {
      if (i + 1 >= args.size()) return Fail(arg + " needs a value");
      const std::string& v = args[++i];
      if (arg == "--get") path = v;
      if (arg == "--as") as = v;
      if (arg == "--default") def = v;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Fail("unknown option \"" + arg + "\"");
    } else if (fileName) {
      return Fail("more than one file given");
    } else {
      fileName = arg;
    }
  }
  if (!fileName) return Fail("no file given");
  if (as != "string" && as != "int" && as != "int64" && as != "float" && as != "bool")
    return Fail("--as takes string, int, int64, float or bool, not \"" + as + "\"");
  if (valueText && path) return Fail("--value-text and --get do not combine");

  auto file = MakeRef<TIniFile>();
  if (!file->LoadFromFile(*fileName)) return Fail("cannot read \"" + *fileName + "\"");

  if (path) {
    const TIniItem* found = file->FindPath(*path);
    // A section or object holds values but is not one: it counts as missing.
    const TIniItem* item = found && found->Kind() == ini::TIniItemKind::Item ? found : nullptr;
    std::optional<std::string> text = item ? Convert(*item, as) : std::nullopt;
    if (!text) text = def;
    if (!text) {
      if (item) return Fail("\"" + *path + "\" does not convert to " + as);
      if (found) return Fail("\"" + *path + "\" names a section or object, not a value");
      return Fail("\"" + *path + "\" not found");
    }
    Print(*text + "\n");
  } else if (valueText) {
    Print(file->SaveToValueText() + "\n");
  } else {
    Print(file->SaveToBytes(true));
  }
  return Flushed();
}

}  // namespace

DAXPACK_COMMAND("ini",
                "ini [--value-text | --get PATH [--as string|int|int64|float|bool] "
                "[--default V]] FILE",
                RunIni);

}  // namespace dax::daxpack
