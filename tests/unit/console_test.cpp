#include "maker/console.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace vd {
namespace {

// What the encoders showed before the percentage kept its range: the
// division at every position asked, a line whenever the result changed.
std::string shown_by_division(std::int64_t total, const std::vector<std::int64_t>& positions) {
  std::string expected;
  std::int64_t last = 200;
  for (const std::int64_t position : positions) {
    const std::int64_t percent = position * 100 / total;
    if (percent == last) continue;
    char line[8];
    std::snprintf(line, sizeof line, "\r%3ld%%", static_cast<long>(percent));
    expected += line;
    last = percent;
  }
  return expected;
}

TEST(RunningPercent, ShowsWhatTheDivisionAtEveryPositionShows) {
  std::mt19937 random(7);
  for (const std::int64_t total : {1, 3, 99, 100, 101, 250, 12345, 2147483647}) {
    // Every position up a small file, then steps of any size, then a walk
    // that goes back as well.
    std::vector<std::int64_t> walks[3];
    for (std::int64_t p = 0; p <= std::min<std::int64_t>(total, 1000); ++p) walks[0].push_back(p);
    for (std::int64_t p = 0; p <= total; p += 1 + static_cast<std::int64_t>(random() % (total / 50 + 2)))
      walks[1].push_back(p);
    for (int i = 0; i < 300; ++i) walks[2].push_back(static_cast<std::int64_t>(random() % (total + 1)));
    for (const auto& positions : walks) {
      RunningPercent percent(total);
      testing::internal::CaptureStdout();
      for (const std::int64_t position : positions) percent.show(position);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), shown_by_division(total, positions)) << "total " << total;
    }
  }
}

}  // namespace
}  // namespace vd
