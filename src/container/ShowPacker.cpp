#include "container/ShowPacker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "container/InflateStream.h"
#include "container/MappedFileSource.h"
#include "container/ShowPath.h"
#include "foundation/Exceptions.h"
#include "foundation/Strings.h"
#include "ini/IniFile.h"

namespace dax::container {
namespace {
namespace fs = std::filesystem;
constexpr size_t kMaxNameLength = 4096;
constexpr char kDefaultVersion[] = "daxpack";

class TFdStream : public TStream {
 public:
  explicit TFdStream(int fd) : fd_(fd) {}
  ~TFdStream() override {
    if (fd_ >= 0) ::close(fd_);
  }
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void* buffer, size_t count) override {
    for (;;) {
      ssize_t n = ::write(fd_, buffer, count);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR)
        throw EStreamWriteError(std::string("write failed: ") + std::strerror(errno));
    }
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int whence = origin == TSeekOrigin::Begin     ? SEEK_SET
                 : origin == TSeekOrigin::Current ? SEEK_CUR
                                                  : SEEK_END;
    off_t pos = ::lseek(fd_, offset, whence);
    if (pos < 0) throw EStreamError("seek failed");
    return pos;
  }
  int Fd() const { return fd_; }

 private:
  int fd_;
};

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  try {
    TFileStream file(path, TFileMode::Read);
    return ini::TIniFile::ReadDocumentBytes(file, bytes);
  } catch (const std::exception&) {
    return false;
  }
}

void CollectValues(const ini::TIniList& list, std::vector<std::string>& values) {
  for (int i = 0; i < list.Count(); ++i) {
    const ini::TIniItem* item = list.Item(i);
    if (item->IsKind(ini::TIniItemKind::List)) {
      CollectValues(static_cast<const ini::TIniList&>(*item), values);
    } else if (!item->Value().empty()) {
      values.push_back(item->Value());
    }
  }
}

std::optional<TPackInput> CollectFromProject(const std::string& projectPath, std::string& error) {
  std::string bytes;
  auto document = MakeRef<ini::TIniFile>();
  if (!ReadWholeFile(projectPath, bytes)) {
    error = "Can`t Load .dax File\r\"" + projectPath + "\"";
    return std::nullopt;
  }
  document->LoadFromBytes(bytes);
  TPackInput input;
  input.documentPath = projectPath;
  std::string folder = FolderOf(projectPath);
  std::vector<std::string> values;
  CollectValues(*document, values);
  if (document->FindSection(kFileMapSection)) {
    for (const std::string& line : FileMapLines(bytes)) {
      if (auto pair = SplitFileMapLine(line)) values.push_back(pair->second);
    }
  }
  std::set<std::string> seen{FoldUtf8(kDocumentEntry)};
  std::error_code ec;
  fs::path projectCanonical = fs::weakly_canonical(projectPath, ec);
  std::set<std::string> refused;
  for (const std::string& value : values) {
    for (std::string name : {value, value.substr(0, value.find('|'))}) {
      if (name.empty() || name.size() > kMaxNameLength || refused.count(name)) continue;
      std::optional<std::string> path = ResolveShowFile(JoinPath(folder, ShowNameToPath(name)));
      if (!path || fs::weakly_canonical(*path, ec) == projectCanonical) continue;
      if (std::string problem = TContainerWriter::NameProblem(name); !problem.empty()) {
        refused.insert(name);
        input.warnings.push_back("skipped: " + problem);
        continue;
      }
      if (!seen.insert(FoldUtf8(EncodeEntryName(name))).second) continue;
      input.files.emplace_back(name, *path);
    }
  }
  return input;
}

std::optional<TPackInput> CollectFromFolder(const std::string& folder, std::string& error) {
  TPackInput input;
  std::optional<std::string> document = ResolveShowFile(JoinPath(folder, kDocumentEntry));
  if (!document) {
    error = "Can`t Load .dax File\r\"" + JoinPath(folder, kDocumentEntry) + "\"";
    return std::nullopt;
  }
  input.documentPath = *document;
  std::error_code ec;
  fs::path root = fs::path(folder);
  fs::path documentCanonical = fs::weakly_canonical(*document, ec);
  std::set<std::string> seen{FoldUtf8(kDocumentEntry)};
  std::vector<std::pair<std::string, std::string>> files;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    if (fs::weakly_canonical(it->path(), ec) == documentCanonical) continue;
    std::string relative = fs::relative(it->path(), root, ec).generic_string();
    std::string name;
    for (char c : relative) name += c == '/' ? '\\' : c;
    if (std::string problem = TContainerWriter::NameProblem(name); !problem.empty()) {
      input.warnings.push_back("skipped: " + problem);
      continue;
    }
    if (!seen.insert(FoldUtf8(EncodeEntryName(name))).second) {
      input.warnings.push_back("skipped (same name in another letter case): " + name);
      continue;
    }
    files.emplace_back(name, it->path().string());
  }
  if (ec) {
    error = "cannot read folder \"" + folder + "\": " + ec.message();
    return std::nullopt;
  }
  // Directory order is arbitrary; a sorted show packs the same every time.
  std::sort(files.begin(), files.end());
  input.files = std::move(files);
  return input;
}

bool MakeDirectoryChain(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens (creating) the folders of a relative path below rootFd without following links, and
// creates the file. Returns the file descriptor or -1 with the reason.
int CreateBelow(int rootFd, const std::string& relative, std::string& reason) {
  int dirFd = ::dup(rootFd);
  size_t pos = 0;
  for (;;) {
    size_t slash = relative.find('/', pos);
    if (slash == std::string::npos) break;
    std::string part = relative.substr(pos, slash - pos);
    pos = slash + 1;
    if (::mkdirat(dirFd, part.c_str(), 0755) != 0 && errno != EEXIST) {
      reason = std::strerror(errno);
      ::close(dirFd);
      return -1;
    }
    int next = ::openat(dirFd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ::close(dirFd);
    if (next < 0) {
      reason = errno == ELOOP || errno == ENOTDIR ? "a link or file is in the way"
                                                  : std::strerror(errno);
      return -1;
    }
    dirFd = next;
  }
  std::string file = relative.substr(pos);
  int fd =
      ::openat(dirFd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) reason = errno == ELOOP ? "a link is in the way" : std::strerror(errno);
  ::close(dirFd);
  return fd;
}
}  // namespace

std::optional<TPackInput> CollectPackInput(const std::string& source, std::string& error) {
  struct stat st;
  if (::stat(source.c_str(), &st) != 0) {
    error = "Slideshow File not Found\r\"" + source + "\"";
    return std::nullopt;
  }
  if (S_ISDIR(st.st_mode)) return CollectFromFolder(source, error);
  if (!S_ISREG(st.st_mode)) {
    // A FIFO or device would block the read or never end.
    error = "Can`t Load .dax File\r\"" + source + "\"";
    return std::nullopt;
  }
  return CollectFromProject(source, error);
}

TPackMethod EntryPackMethod(TPackMethod requested, int64_t size) {
  if (requested == TPackMethod::Deflate && size > InflatedEntryLimit()) return TPackMethod::Stored;
  return requested;
}

std::string WritePackedShow(const TPackInput& input, const TPackOptions& options,
                            const std::string& outPath, std::vector<std::string>* notes) {
  std::string tempPath = outPath + ".tmp" + std::to_string(::getpid());
  int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return "cannot create \"" + tempPath + "\": " + std::strerror(errno);
  std::string error;
  try {
    TFdStream out(fd);
    if (!options.appendTo.empty()) {
      TFileStream exe(options.appendTo, TFileMode::Read);
      out.CopyFrom(exe, 0);
    }
    auto document = MakeRef<ini::TIniFile>();
    document->LoadFromFile(input.documentPath);
    std::string version = document->ReadString("Main", "DaxVersion", "");
    TContainerWriter writer(out, !options.appendTo.empty());
    auto add = [&](const std::string& name, const std::string& path) {
      TFileStream data(path, TFileMode::Read);
      TPackMethod method = EntryPackMethod(options.method, data.Size());
      if (method != options.method && notes) {
        notes->push_back("stored, too large to deflate: " + name);
      }
      writer.AddEntry(name, data, method);
    };
    add(kDocumentEntry, input.documentPath);
    for (const auto& [name, path] : input.files) add(name, path);
    writer.Finish(options.allowModify, version.empty() ? kDefaultVersion : version);
    if (::fchmod(out.Fd(), options.appendTo.empty() ? 0644 : 0755) != 0) {
      error = std::string("cannot set the file mode: ") + std::strerror(errno);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (error.empty() && ::rename(tempPath.c_str(), outPath.c_str()) != 0) {
    error = "cannot write \"" + outPath + "\": " + std::strerror(errno);
  }
  if (!error.empty()) ::unlink(tempPath.c_str());
  return error;
}

std::string SafeExtractPath(std::string_view entryName) {
  std::string out;
  size_t pos = 0;
  bool first = true;
  while (pos <= entryName.size()) {
    size_t sep = entryName.find_first_of("/\\", pos);
    if (sep == std::string_view::npos) sep = entryName.size();
    std::string part(entryName.substr(pos, sep - pos));
    pos = sep + 1;
    // "C:" and "C:name" of Windows paths.
    if (first && part.size() >= 2 && part[1] == ':' &&
        std::isalpha(static_cast<unsigned char>(part[0])))
      part.erase(0, 2);
    first = false;
    if (part.empty() || part == "." || part == "..") continue;
    for (char& c : part)
      if (static_cast<unsigned char>(c) < 32) c = '_';
    if (!out.empty()) out += '/';
    out += part;
  }
  return out;
}

int ExtractShow(const TDaxUnpack& unpack, const std::string& folder,
                std::vector<std::string>& problems) {
  if (!MakeDirectoryChain(folder)) {
    problems.push_back("cannot create folder \"" + folder + "\"");
    return 0;
  }
  int rootFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) {
    problems.push_back("cannot open folder \"" + folder + "\"");
    return 0;
  }
  int written = 0;
  std::set<std::string> used;
  for (const TEntryInfo& info : unpack.Entries()) {
    std::string relative = SafeExtractPath(info.name);
    if (relative.empty()) {
      problems.push_back("no safe name for entry \"" + info.name + "\"");
      continue;
    }
    if (!used.insert(relative).second) {
      problems.push_back("entry \"" + info.name + "\" would overwrite \"" + relative + "\"");
      continue;
    }
    std::unique_ptr<TStream> data = unpack.OpenEntry(info.name, false);
    if (!data) {
      problems.push_back("entry \"" + info.name + "\" cannot be read");
      continue;
    }
    std::string reason;
    int fd = CreateBelow(rootFd, relative, reason);
    if (fd < 0) {
      problems.push_back("cannot write \"" + relative + "\": " + reason);
      continue;
    }
    try {
      TFdStream out(fd);
      data->SetPosition(0);
      out.CopyFrom(*data, 0);
      ++written;
    } catch (const std::exception& e) {
      problems.push_back("cannot write \"" + relative + "\": " + e.what());
    }
  }
  ::close(rootFd);
  return written;
}

}  // namespace dax::container
