#include "platform/ScreenSaver.h"

#include <SDL2/SDL.h>

#include "foundation/Log.h"

namespace dax::platform {

void TSdlScreenSaver::Suppress() {
  if (suppressed_) return;
  SDL_DisableScreenSaver();
  suppressed_ = true;
}

// Nothing to tell the desktop: the show itself is the screen saver here.
void TSdlScreenSaver::AnnounceScreenSaver() {
  Log().Write("Running as screen saver");
}

void TSdlScreenSaver::Restore() {
  if (!suppressed_) return;
  SDL_EnableScreenSaver();
  suppressed_ = false;
}

}  // namespace dax::platform
