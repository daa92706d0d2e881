#include "container/MappedFileSource.h"

#include <set>

#include "foundation/Log.h"
#include "foundation/Numbers.h"
#include "foundation/Strings.h"
#include "ini/IniParser.h"

namespace dax::container {
namespace {
std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}
}  // namespace

std::vector<std::string> FileMapLines(std::string_view documentBytes) {
  std::vector<std::string> lines;
  const std::string text = ini::DecodeIniBytes(documentBytes);
  ini::TIniParserParams p(text);
  bool inMap = false;
  int objectDepth = 0;  // lines inside an object block are not the section's own
  while (!p.AtEnd()) {
    switch (ini::ReadIniLine(p)) {
      case ini::TIniLineKind::Section:
        inMap = ini::SameIniName(p.Name(), kFileMapSection);
        objectDepth = 0;
        break;
      case ini::TIniLineKind::Object:
        if (inMap) ++objectDepth;
        break;
      case ini::TIniLineKind::End:
        if (inMap && objectDepth > 0) --objectDepth;
        break;
      case ini::TIniLineKind::Key:
        if (inMap && objectDepth == 0)
          lines.emplace_back(text, p.nameStart, p.valueStart + p.valueLength - p.nameStart);
        break;
      case ini::TIniLineKind::Text:
        if (inMap && objectDepth == 0 && p.valueLength > 0) lines.emplace_back(p.Value());
        break;
    }
  }
  return lines;
}

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

void TMappedFileSource::LoadMaps(const ini::TIniFile& document, std::string_view documentBytes) {
  if (document.FindSection(kFileMapSection)) {
    for (const std::string& line : FileMapLines(documentBytes)) AddFileMapLine(line);
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

std::unique_ptr<TStream> TMappedFileSource::DoOpenRawStream(
    const std::string& name, std::unique_lock<std::mutex>& openLock) {
  std::string current = name;
  std::set<std::string> seen;
  for (int depth = 0;; ++depth) {
    std::optional<std::string> target = MappedName(current);
    if (!target) return OpenUnmapped(current, openLock);
    if (depth >= kMaxFileMapDepth || !seen.insert(FoldUtf8(current)).second) {
      TLogLine("FileMap loop at: ").Add(name);
      return nullptr;
    }
    current = *target;
  }
}

std::unique_ptr<TStream> TMappedFileSource::OpenUnmapped(const std::string& name,
                                                         std::unique_lock<std::mutex>&) {
  return OpenDiskName(name, rootFolder_);
}

TPackedFileSource::TPackedFileSource(std::shared_ptr<TDaxUnpack> unpack)
    : unpack_(std::move(unpack)) {}

std::unique_ptr<TStream> TPackedFileSource::OpenUnmapped(const std::string& name,
                                                         std::unique_lock<std::mutex>& openLock) {
  openLock.unlock();
  return unpack_->OpenEntry(name);
}

}  // namespace dax::container
