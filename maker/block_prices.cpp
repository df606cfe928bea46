#include "maker/block_prices.h"

#include "core/block_forms.h"

namespace vd {

int BlockPrices::data_header(std::int64_t length) const { return header_size(mode_, length); }

int BlockPrices::match_header(std::int64_t length) const { return header_size(mode_, length); }

int BlockPrices::position(std::int64_t q, std::int64_t running) const {
  return position_size(mode_, position_form(mode_, q, running), farWidth_);
}

bool BlockPrices::has_implied_positions() const { return has_data_kinds(mode_); }

int BlockPrices::position_after(std::int64_t q, const StreamState& state) const {
  if (state.dataLength > 0 && has_implied_positions() &&
      (q == state.running || q == state.running + state.dataLength))
    return 0;
  return position(q, state.running);
}

}  // namespace vd
