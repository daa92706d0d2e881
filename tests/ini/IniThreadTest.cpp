// A loaded document shared by several reading threads: lookups must not write to it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ini/IniFile.h"

namespace dax::ini {
namespace {

TEST(IniThreadTest, ReadersShareALoadedDocument) {
  std::string text;
  for (int s = 0; s < 20; ++s) {
    text += "[Slide" + std::to_string(s) + "]\n";
    for (int k = 0; k < 50; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(k) + "\n";
    text += "object Pic:Picture\n  GUID=" + std::to_string(s) + "\nend\n";
  }
  auto file = MakeRef<TIniFile>();
  file->LoadFromText(text);
  const TIniFile& shared = *file;
  std::string before = shared.SaveToBytes();
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&shared, &wrong, t] {
      for (int round = 0; round < 20; ++round) {
        for (int s = 0; s < 20; ++s) {
          std::string section = "SLIDE" + std::to_string((s + t) % 20);
          for (int k = 0; k < 50; ++k) {
            if (shared.ReadInteger(section, "key" + std::to_string(k), -1) != k) ++wrong;
          }
          const TIniSection* sec = shared.FindSection(section);
          if (!sec || !sec->FindIndexed("KEY", 49) || !sec->FindObject("pic", "picture")) ++wrong;
          if (!shared.FindPath(section + ":pic:guid")) ++wrong;
        }
      }
    });
  }
  for (auto& r : readers) r.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(shared.SaveToBytes(), before);
}

}  // namespace
}  // namespace dax::ini
