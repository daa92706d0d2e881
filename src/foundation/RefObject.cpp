#include "foundation/RefObject.h"

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>

#include "foundation/Assert.h"

namespace dax {

TRefObject::TRefObject() = default;

TRefObject::~TRefObject() { magic_ = 0; }

void TRefObject::Dispose() { disposeReached_ = true; }

std::string TRefObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : mangled;
  if (auto pos = name.rfind("::"); pos != std::string::npos) name.erase(0, pos + 2);
  return name;
}

void TRefObject::Release() {
  if (magic_ != kAliveMagic) AssertFailed("No Inherited Create call at " + ClassName(), __FILE__, __LINE__);
  int32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left > 0) return;
  if (left < 0) {
    AssertFailed("Dupliacte free or _release at " + ClassName(), __FILE__, __LINE__);
  }
  try {
    Dispose();
  } catch (const EAssertionFailed&) {
    delete this;
    throw;
  } catch (...) {
    // Report, free the object, and let the original exception continue.
    ReportAssertion("Unhandled Exception at \"" + ClassName() + "\" Disposing", __FILE__, __LINE__);
    delete this;
    throw;
  }
  if (!disposeReached_) {
    std::string text = "Error: inherited " + ClassName() + ".Dispose not called!";
    delete this;
    AssertFailed(text, __FILE__, __LINE__);
  }
  delete this;
}

}  // namespace dax
