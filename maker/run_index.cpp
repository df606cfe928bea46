#include "maker/run_index.h"

#include <bit>
#include <new>

#include "core/break_signal.h"
#include "maker/byte_compare.h"

namespace vd {
namespace {

int length_class(std::uint64_t length) { return std::bit_width(length) - 1; }

}  // namespace

// Calls visit(value, run) for every run of 3 bytes or more, in position
// order. A run ends where the bytes stop agreeing with themselves one byte
// further on, which is measured a word at a time.
template <typename Visit>
void RunIndex::for_each_run(const std::uint8_t* data, std::int64_t size, Visit visit) {
  constexpr std::int64_t kBytesBetweenBreakChecks = std::int64_t{1} << 20;
  std::int64_t nextCheck = kBytesBetweenBreakChecks;
  for (std::int64_t start = 0; start < size;) {
    if (start >= nextCheck) {
      check_break();
      nextCheck = start + kBytesBetweenBreakChecks;
    }
    const std::int64_t end = start + 1 + common_prefix(data + start + 1, data + start, size - start - 1);
    if (end - start >= 3) visit(data[start], Run{static_cast<std::uint32_t>(end), static_cast<std::uint32_t>(end - start)});
    start = end;
  }
}

bool RunIndex::build(const std::uint8_t* data, std::int64_t size) {
  clear();
  try {
    // A run goes into the list of every class from 1 to its own.
    std::vector<std::uint32_t> counts(256 * kClasses + 1, 0);
    for_each_run(data, size, [&](std::uint8_t value, Run run) {
      for (int k = 1; k <= length_class(run.length); ++k) ++counts[std::size_t{value} * kClasses + k + 1];
    });
    for (std::size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
    runs_.resize(counts.back());
    starts_ = counts;
    for_each_run(data, size, [&](std::uint8_t value, Run run) {
      for (int k = 1; k <= length_class(run.length); ++k) runs_[counts[std::size_t{value} * kClasses + k]++] = run;
    });
  } catch (const std::bad_alloc&) {
    clear();
    return false;
  }
  return true;
}

void RunIndex::clear() {
  starts_ = {};
  runs_ = {};
}

std::span<const RunIndex::Run> RunIndex::runs_at_least(std::uint8_t value, std::int64_t length) const {
  const std::size_t list = std::size_t{value} * kClasses + static_cast<std::size_t>(length_class(static_cast<std::uint64_t>(length)));
  return {runs_.data() + starts_[list], runs_.data() + starts_[list + 1]};
}

}  // namespace vd
