#include "show/ShowSourceFactory.h"

#include "foundation/Assert.h"

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
  try {
    return MakeRef<TDaxSource>(locator.AccessorRef(), locator.DocumentRef(), programPath);
  } catch (const EAssertionFailed& e) {
    error = e.what();
    if (alreadyReported) *alreadyReported = true;
  } catch (const std::exception& e) {
    error = e.what();
  }
  return nullptr;
}

}  // namespace dax::show
