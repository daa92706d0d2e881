#include "show/ShowSourceFactory.h"

namespace dax::show {

void RegisterShowSourceFactory(const std::string& programPath) {
  container::SetShowSourceFactory(
      [programPath](container::TDaxShowLocator& locator) -> TRef<TRefObject> {
        if (!locator.Document()) return nullptr;
        return MakeRef<TDaxSource>(locator.AccessorRef(), locator.DocumentRef(), programPath);
      });
}

TRef<TDaxSource> CreateShowSource(container::TDaxShowLocator& locator,
                                  const std::string& programPath, std::string& error,
                                  bool* alreadyReported) {
  if (alreadyReported) *alreadyReported = false;
  if (!locator.Document()) {
    error = "Can`t Load Show";
    return nullptr;
  }
  return TDaxSource::TryCreate(locator.AccessorRef(), locator.DocumentRef(), programPath, error,
                               alreadyReported);
}

}  // namespace dax::show
