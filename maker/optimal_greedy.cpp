#include "maker/optimal_greedy.h"

#include <algorithm>

#include "core/block_forms.h"

namespace vd {

GreedyPath::GreedyPath(int mode, const MakerSession& session, MatchIndex& index, const BlockPrices& prices)
    : mode_(mode), session_(session), index_(index), prices_(prices), limit_(block_length_limit(mode)) {
  index_.state.running = 0;
}

// The same searches, in the same order, as the greedy encoder makes: the
// match a data scan stops at is the one the search remembers for the next.
void GreedyPath::make_block() {
  const std::int64_t start = madeUntil_;
  if (const auto match = index_.find_match(mode_, start)) {
    blocks_.push_back({start, match->length, match->position});
    index_.state.running = match->position + match->length;
    madeUntil_ += match->length;
    return;
  }
  std::int64_t count = 0;
  while (start + count < session_.newSize && count < limit_) {
    ++count;
    if (index_.find_match(mode_, start + count)) break;
  }
  if (has_data_kinds(mode_)) index_.state.replacePosition = index_.state.running + count;
  if (!blocks_.empty() && blocks_.back().match < 0 && blocks_.back().start + blocks_.back().length == start)
    blocks_.back().length += count;
  else
    blocks_.push_back({start, count, -1});
  madeUntil_ += count;
}

void GreedyPath::make_until(std::int64_t p) {
  while (madeUntil_ < std::min<std::int64_t>(p, session_.newSize)) make_block();
}

// The search asks for one position after another: mostly the block of the
// last answer holds it, or the one after that.
std::deque<GreedyPath::Block>::iterator GreedyPath::block_at(std::int64_t p) {
  make_until(p + 1);
  const auto holds = [p](const Block& block) { return block.start <= p && p < block.start + block.length; };
  for (std::size_t near = lastAnswer_; near < std::min(lastAnswer_ + 2, blocks_.size()); ++near) {
    if (!holds(blocks_[near])) continue;
    lastAnswer_ = near;
    return blocks_.begin() + static_cast<std::ptrdiff_t>(near);
  }
  const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), p,
                                      [](std::int64_t at, const Block& block) { return at < block.start; });
  lastAnswer_ = static_cast<std::size_t>(after - blocks_.begin()) - 1;
  return std::prev(after);
}

std::optional<OptimalCandidate> GreedyPath::match_at(std::int64_t p) {
  const Block& block = *block_at(p);
  if (block.match < 0) return std::nullopt;
  return OptimalCandidate{block.match + p - block.start, block.start + block.length - p};
}

std::int64_t GreedyPath::settled_after(std::int64_t p) {
  if (p >= session_.newSize) {
    make_until(session_.newSize);
    return session_.newSize;
  }
  for (auto block = block_at(p);; ++block) {
    if (block->match >= 0) return block->start + block->length;
    const std::int64_t end = block->start + block->length;
    if (end >= session_.newSize) return session_.newSize;
    make_until(end + 1);
    block = std::prev(block_at(end));
  }
}

// The data bytes and headers of `count` more bytes of data: the open block
// grows to the limit, then whole blocks follow.
std::int64_t GreedyPath::data_price(StreamState& state, std::int64_t count) const {
  std::int64_t price = count;
  if (state.dataLength > 0 && state.dataLength < limit_) {
    const std::int64_t grown = std::min(count, limit_ - state.dataLength);
    price += prices_.data_header(state.dataLength + grown) - prices_.data_header(state.dataLength);
    state.dataLength += grown;
    count -= grown;
  }
  if (count == 0) return price;
  const std::int64_t last = (count - 1) % limit_ + 1;
  price += (count - last) / limit_ * prices_.data_header(limit_) + prices_.data_header(last);
  state.dataLength = last;
  return price;
}

std::int64_t GreedyPath::follow_price(std::int64_t from, StreamState& state, std::int64_t to) {
  std::int64_t price = 0;
  follow(from, to, [&](std::int64_t, std::int64_t length, std::int64_t match) {
    if (match < 0) {
      price += data_price(state, length);
      return;
    }
    price += prices_.position_after(match, state) + prices_.match_header(length);
    state = {match + length, 0};
  });
  return price;
}

void GreedyPath::forget_before(std::int64_t p) {
  while (blocks_.size() > 1 && blocks_.front().start + blocks_.front().length <= p) {
    blocks_.pop_front();
    if (lastAnswer_ > 0) --lastAnswer_;
  }
}

}  // namespace vd
