// The exact number of bytes of the forms the writer chooses, for one MODE
// and far width, so that an encoder can weigh whole streams before writing
// them.
#pragma once

#include <cstdint>

namespace vd {

// Where a stream stands after some newfile bytes: the running position and
// the length of the open data block, or of its last block when a long run
// is split (0 when the stream ends in a match).
struct StreamState {
  std::int64_t running = 0;
  std::int64_t dataLength = 0;
};

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
  // Position bytes of a match at q from `state`: none where the data before
  // it can announce it.
  int position_after(std::int64_t q, const StreamState& state) const;

 private:
  int mode_;
  int farWidth_;
};

}  // namespace vd
