// The exact number of bytes of the forms the writer chooses, for one MODE
// and far width, so that an encoder can weigh whole streams before writing
// them.
#pragma once

#include <cstdint>

namespace vd {

class BlockPrices {
 public:
  // `farWidth` is the MODE 3 far width in bytes (2, 3 or 4).
  BlockPrices(int mode, int farWidth) : mode_(mode), farWidth_(farWidth) {}

  int data_header(std::int64_t length) const;
  int match_header(std::int64_t length) const;
  // Position bytes of a match at q after a match that ended at `running`,
  // when no insert or replace data announced it.
  int position(std::int64_t q, std::int64_t running) const;
  // Whether a match right after data can carry no position: MODE 3 and 4.
  bool has_implied_positions() const;

 private:
  int mode_;
  int farWidth_;
};

}  // namespace vd
