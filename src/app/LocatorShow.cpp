#include "app/LocatorShow.h"

#include <limits>

#include "container/DaxUnpack.h"
#include "foundation/Log.h"
#include "foundation/Strings.h"
#include "image/PictureExport.h"
#include "show/DaxSource.h"

namespace dax::app {

namespace {
// Entries larger than this are not read whole (the print path reads pictures only).
constexpr int64_t kMaxEntryBytes = 512LL * 1024 * 1024;
}  // namespace

TLocatorShow::TLocatorShow(std::unique_ptr<container::TDaxShowLocator> locator)
    : locator_(std::move(locator)) {
  // A document whose timeline is inconsistent ("Incorrect time") fails the open; the
  // opener turns the error into the player's message.
  try {
    source_ = locator_->SourceAs<show::TDaxSource>();
  } catch (const std::exception& e) {
    sourceError_ = e.what();
    TLogLine("Show source failed: ").Add(sourceError_);
  }
}

bool TLocatorShow::IsScreenSaver() const {
  return source_ && source_->ScreenSaverMode();
}

std::string TLocatorShow::EndAction() const {
  if (!source_) return "repeat";
  switch (source_->EndMode()) {
    case show::TEndMode::Close:
      return "close";
    case show::TEndMode::Stop:
      return "stop";
    default:
      return "repeat";
  }
}

std::string TLocatorShow::ReadString(const std::string& section, const std::string& key,
                                     const std::string& fallback) const {
  ini::TIniFile* document = locator_->Document();
  return document ? document->ReadString(section, key, fallback) : fallback;
}

int64_t TLocatorShow::ReadInteger(const std::string& section, const std::string& key,
                                  int64_t fallback) const {
  ini::TIniFile* document = locator_->Document();
  return document ? document->ReadInt64(section, key, fallback) : fallback;
}

bool TLocatorShow::ReadBool(const std::string& section, const std::string& key,
                            bool fallback) const {
  ini::TIniFile* document = locator_->Document();
  return document ? document->ReadBool(section, key, fallback) : fallback;
}

bool TLocatorShow::HasEntry(const std::string& name) const {
  return locator_->Accessor().OpenStream(name) != nullptr;
}

std::optional<std::string> TLocatorShow::ReadEntry(const std::string& name) const {
  std::unique_ptr<TStream> stream = locator_->Accessor().OpenStream(name);
  if (!stream) return std::nullopt;
  try {
    int64_t size = stream->Size();
    if (size < 0 || size > kMaxEntryBytes) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
      size_t got = stream->Read(bytes.data() + done, bytes.size() - done);
      if (got == 0) break;
      done += got;
    }
    bytes.resize(done);
    return bytes;
  } catch (const std::exception& e) {
    TLogLine("Read entry failed: ").Add(name).Add(" (").Add(e.what()).Add(")");
    return std::nullopt;
  }
}

std::shared_ptr<const TBitmap> TLocatorShow::DecodePicture(const std::string& name) const {
  image::TPreparedPicture picture = image::PreparePicture(*locator_, name, 0, 0);
  if (!picture.bitmap) TLogLine("Picture not decoded: ").Add(picture.error);
  return picture.bitmap;
}

int TLocatorShow::SlideCount() const {
  return source_ ? source_->SlideCount() : 0;
}

int TLocatorShow::SlideAtTime(double timeMs) const {
  if (!source_) return 0;
  int64_t slide = source_->SlideAtTime(timeMs);
  if (slide > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return slide < 0 ? 0 : static_cast<int>(slide);
}

int TLocatorShow::FindSlideByName(const std::string& name) const {
  if (!source_) return -1;
  const auto& slides = source_->SlideList().Items();
  for (size_t i = 0; i < slides.size(); ++i)
    if (SameText(slides[i].slideId, name)) return static_cast<int>(i);
  return -1;
}

double TLocatorShow::SlideStartTime(int slide) const {
  return source_ ? static_cast<double>(source_->SlideStartTime(slide)) : 0;
}

double TLocatorShow::NextSlideTime(double timeMs, bool paused) const {
  return source_ ? static_cast<double>(source_->NextSlideTime(timeMs, paused)) : timeMs;
}

double TLocatorShow::PrevSlideTime(double timeMs) const {
  return source_ ? static_cast<double>(source_->PrevSlideTime(timeMs)) : 0;
}

namespace {
TOpenResult OpenedShow(std::unique_ptr<container::TDaxShowLocator> locator) {
  auto show = std::make_unique<TLocatorShow>(std::move(locator));
  if (!show->SourceError().empty()) return {nullptr, show->SourceError()};
  return {std::move(show), {}};
}
}  // namespace

TOpenResult TLocatorShowOpener::OpenPacked(const std::string& path) {
  container::TOpenShowResult result = container::OpenPackedShow(path);
  if (!result.locator) return {nullptr, result.errorText};
  return OpenedShow(std::move(result.locator));
}

TOpenResult TLocatorShowOpener::OpenProject(const std::string& path) {
  auto locator = container::OpenProjectFile(path);
  if (!locator) return {};
  return OpenedShow(std::move(locator));
}

std::optional<std::string> TLocatorShowOpener::ReadContainerVersion(const std::string& path) {
  std::string version;
  if (!container::ReadContainerVersion(path, version)) return std::nullopt;
  return version;
}

}  // namespace dax::app
