#pragma once
// The program's one pseudo-random generator: random levels, random maplets and the
// script routines Random and Randomize all draw from it.
#include <cstdint>
#include <random>

namespace qm {

class RandomSource {
 public:
  // Seeded from the clock, and reseeded from it by every Reseed().
  RandomSource();
  // A fixed seed: Reseed() then leaves the sequence going, so a run made with the
  // same seed repeats exactly (tests, qmtool --seed).
  explicit RandomSource(std::uint64_t seed);

  // Called at the start of each random level and random maplet.
  void Reseed();
  // Each of low..high with the same probability; low <= high.
  int Uniform(int low, int high);

  bool ClockSeeded() const { return clock_seeded_; }

  // A seed taken from the clock.
  static std::uint64_t ClockSeed();

 private:
  std::mt19937_64 engine_;
  bool clock_seeded_;
};

}  // namespace qm
