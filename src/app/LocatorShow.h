// The main window's view of a show opened by the container library, with its slide timeline
// from the parsed show.
#pragma once

#include <memory>
#include <string>

#include "app/ShowInterfaces.h"
#include "container/ShowLocator.h"

namespace dax::show {
class TDaxSource;
}

namespace dax::app {

class TLocatorShow : public IOpenShow {
 public:
  explicit TLocatorShow(std::unique_ptr<container::TDaxShowLocator> locator);

  container::TDaxShowLocator& Locator() const { return *locator_; }
  // Null when the document could not be turned into a show.
  show::TDaxSource* Source() const { return source_; }
  // The error that kept the document from becoming a show ("Incorrect time"), or empty.
  const std::string& SourceError() const { return sourceError_; }

  bool IsPacked() const override { return locator_->Packed(); }
  std::string Version() const override { return locator_->Version(); }
  bool IsScreenSaver() const override;
  std::string EndAction() const override;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const override;
  int64_t ReadInteger(const std::string& section, const std::string& key,
                      int64_t fallback) const override;
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const override;
  bool HasEntry(const std::string& name) const override;
  std::optional<std::string> ReadEntry(const std::string& name) const override;
  std::shared_ptr<const TBitmap> DecodePicture(const std::string& name) const override;
  int SlideCount() const override;
  int SlideAtTime(double timeMs) const override;
  int FindSlideByName(const std::string& name) const override;
  double SlideStartTime(int slide) const override;
  double NextSlideTime(double timeMs, bool paused) const override;
  double PrevSlideTime(double timeMs) const override;

 private:
  std::unique_ptr<container::TDaxShowLocator> locator_;
  show::TDaxSource* source_ = nullptr;
  std::string sourceError_;
};

class TLocatorShowOpener : public IShowOpener {
 public:
  TOpenResult OpenPacked(const std::string& path) override;
  TOpenResult OpenProject(const std::string& path) override;
  std::optional<std::string> ReadContainerVersion(const std::string& path) override;
};

}  // namespace dax::app
