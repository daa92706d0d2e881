// daxviewer's program entry: start-up sequence, main window, event loop and exit.
#pragma once

#include <string>
#include <vector>

namespace dax::app {

// Process exit codes.
constexpr int kExitOk = 0;
constexpr int kExitCode1 = 1;       // action "exit with code 1"
constexpr int kExitShowFailed = 2;  // the show could not be opened
constexpr int kExitNoDisplay = 3;   // no window could be made, or the display is unusable

// The text printed by -help.
std::string UsageText();

// Runs the whole program; args excludes the program name.
int RunDaxViewer(const std::string& programPath, const std::vector<std::string>& args);

// The running program's own file (from /proc/self/exe, else argv0).
std::string OwnProgramPath(const char* argv0);

}  // namespace dax::app
