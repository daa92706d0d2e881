#include "container/MappedFileSource.h"

#include <set>

#include "foundation/Log.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"

namespace dax::container {
namespace {
std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// The line as it was written: key lines come back as name=value.
std::string LineText(const ini::TIniItem& item) {
  if (item.HasName()) return item.Name() + "=" + item.Value();
  return item.Value();
}
}  // namespace

std::optional<std::pair<std::string, std::string>> SplitFileMapLine(std::string_view line) {
  line = TrimBlanks(line);
  if (!line.empty() && line.front() == ';') line.remove_prefix(1);
  bool quoted = false;
  size_t split = std::string_view::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == '=' && !quoted) {
      split = i;
      break;
    }
  }
  if (split == std::string_view::npos) return std::nullopt;
  std::string_view left = Unquote(TrimBlanks(line.substr(0, split)));
  std::string_view right = Unquote(TrimBlanks(line.substr(split + 1)));
  if (left.empty() || right.empty()) return std::nullopt;
  return std::make_pair(std::string(left), std::string(right));
}

TMappedFileSource::TMappedFileSource(std::string rootFolder) : rootFolder_(std::move(rootFolder)) {}

void TMappedFileSource::AddFileMapLine(std::string_view line) {
  if (auto pair = SplitFileMapLine(line))
    fileMap_.FindOrAdd(FoldUtf8(pair->first)).push_back({std::move(pair->second)});
}

void TMappedFileSource::AddRotationLine(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line[0] != ';' || line[1] != '"') return;
  size_t close = line.find("\"=", 2);
  if (close == std::string_view::npos) return;
  std::string_view name = line.substr(2, close - 2);
  std::optional<int64_t> n = ParseInt64(TrimBlanks(line.substr(close + 2)));
  if (name.empty() || !n || (*n != 1 && *n != 3 && *n != 6 && *n != 8)) return;
  rotation_->FindOrAdd(FoldUtf8(name)) = static_cast<int>(*n);
}

void TMappedFileSource::LoadMaps(const ini::TIniFile& document) {
  if (const ini::TIniSection* map = document.FindSection(kFileMapSection)) {
    for (int i = 0; i < map->Count(); ++i) {
      const ini::TIniItem* item = map->Item(i);
      if (item->Kind() == ini::TIniItemKind::Item) AddFileMapLine(LineText(*item));
    }
  }
  if (const ini::TIniSection* rotation = document.FindSection(kRotationStateSection)) {
    for (int i = 0; i < rotation->Count(); ++i) {
      const ini::TIniItem* item = rotation->Item(i);
      if (item->Kind() == ini::TIniItemKind::Item && !item->HasName())
        AddRotationLine(item->Value());
    }
  }
  if (rotation_->Count() > 0) {
    SetOrientationProvider(
        [map = std::shared_ptr<const THashList<int>>(rotation_)](const std::string& name) {
          const int* n = map->Find(FoldUtf8(name));
          return n ? *n : 1;
        });
  }
}

std::optional<std::string> TMappedFileSource::MappedName(const std::string& name) const {
  const std::vector<TMappingStr>* targets = fileMap_.Find(FoldUtf8(name));
  if (!targets || targets->empty()) return std::nullopt;
  return targets->front().target;
}

int TMappedFileSource::RotationOf(const std::string& name) const {
  const int* n = rotation_->Find(FoldUtf8(name));
  return n ? *n : 1;
}

std::unique_ptr<TStream> TMappedFileSource::DoOpenRawStream(const std::string& name) {
  std::string current = name;
  std::set<std::string> seen;
  for (int depth = 0;; ++depth) {
    std::optional<std::string> target = MappedName(current);
    if (!target) return OpenUnmapped(current);
    if (depth >= kMaxFileMapDepth || !seen.insert(FoldUtf8(current)).second) {
      TLogLine("FileMap loop at: ").Add(name);
      return nullptr;
    }
    current = *target;
  }
}

std::unique_ptr<TStream> TMappedFileSource::OpenUnmapped(const std::string& name) {
  return OpenDiskName(name, rootFolder_);
}

TPackedFileSource::TPackedFileSource(std::shared_ptr<TDaxUnpack> unpack)
    : unpack_(std::move(unpack)) {}

std::unique_ptr<TStream> TPackedFileSource::OpenUnmapped(const std::string& name) {
  return unpack_->OpenEntry(name);
}

}  // namespace dax::container
