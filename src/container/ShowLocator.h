// An opened show: a packed container or a project file on disk, with its file accessor, its
// show document and (on demand) the parsed show built by the show library.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "container/DaxUnpack.h"
#include "container/FileAccessor.h"
#include "foundation/RefObject.h"
#include "ini/IniFile.h"

namespace dax::container {

class TDaxShowLocator;

// Builds the parsed show from a locator (registered by the show library at start-up).
using TShowSourceFactory = std::function<TRef<TRefObject>(TDaxShowLocator& locator)>;
void SetShowSourceFactory(TShowSourceFactory factory);

// Colour set-up of every opened show, given Main/"ColorManagement" (registered by the image
// library at start-up; nothing happens while none is set).
using TColorSetupHook =
    std::function<void(TDaxShowLocator& locator, const std::string& colorManagement)>;
void SetColorSetupHook(TColorSetupHook hook);

// (future executable name, project file path): opening the first as a packed show opens the
// second as a project file instead.
struct TReplacePair {
  std::string exeName;
  std::string projectPath;
};
void SetReplacePair(TReplacePair pair);
TReplacePair ReplacePair();

class TDaxShowLocator {
 public:
  // Opens documentEntry through the accessor and parses it; then loads the source's name map
  // and orientations from the document.
  TDaxShowLocator(TRef<TFileAccessor> accessor, const std::string& documentEntry, bool packed);
  // Frees the parsed show, then the document, then the accessor.
  ~TDaxShowLocator();
  TDaxShowLocator(const TDaxShowLocator&) = delete;
  TDaxShowLocator& operator=(const TDaxShowLocator&) = delete;

  TFileAccessor& Accessor() const { return *accessor_; }
  const TRef<TFileAccessor>& AccessorRef() const { return accessor_; }
  // Null when the document could not be read.
  ini::TIniFile* Document() const { return document_.Get(); }
  const TRef<ini::TIniFile>& DocumentRef() const { return document_; }
  const std::string& DocumentEntry() const { return documentEntry_; }
  // Main/"DaxVersion" of the document.
  const std::string& Version() const { return version_; }
  bool Packed() const { return packed_; }

  // The parsed show, made by the registered factory on first request; null without one.
  TRef<TRefObject> Source();
  template <class T>
  T* SourceAs() {
    return dynamic_cast<T*>(Source().Get());
  }

 private:
  TRef<TFileAccessor> accessor_;
  TRef<ini::TIniFile> document_;
  std::string documentEntry_;
  std::string version_;
  bool packed_;
  std::mutex sourceLock_;
  TRef<TRefObject> source_;
};

struct TOpenShowResult {
  std::unique_ptr<TDaxShowLocator> locator;
  std::string errorText;  // one of the kError* texts, or empty (no container)
};

// A container file (".dxshow", or an executable with an appended show).
TOpenShowResult OpenPackedShow(const std::string& fileName);
// A project file (".dax") whose media lie on disk; null when its document cannot be read.
std::unique_ptr<TDaxShowLocator> OpenProjectFile(const std::string& fileName);

}  // namespace dax::container
