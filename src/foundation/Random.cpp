#include "foundation/Random.h"

namespace dax {

void TRandom::Seed(uint64_t seed) {
  std::lock_guard guard(lock_);
  engine_.seed(seed);
}

void TRandom::Randomize() {
  std::random_device device;
  Seed((static_cast<uint64_t>(device()) << 32) | device());
}

uint32_t TRandom::NextU32() {
  std::lock_guard guard(lock_);
  return static_cast<uint32_t>(engine_() >> 32);
}

int32_t TRandom::Uniform(int32_t range) {
  if (range <= 0) return 0;
  std::lock_guard guard(lock_);
  return std::uniform_int_distribution<int32_t>(0, range - 1)(engine_);
}

double TRandom::UniformFloat() {
  std::lock_guard guard(lock_);
  return std::uniform_real_distribution<double>(0.0, 1.0)(engine_);
}

TRandom& Random() {
  static TRandom instance;
  return instance;
}

}  // namespace dax
