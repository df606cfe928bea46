#include "maker/periodic_stretches.h"

namespace vd {

// Two stretches of one period overlap by less than a period: each one's end
// breaks the repetition, so it cannot lie a period or more inside the other.
// Hence the one stretch that holds first..first + period, if measured, is
// the one with the lowest end from first + period on.
std::optional<std::int64_t> PeriodicStretches::end_from(std::int64_t first, int period) const {
  const auto& starts = starts_[static_cast<std::size_t>(period - 1)];
  const auto stretch = starts.lower_bound(first + period);
  if (stretch == starts.end() || stretch->second > first) return std::nullopt;
  return stretch->first;
}

void PeriodicStretches::remember(std::int64_t first, std::int64_t end, int period) {
  if (end - first < kWorthRemembering) return;
  auto [stretch, added] = starts_[static_cast<std::size_t>(period - 1)].try_emplace(end, first);
  if (!added && first < stretch->second) stretch->second = first;
}

void PeriodicStretches::clear() {
  for (auto& starts : starts_) starts.clear();
}

}  // namespace vd
