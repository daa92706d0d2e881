// Internal consistency checks: the failure is logged, written to stderr and thrown.
#pragma once

#include <stdexcept>
#include <string>

namespace dax {

class EAssertionFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "Asseertion with message: '<message>' (<unit>, line: <line>)"
std::string AssertionText(const std::string& message, const char* file, int line);

// Writes the assertion text to the log and stderr, then returns it.
std::string ReportAssertion(const std::string& message, const char* file, int line);

[[noreturn]] void AssertFailed(const std::string& message, const char* file, int line);

}  // namespace dax

#define DAX_ASSERT(cond, message)                                 \
  do {                                                            \
    if (!(cond)) ::dax::AssertFailed((message), __FILE__, __LINE__); \
  } while (0)
