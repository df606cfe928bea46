#include "maker/block_prices.h"

namespace vd {

BlockPrices::BlockPrices(int mode, int farWidth) : mode_(mode) {
  for (std::size_t length = 0; length < kShortLengths; ++length)
    shortHeaders_[length] = static_cast<std::uint8_t>(header_size(mode, static_cast<std::int64_t>(length)));
  for (const PositionForm form :
       {PositionForm::NearByte, PositionForm::NearWord, PositionForm::Far, PositionForm::FarEscaped})
    formSizes_[static_cast<std::size_t>(form)] = position_size(mode, form, farWidth);
}

}  // namespace vd
