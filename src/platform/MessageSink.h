// Message boxes: always on stderr and in the log, and on the display when there is one.
#pragma once

#include <cstdio>
#include <string>

#include "platform/Services.h"

struct SDL_Window;

namespace dax::platform {

class TMessageSink : public IMessageSink {
 public:
  // `useDisplay`: show SDL message boxes (needs InitSdlVideo).
  explicit TMessageSink(bool useDisplay, std::FILE* errorStream = stderr)
      : useDisplay_(useDisplay), errors_(errorStream) {}

  void SetParent(SDL_Window* parent) { parent_ = parent; }
  void ShowMessage(const std::string& caption, const std::string& text, TMessageIcon icon) override;

 private:
  bool useDisplay_;
  std::FILE* errors_;
  SDL_Window* parent_ = nullptr;
};

// Carriage returns separate lines in the show format's messages; they become line feeds.
std::string MessageLines(const std::string& text);

}  // namespace dax::platform
