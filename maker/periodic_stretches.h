// Stretches of a file that repeat a short pattern, as the chain walks
// measured them. A walk over a chain whose key starts a pattern visits every
// stretch of that pattern in the file, and measures how far each repeats;
// the next search visits the same stretches again. A file of one pattern
// with scattered changes has a few hundred stretches tens of kilobytes long,
// and measured anew at every search they cost more than all the rest of the
// walk. So each long stretch is measured once and its end remembered.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

namespace vd {

class PeriodicStretches {
 public:
  static constexpr int kLongestPeriod = 8;
  // Shorter stretches are measured anew: that costs less than looking up
  // an end. The stretches remembered for one period overlap by less than a
  // period, so they number at most one per kilobyte of the file.
  static constexpr std::int64_t kWorthRemembering = 1024;

  // Where the repetition of the `period` bytes at `first` ends, when a
  // measured stretch shows it: the first position at or after
  // first + period whose byte differs from the one a period before it.
  std::optional<std::int64_t> end_from(std::int64_t first, int period) const;
  // The bytes from first + period to `end` each equal the one a period
  // before them, and the byte at `end` (if any) does not.
  void remember(std::int64_t first, std::int64_t end, int period);
  void clear();

 private:
  // For each period, the ends of the stretches measured, with the lowest
  // start measured to each.
  std::array<std::map<std::int64_t, std::int64_t>, kLongestPeriod> starts_;
};

}  // namespace vd
