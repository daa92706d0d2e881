// Exception classes shared by the libraries.
#pragma once

#include <stdexcept>

namespace dax {

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EStreamReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EStreamWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
// A conversion failed on malformed text ("Invalid UTF8 Char").
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// Raised by the load-progress hook in abort mode.
class EOperationAborted : public std::runtime_error {
 public:
  EOperationAborted() : std::runtime_error("Operation aborted") {}
};

}  // namespace dax
