// The runs of one byte value, 3 bytes or longer, in the oldfile: for every
// byte value and every power of two, the runs at least that long, in
// position order. Where only long runs can hold a candidate that beats the
// best, the match search visits those and passes over the rest.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vd {

class RunIndex {
 public:
  struct Run {
    std::uint32_t end;  // the position after the run
    std::uint32_t length;
  };

  // False, with nothing held, when there is no memory for it.
  bool build(const std::uint8_t* data, std::int64_t size);
  void clear();
  bool built() const { return !starts_.empty(); }
  // Every run of `value` of `length` bytes or more, with shorter ones (down
  // to the power of two at or below `length`), ascending; length >= 2.
  std::span<const Run> runs_at_least(std::uint8_t value, std::int64_t length) const;

 private:
  static constexpr int kClasses = 32;  // class k: runs of 2^k bytes or more
  template <typename Visit>
  static void for_each_run(const std::uint8_t* data, std::int64_t size, Visit visit);

  std::vector<std::uint32_t> starts_;  // of each (value, class) list, and the end
  std::vector<Run> runs_;
};

}  // namespace vd
