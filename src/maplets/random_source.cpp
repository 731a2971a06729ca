#include "maplets/random_source.h"

#include <chrono>
#include <limits>

namespace qm {

std::uint64_t RandomSource::ClockSeed() {
  // Nanoseconds: two runs a user can start never share a seed.
  return static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

RandomSource::RandomSource() : engine_(ClockSeed()), clock_seeded_(true) {}

RandomSource::RandomSource(std::uint64_t seed) : engine_(seed), clock_seeded_(false) {}

void RandomSource::Reseed() {
  if (clock_seeded_) engine_.seed(ClockSeed());
}

int RandomSource::Uniform(int low, int high) {
  // Rejection sampling instead of std::uniform_int_distribution: the standard
  // leaves that distribution's algorithm to each library, and a seed must give the
  // same level whichever library the program was built with.
  const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
  const std::uint64_t limit =
      std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % span;
  std::uint64_t draw;
  do {
    draw = engine_();
  } while (draw >= limit);
  return static_cast<int>(static_cast<std::int64_t>(low) + static_cast<std::int64_t>(draw % span));
}

}  // namespace qm
