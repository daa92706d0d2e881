#include "container/DaxUnpack.h"

#include <sys/stat.h>

#include <exception>

#include "container/CryptStream.h"
#include "container/InflateStream.h"
#include "container/PartialStream.h"
#include "foundation/Log.h"
#include "foundation/Numbers.h"
#include "foundation/Progress.h"
#include "foundation/Strings.h"

namespace dax::container {
namespace {
std::unique_ptr<TStream> OpenForReading(const std::string& fileName) {
  // Opening a FIFO would wait for a writer, and a device or folder holds no show.
  struct stat st;
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  try {
    auto file = std::make_unique<TFileStream>(fileName, TFileMode::Read);
    if (::fstat(file->Handle(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    return file;
  } catch (const std::exception&) {
    return nullptr;
  }
}
}  // namespace

const ini::TIniSection* TUnpackStruc::FindEntrySection(const std::string& name) const {
  // The empty name would find the document root.
  if (name.empty()) return nullptr;
  return document_->FindSection(EncodeEntryName(name));
}

TDaxUnpack::TDaxUnpack(const std::string& fileName)
    : TDaxUnpack(fileName, [fileName] { return OpenForReading(fileName); }) {}

TDaxUnpack::TDaxUnpack(const std::string& fileName, TStreamOpener opener)
    : fileName_(fileName), opener_(std::move(opener)) {
  try {
    Open();
  } catch (const std::exception&) {
    // Whatever the file holds, a failed read is a damaged container, never an escape.
    errorText_ = kErrorFileDamaged;
    Close();
  }
}

TDaxUnpack::~TDaxUnpack() = default;

void TDaxUnpack::Close() {
  directory_.reset();
  file_.reset();
}

void TDaxUnpack::Open() {
  file_ = opener_ ? opener_() : nullptr;
  if (!file_) {
    errorText_ = kErrorFileNotFound;
    return;
  }
  TTrailerStatus status = ReadTrailer(*file_, trailer_);
  if (status != TTrailerStatus::Ok) {
    if (status == TTrailerStatus::Damaged) errorText_ = kErrorFileDamaged;
    Close();
    return;
  }
  const int64_t directoryPos = trailer_.directoryPos;
  TPartialStream window(file_.get(), false, directoryPos, trailer_.end - 12 - directoryPos);
  std::unique_ptr<TByteBlockStream> text;
  try {
    text = InflateToMemory(window, kMaxDirectorySize, window.Size() * 8);
  } catch (const EZDecompressionError&) {
    errorText_ = kErrorFileDamaged;
    Close();
    return;
  }
  auto document = MakeRef<ini::TIniFile>();
  if (!document->LoadFromStream(*text)) {
    errorText_ = kErrorFileDamaged;
    Close();
    return;
  }
  document->BuildTables();
  directory_ = std::make_unique<TUnpackStruc>(document);

  const ini::TIniSection* protection = document->FindSection(kProtectionSection);
  const ini::TIniItem* strucPos = protection ? protection->FindKey(kKeyStrucPos) : nullptr;
  if (strucPos) {
    // Compared as 64-bit numbers: text of the low 32 bits would misjudge large files.
    std::optional<int64_t> written = ParseInt64(strucPos->Value());
    if (!written || *written != directoryPos) {
      if (!protection->ReadBool(kKeyAllowModify, false)) {
        errorText_ = kErrorFileModified;
        Close();
        return;
      }
      if (!written || *written < 0 || *written > directoryPos) {
        errorText_ = kErrorFileDamaged;
        Close();
        return;
      }
      correction_ = directoryPos - *written;
    }
  }
  version_ = protection ? protection->ReadString(kKeyDaxVersion, "") : std::string();
}

TEntryInfo TDaxUnpack::Describe(const std::string& name, const ini::TIniSection& section) const {
  TEntryInfo info;
  info.name = name;
  int64_t rawPos = ini::AsInt64(section.FindKey(kKeyPosition), -1);
  info.size = ini::AsInt64(section.FindKey(kKeySize), -1);
  int method = ini::AsInteger(section.FindKey(kKeyMethod), 0);
  bool methodOk = method >= 0 && method <= 2;
  info.method = methodOk ? static_cast<TPackMethod>(method) : TPackMethod::Stored;
  int64_t position = 0;
  bool posOk = !__builtin_add_overflow(rawPos, correction_, &position);
  info.position = posOk ? position : -1;
  // Entry data lies before the directory.
  int64_t limit = trailer_.directoryPos;
  info.valid = methodOk && posOk && rawPos >= 0 && position >= 0 && info.size >= 0 &&
               position <= limit && info.size <= limit - position;
  return info;
}

std::optional<TEntryInfo> TDaxUnpack::FindEntry(const std::string& name) const {
  if (!directory_) return std::nullopt;
  const ini::TIniSection* section = directory_->FindEntrySection(name);
  if (!section || !section->FindKey(kKeyPosition) || !section->FindKey(kKeySize))
    return std::nullopt;
  return Describe(name, *section);
}

std::vector<TEntryInfo> TDaxUnpack::Entries() const {
  std::vector<TEntryInfo> out;
  if (!directory_) return out;
  for (const ini::TIniSection* section : directory_->Document().Sections()) {
    if (SameText(section->Name(), kProtectionSection)) continue;
    if (!section->FindKey(kKeyPosition) || !section->FindKey(kKeySize)) continue;
    out.push_back(Describe(DecodeEntryName(section->Name()), *section));
  }
  return out;
}

std::unique_ptr<TStream> TDaxUnpack::OpenEntry(const std::string& name, bool withProgress) const {
  std::optional<TEntryInfo> info = FindEntry(name);
  if (!info) return nullptr;
  return OpenInfo(*info, withProgress);
}

std::unique_ptr<TStream> TDaxUnpack::OpenInfo(const TEntryInfo& info, bool withProgress) const {
  if (!Usable() || !info.valid) return nullptr;
  try {
    std::unique_ptr<TStream> handle = opener_();
    if (!handle) return nullptr;
    auto window = std::make_unique<TPartialStream>(std::move(handle), info.position, info.size);
    switch (info.method) {
      case TPackMethod::Deflate: {
        std::unique_ptr<TByteBlockStream> data;
        try {
          data = InflateToMemory(*window, InflatedEntryLimit(), info.size * 4);
        } catch (const EInflateLimitExceeded&) {
          TLogLine("Packed entry exceeds the inflated size limit: ").Add(info.name);
          return nullptr;
        }
        window.reset();
        auto whole = std::make_unique<TPartialStream>(std::move(data));
        if (withProgress) whole->SetProgressHook(&LoadProgress, TPartialStream::kDefaultChunk);
        return whole;
      }
      case TPackMethod::Xor:
        if (withProgress) window->SetProgressHook(&LoadProgress, TPartialStream::kDefaultChunk);
        return std::make_unique<TCryptStream>(std::move(window), key_);
      case TPackMethod::Stored:
        if (withProgress) window->SetProgressHook(&LoadProgress, TPartialStream::kDefaultChunk);
        return window;
    }
  } catch (const std::exception& e) {
    TLogLine("Packed entry cannot be read: ").Add(info.name).Add(" (").Add(e.what()).Add(")");
  }
  return nullptr;
}

bool ReadContainerVersion(const std::string& fileName, std::string& version) {
  TDaxUnpack unpack(fileName);
  if (!unpack.Usable()) return false;
  version = unpack.Version();
  return true;
}

}  // namespace dax::container
