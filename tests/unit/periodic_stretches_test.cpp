#include "maker/periodic_stretches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace vd {
namespace {

// Where the bytes from first + period on stop repeating the byte a period
// before them, read byte by byte.
std::int64_t measured_end(const std::vector<std::uint8_t>& data, std::int64_t first, int period) {
  auto end = static_cast<std::size_t>(first + period);
  while (end < data.size() && data[end] == data[end - static_cast<std::size_t>(period)]) ++end;
  return static_cast<std::int64_t>(end);
}

// Files of stretches of every period, long and short, broken at random:
// stretches measured from random places are remembered, and every end given
// back afterwards, from anywhere, is the one measuring gives.
TEST(PeriodicStretches, GivesBackOnlyWhatMeasuringGives) {
  std::mt19937 random(17);
  const auto below = [&](std::int64_t n) { return std::uniform_int_distribution<std::int64_t>(0, n - 1)(random); };
  for (int file = 0; file < 20; ++file) {
    std::vector<std::uint8_t> data;
    while (data.size() < 60000) {
      const int period = 1 + static_cast<int>(below(PeriodicStretches::kLongestPeriod));
      const std::int64_t length = 1 + below(file % 2 == 0 ? 5000 : 300);
      std::vector<std::uint8_t> unit(static_cast<std::size_t>(period));
      for (auto& byte : unit) byte = static_cast<std::uint8_t>(below(3));
      for (std::int64_t i = 0; i < length; ++i) data.push_back(unit[static_cast<std::size_t>(i % period)]);
    }
    const auto size = static_cast<std::int64_t>(data.size());
    PeriodicStretches stretches;
    int given = 0;
    for (int query = 0; query < 3000; ++query) {
      const int period = 1 + static_cast<int>(below(PeriodicStretches::kLongestPeriod));
      std::int64_t first = below(size - period);
      // Every other query from just before or after the last period of a
      // stretch.
      if (query % 2 == 1) {
        const std::int64_t near = measured_end(data, first, period) - period - 2 + below(4);
        first = std::clamp<std::int64_t>(near, 0, size - period);
      }
      const std::int64_t end = measured_end(data, first, period);
      const auto remembered = stretches.end_from(first, period);
      if (remembered) ++given;
      ASSERT_EQ(remembered.value_or(end), end) << "file " << file << " from " << first << ", period " << period;
      stretches.remember(first, end, period);
    }
    if (file % 2 == 0) {
      EXPECT_GT(given, 100) << "file " << file;
    }
  }
}

}  // namespace
}  // namespace vd
