// One user action (key, button, object action) and the kinds the main window executes.
#pragma once

#include <cstdint>
#include <string>

namespace dax::app {

struct TDaxActionInfo {
  uint8_t kind = 0;  // 0 = no action
  int32_t number = 0;
  std::string text;
};

namespace action {
constexpr uint8_t kNone = 0;
constexpr uint8_t kExit = 1;
constexpr uint8_t kPrevSlide = 2;
constexpr uint8_t kNextSlide = 3;
constexpr uint8_t kHelp = 4;
constexpr uint8_t kPause = 5;
constexpr uint8_t kPrint = 6;
constexpr uint8_t kGoToSlide = 7;
constexpr uint8_t kOpenLink = 8;
constexpr uint8_t kSendMail = 9;
constexpr uint8_t kRunApplication = 10;
constexpr uint8_t kRunApplicationAndExit = 11;
constexpr uint8_t kOpenShow = 12;
constexpr uint8_t kStop = 13;
constexpr uint8_t kOpenShowAndReturn = 14;
constexpr uint8_t kExitWithCode1 = 16;
constexpr uint8_t kGoToTime = 19;
}  // namespace action

}  // namespace dax::app
