#include "image/ImageLoader.h"

#include <cstring>
#include <mutex>

#include "foundation/Log.h"
#include "foundation/Strings.h"
#include "image/ColorProfile.h"

namespace dax::image {
namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

struct TProfileReaderEntry {
  TProfileReaderFn reader;
  std::vector<std::string> extensions;
};

std::vector<TProfileReaderEntry>& ProfileReaders() {
  static std::vector<TProfileReaderEntry> entries;
  return entries;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

std::string NormaliseExtension(const std::string& extension) {
  size_t i = 0;
  while (i < extension.size() && (extension[i] == ' ' || extension[i] == '\t')) ++i;
  std::string e = extension.substr(i);
  if (!e.empty() && e[0] == '*') e.erase(0, 1);
  if (e.empty() || e[0] != '.') e.insert(0, ".");
  return Lower(e);
}

std::string ExtensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  return Lower(name.substr(dot));
}

void TImageLoaderRegistry::Register(TImageLoaderFn loader,
                                    const std::vector<std::string>& extensions) {
  TEntry entry{std::move(loader), {}};
  for (const std::string& e : extensions) entry.extensions.push_back(NormaliseExtension(e));
  std::lock_guard<std::mutex> guard(lock_);
  entries_.push_back(std::move(entry));
}

TImageLoaderRegistry& ImageLoaders() {
  static TImageLoaderRegistry* registry = new TImageLoaderRegistry;
  return *registry;
}

void RegisterImageLoader(TImageLoaderFn loader, const std::vector<std::string>& extensions) {
  ImageLoaders().Register(std::move(loader), extensions);
}

void RegisterProfileReader(TProfileReaderFn reader, const std::vector<std::string>& extensions) {
  TProfileReaderEntry entry{std::move(reader), {}};
  for (const std::string& e : extensions) entry.extensions.push_back(NormaliseExtension(e));
  std::lock_guard<std::mutex> guard(RegistryLock());
  ProfileReaders().push_back(std::move(entry));
}

TRef<TColorProfile> ReadEmbeddedProfile(TStream& stream, const std::string& name) {
  const std::string ext = ExtensionOf(name);
  std::vector<TProfileReaderEntry> entries;
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    entries = ProfileReaders();
  }
  for (const TProfileReaderEntry& entry : entries) {
    bool listed = false;
    for (const std::string& e : entry.extensions) listed = listed || e == ext;
    if (!listed) continue;
    try {
      const int64_t start = stream.Position();
      TRef<TColorProfile> profile = entry.reader(stream, name);
      stream.SetPosition(start);
      return profile;
    } catch (const std::exception&) {
      return nullptr;
    }
  }
  return nullptr;
}

std::vector<uint8_t> ReadRest(TStream& stream, int64_t limit) {
  int64_t size = stream.Size() - stream.Position();
  if (size <= 0 || size > limit) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t got = 0;
  while (got < bytes.size()) {
    size_t n = stream.Read(bytes.data() + got, bytes.size() - got);
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

TImage OpenImage(std::unique_ptr<TStream> stream, const std::string& name) {
  return ImageLoaders().Open(std::move(stream), name);
}

TImage TImageLoaderRegistry::Open(std::unique_ptr<TStream> owned, const std::string& name) const {
  if (!owned) return {};
  std::shared_ptr<TStream> stream(std::move(owned));
  std::string ext = ExtensionOf(name);
  int64_t start = 0;
  try {
    start = stream->Position();
    if (ext == ".bmp") {
      uint8_t head[8] = {};
      if (stream->Read(head, 8) == 8 && std::memcmp(head, kPngSignature, 8) == 0) ext = ".png";
      stream->SetPosition(start);
    }
  } catch (const std::exception&) {
    return {};
  }
  std::vector<TEntry> entries;
  {
    std::lock_guard<std::mutex> guard(lock_);
    entries = entries_;
  }
  TLoadRequest request{stream, start, name, ext};
  for (const TEntry& entry : entries) {
    if (!name.empty()) {
      bool listed = false;
      for (const std::string& e : entry.extensions) listed = listed || e == ext;
      if (!listed) continue;
    }
    try {
      if (TRef<TSysBitmapStore> store = entry.loader(request)) return TImage(std::move(store));
    } catch (const std::exception& e) {
      // A loader that fails while opening counts as declining.
      TLogLine("Image open failed: ").Add(name).Add(" ").Add(e.what());
    }
    try {
      stream->SetPosition(start);
    } catch (const std::exception&) {
      return {};
    }
  }
  return {};
}

TImage OpenImage(TStream& stream, const std::string& name) {
  constexpr int64_t kMaxCopy = int64_t{1} << 31;
  int64_t start = 0;
  try {
    start = stream.Position();
    auto copy = std::make_unique<TMemoryStream>(ReadRest(stream, kMaxCopy));
    stream.SetPosition(start);
    return OpenImage(std::move(copy), name);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace dax::image
