// The one seedable, thread-safe uniform generator every random choice goes through.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>

namespace dax {

class TRandom {
 public:
  void Seed(uint64_t seed);
  // Seeds from the system's entropy source (the program's default).
  void Randomize();
  uint32_t NextU32();
  // Uniform in [0, range); 0 when range <= 0.
  int32_t Uniform(int32_t range);
  // Uniform in [0, 1).
  double UniformFloat();

 private:
  std::mutex lock_;
  std::mt19937_64 engine_{0x5EED};
};

TRandom& Random();

}  // namespace dax
