#include "platform/MessageSink.h"

#include <SDL2/SDL.h>

#include "foundation/Log.h"

namespace dax::platform {

std::string MessageLines(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

void TMessageSink::ShowMessage(const std::string& caption, const std::string& text,
                               TMessageIcon icon) {
  std::string lines = MessageLines(text);
  if (errors_) {
    if (caption.empty())
      std::fprintf(errors_, "%s\n", lines.c_str());
    else
      std::fprintf(errors_, "%s: %s\n", caption.c_str(), lines.c_str());
    std::fflush(errors_);
  }
  TLogLine line;
  if (!caption.empty()) line.Add(caption).Add(": ");
  line.Add(lines);
  if (!useDisplay_) return;
  uint32_t flags = icon == TMessageIcon::Error     ? SDL_MESSAGEBOX_ERROR
                   : icon == TMessageIcon::Warning ? SDL_MESSAGEBOX_WARNING
                                                   : SDL_MESSAGEBOX_INFORMATION;
  SDL_ShowSimpleMessageBox(flags, caption.c_str(), lines.c_str(), parent_);
}

}  // namespace dax::platform
