// Command texts come from shows (open-show and run-application actions): the tokenizer, the
// start position and the command-list checks must take any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/CommandList.h"
#include "app/CommandsStorage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto commands = dax::app::TCommandsStorage::FromCommandLine(text);
  dax::app::GetStartPosition(commands);
  commands.FirstPlainArgument();
  for (const std::string& part : dax::app::SplitCommandList(text)) {
    dax::app::IsCommandAllowed(part);
    dax::app::SplitCommandPart(part);
  }
  return 0;
}
