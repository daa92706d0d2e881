#include "container/ShowLocator.h"

#include <unistd.h>

#include <algorithm>
#include <exception>

#include "container/MappedFileSource.h"
#include "container/PathModifiers.h"
#include "container/ShowPath.h"
#include "foundation/Log.h"
#include "foundation/Strings.h"

namespace dax::container {
namespace {
constexpr char kMainSection[] = "Main";
constexpr char kPathModifiersSection[] = "PathModifiers";

std::mutex gHookLock;
TShowSourceFactory gSourceFactory;
TColorSetupHook gColorSetup;
TReplacePair gReplacePair;

std::string AbsolutePath(const std::string& path) {
  std::string p = ShowNameToPath(path);
  if (!p.empty() && p[0] == '/') return p;
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return p;
  return JoinPath(buf, p);
}

void ColorSetUp(TDaxShowLocator& locator) {
  TColorSetupHook hook;
  {
    std::lock_guard lock(gHookLock);
    hook = gColorSetup;
  }
  if (!hook || !locator.Document()) return;
  try {
    hook(locator, locator.Document()->ReadString(kMainSection, "ColorManagement", ""));
  } catch (const std::exception& e) {
    TLogLine("Colour set-up failed: ").Add(e.what());
  }
}

// The project's "PathModifiers" section replaces the active list; without one the defaults
// come back, so that an earlier project's list never applies to this show.
void InstallProjectModifiers(const ini::TIniFile& document) {
  const ini::TIniSection* section = document.FindSection(kPathModifiersSection);
  if (!section) {
    InstallDefaultPathModifiers();
    return;
  }
  // Bounded by the lines the section really holds.
  int count = std::clamp(section->ReadInteger("Count", 0), 0, section->Count());
  TPathModifiersList list;
  for (int i = 0; i < count; ++i) {
    std::string name = ini::AsString(section->FindIndexed("Env", i), "");
    std::string folder = ini::AsString(section->FindIndexed("Path", i), "");
    bool isDefault = ini::AsBool(section->FindIndexed("Def", i), false);
    if (name.empty() || folder.empty()) continue;
    AddPathModifier(list, name, folder, isDefault);
  }
  InstallPathModifiers(std::move(list));
}
}  // namespace

void SetShowSourceFactory(TShowSourceFactory factory) {
  std::lock_guard lock(gHookLock);
  gSourceFactory = std::move(factory);
}

void SetColorSetupHook(TColorSetupHook hook) {
  std::lock_guard lock(gHookLock);
  gColorSetup = std::move(hook);
}

void SetReplacePair(TReplacePair pair) {
  std::lock_guard lock(gHookLock);
  gReplacePair = std::move(pair);
}

TReplacePair ReplacePair() {
  std::lock_guard lock(gHookLock);
  return gReplacePair;
}

TDaxShowLocator::TDaxShowLocator(TRef<TFileAccessor> accessor, const std::string& documentEntry,
                                 bool packed)
    : accessor_(std::move(accessor)), documentEntry_(documentEntry), packed_(packed) {
  // The bytes are kept for the name map, whose lines are read as written.
  std::string bytes;
  if (std::unique_ptr<TStream> stream = accessor_->OpenStream(documentEntry)) {
    if (ini::TIniFile::ReadDocumentBytes(*stream, bytes)) {
      auto document = MakeRef<ini::TIniFile>();
      document->LoadFromBytes(bytes);
      document_ = document;
    }
  }
  if (!document_) return;
  version_ = document_->ReadString(kMainSection, "DaxVersion", "");
  if (auto* mapped = dynamic_cast<TMappedFileSource*>(&accessor_->Source()))
    mapped->LoadMaps(*document_, bytes);
}

TDaxShowLocator::~TDaxShowLocator() {
  source_.Reset();
  document_.Reset();
  accessor_.Reset();
}

TRef<TRefObject> TDaxShowLocator::Source() {
  std::lock_guard lock(sourceLock_);
  if (!source_) {
    TShowSourceFactory factory;
    {
      std::lock_guard hookLock(gHookLock);
      factory = gSourceFactory;
    }
    if (factory) source_ = factory(*this);
  }
  return source_;
}

TOpenShowResult OpenPackedShow(const std::string& fileName) {
  TOpenShowResult result;
  TReplacePair pair = ReplacePair();
  if (!pair.projectPath.empty() && SameText(fileName, pair.exeName)) {
    result.locator = OpenProjectFile(pair.projectPath);
    return result;
  }
  auto unpack = std::make_shared<TDaxUnpack>(fileName);
  if (!unpack->Usable()) {
    result.errorText = unpack->ErrorText();
    return result;
  }
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TPackedFileSource>(unpack));
  accessor->SetBaseFolder(FolderOf(AbsolutePath(fileName)));
  auto locator = std::make_unique<TDaxShowLocator>(accessor, kDocumentEntry, true);
  if (!locator->Document()) {
    result.errorText = kErrorOpenError;
    return result;
  }
  // A packed show brings no modifier list of its own: an earlier project's must not apply.
  InstallDefaultPathModifiers();
  ColorSetUp(*locator);
  result.locator = std::move(locator);
  return result;
}

std::unique_ptr<TDaxShowLocator> OpenProjectFile(const std::string& fileName) {
  std::string path = AbsolutePath(fileName);
  std::string projectFolder = FolderOf(path);
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TMappedFileSource>(projectFolder));
  auto locator = std::make_unique<TDaxShowLocator>(accessor, path, false);
  if (!locator->Document()) return nullptr;
  // An empty opt_exefn would make the file-system root the base: use the project's folder.
  std::string exeName = locator->Document()->ReadString(kMainSection, "opt_exefn", "");
  std::string exeFolder = exeName.empty() ? std::string() : FolderOf(ShowNameToPath(exeName));
  accessor->SetBaseFolder(exeFolder.empty() ? projectFolder : JoinPath(projectFolder, exeFolder));
  InstallProjectModifiers(*locator->Document());
  ColorSetUp(*locator);
  return locator;
}

}  // namespace dax::container
