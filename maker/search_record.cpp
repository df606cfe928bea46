#include "maker/search_record.h"

#include <utility>

namespace vd {
namespace {

// A block's length fits in 24 bits in every MODE, its estimated cost in 8.
constexpr int kCostBits = 8;
constexpr std::int64_t kCostMask = (1 << kCostBits) - 1;

// The first byte of an entry.
constexpr std::uint8_t kSameRunning = 1;
constexpr std::uint8_t kSameReplace = 2;
constexpr std::uint8_t kHasResult = 4;
// That byte and six numbers of seven bits a byte.
constexpr std::size_t kLongestEntry = 1 + 6 * 5;

}  // namespace

bool SearchRecord::Entry::set_result(const MatchCandidate& candidate) {
  if (candidate.position < 0 || candidate.position > UINT32_MAX || candidate.length <= 0 ||
      candidate.length > (UINT32_MAX >> kCostBits) || candidate.cost < 0 || candidate.cost > kCostMask ||
      candidate.penalty != 0)
    return false;
  position = static_cast<std::uint32_t>(candidate.position);
  lengthAndCost = static_cast<std::uint32_t>(candidate.length << kCostBits | candidate.cost);
  return true;
}

std::optional<MatchCandidate> SearchRecord::Entry::result() const {
  if (lengthAndCost == 0) return std::nullopt;
  return MatchCandidate{.length = lengthAndCost >> kCostBits,
                        .position = position,
                        .cost = static_cast<int>(lengthAndCost & kCostMask)};
}

void SearchRecord::restart(std::size_t bytes, std::span<std::uint8_t> lent) {
  log_.restart(bytes, lent);
  previousMode_ = previousMinBlock_ = 0;
  last_ = next_ = Entry{};
  empty_ = true;
  nextValid_ = false;
}

void SearchRecord::start_pass(int mode, int minBlock) {
  log_.start_pass();
  previousMode_ = std::exchange(mode_, mode);
  previousMinBlock_ = std::exchange(minBlock_, minBlock);
  last_ = next_ = Entry{};
  empty_ = true;
  nextValid_ = false;
}

void SearchRecord::add(const Entry& entry) {
  if (!empty_ && entry.p <= last_.p) return;
  std::uint8_t* const start = log_.room(kLongestEntry);
  if (start == nullptr) return;
  std::uint8_t flags = entry.lengthAndCost != 0 ? kHasResult : 0;
  if (entry.running == last_.running) flags |= kSameRunning;
  if (entry.replacePosition == last_.replacePosition) flags |= kSameReplace;
  std::uint8_t* at = start;
  *at++ = flags;
  at = put_number(at, entry.p - last_.p);
  if (!(flags & kSameRunning)) at = put_number(at, entry.running);
  if (!(flags & kSameReplace)) at = put_number(at, entry.replacePosition);
  at = put_number(at, entry.place);
  if (flags & kHasResult) {
    at = put_number(at, entry.position);
    at = put_number(at, entry.lengthAndCost);
  }
  log_.wrote(static_cast<std::size_t>(at - start));
  last_ = entry;
  empty_ = false;
}

// Decodes the previous pass's next entry over the one before it.
bool SearchRecord::read_next() {
  const std::uint8_t* const start = log_.next();
  if (start == nullptr) return false;
  const std::uint8_t* at = start;
  const std::uint8_t flags = *at++;
  std::uint32_t step = 0;
  at = get_number(at, step);
  next_.p += step;
  if (!(flags & kSameRunning)) at = get_number(at, next_.running);
  if (!(flags & kSameReplace)) at = get_number(at, next_.replacePosition);
  at = get_number(at, next_.place);
  next_.position = 0;
  next_.lengthAndCost = 0;
  if (flags & kHasResult) {
    at = get_number(at, next_.position);
    at = get_number(at, next_.lengthAndCost);
  }
  log_.read(static_cast<std::size_t>(at - start));
  nextValid_ = true;
  return true;
}

const SearchRecord::Entry* SearchRecord::find(std::int64_t p) {
  while (nextValid_ || read_next()) {
    if (next_.p >= p) return next_.p == p ? &next_ : nullptr;
    nextValid_ = false;
  }
  return nullptr;
}

}  // namespace vd
