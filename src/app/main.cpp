// daxviewer: plays a packed slide show.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/StartUp.h"
#include "foundation/Memory.h"

int main(int argc, char** argv) {
  dax::KeepFreedMemory();
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return dax::app::RunDaxViewer(dax::app::OwnProgramPath(argv[0]), args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "daxviewer: %s\n", e.what());
    return dax::app::kExitShowFailed;
  }
}
