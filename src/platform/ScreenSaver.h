// The system screen saver while a show plays, through SDL.
#pragma once

#include "platform/Services.h"

namespace dax::platform {

class TSdlScreenSaver : public IScreenSaverControl {
 public:
  void Suppress() override;
  void AnnounceScreenSaver() override;
  void Restore() override;
  bool Suppressed() const { return suppressed_; }

 private:
  bool suppressed_ = false;
};

}  // namespace dax::platform
