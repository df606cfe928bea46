// Which 8-byte strings a file holds, one bit per hash of a string: a clear
// bit proves that no position of the file starts with any string of that
// hash. The patch file's lists need it: its 3-byte keys are so common in a
// patch file of megabytes that a chain nearly always exists, while a match
// there must mostly run for nine bytes or more to beat the oldfile's best,
// and very few newfile positions have one.
#pragma once

#include <cstdint>
#include <span>

namespace vd {

class GramFilter {
 public:
  static constexpr int kGramLength = 8;

  // Files the string at every position from `firstIndexed` that a whole one
  // fits at, in bits that take at most `room`; the filter borrows it until
  // forget(). With too little room for a useful filter, nothing is held and
  // every test passes.
  void build(std::span<std::uint8_t> room, const std::uint8_t* data, std::int64_t size, std::int64_t firstIndexed);
  void forget() { bits_ = nullptr; }
  // False when no position of the file agrees with target[0, length): some
  // string inside it stands nowhere. A length shorter than one string
  // always passes.
  bool may_hold(const std::uint8_t* target, std::int64_t length) const;

 private:
  std::uint64_t slot(const std::uint8_t* gram) const;

  std::uint64_t* bits_ = nullptr;
  int hashBits_ = 0;
};

}  // namespace vd
