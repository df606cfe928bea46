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

std::uint8_t* put_number(std::uint8_t* at, std::uint32_t value) {
  while (value >= 0x80) {
    *at++ = static_cast<std::uint8_t>(value | 0x80);
    value >>= 7;
  }
  *at++ = static_cast<std::uint8_t>(value);
  return at;
}

const std::uint8_t* get_number(const std::uint8_t* at, std::uint32_t& value) {
  value = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t byte = *at++;
    value |= static_cast<std::uint32_t>(byte & 0x7f) << shift;
    if (byte < 0x80) return at;
  }
}

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
  const int mode = current_.mode;
  const int minBlock = current_.minBlock;
  previous_ = Pass{};
  current_ = Pass{};
  current_.mode = mode;
  current_.minBlock = minBlock;
  spare_.clear();
  allocated_.clear();
  for (std::size_t at = 0; lent.size() - at >= kChunkBytes; at += kChunkBytes) spare_.push_back(lent.data() + at);
  next_ = Entry{};
  nextValid_ = false;
  readChunk_ = readOffset_ = 0;
  chunksLeft_ = bytes / kChunkBytes;
}

void SearchRecord::start_pass(int mode, int minBlock) {
  release(previous_);
  previous_ = std::move(current_);
  next_ = Entry{};
  nextValid_ = false;
  readChunk_ = readOffset_ = 0;
  current_ = Pass{};
  current_.mode = mode;
  current_.minBlock = minBlock;
}

void SearchRecord::release(Pass& pass) {
  for (const Chunk chunk : pass.chunks)
    if (chunk != nullptr) spare_.push_back(chunk);
  pass = Pass{};
}

SearchRecord::Chunk SearchRecord::take_chunk() {
  if (!spare_.empty()) {
    const Chunk chunk = spare_.back();
    spare_.pop_back();
    return chunk;
  }
  if (chunksLeft_ == 0) return nullptr;
  allocated_.emplace_back(static_cast<std::uint8_t*>(alloc_(kChunkBytes, 1)));
  const Chunk chunk = allocated_.back().get();
  chunksLeft_ = chunk != nullptr ? chunksLeft_ - 1 : 0;
  return chunk;
}

void SearchRecord::add(const Entry& entry) {
  Pass& pass = current_;
  if (!pass.empty && entry.p <= pass.last.p) return;
  if (pass.chunks.empty() || pass.used.back() + kLongestEntry > kChunkBytes) {
    const Chunk chunk = take_chunk();
    if (chunk == nullptr) return;
    pass.chunks.push_back(chunk);
    pass.used.push_back(0);
  }
  std::uint8_t* const start = pass.chunks.back() + pass.used.back();
  std::uint8_t flags = entry.lengthAndCost != 0 ? kHasResult : 0;
  if (entry.running == pass.last.running) flags |= kSameRunning;
  if (entry.replacePosition == pass.last.replacePosition) flags |= kSameReplace;
  std::uint8_t* at = start;
  *at++ = flags;
  at = put_number(at, entry.p - pass.last.p);
  if (!(flags & kSameRunning)) at = put_number(at, entry.running);
  if (!(flags & kSameReplace)) at = put_number(at, entry.replacePosition);
  at = put_number(at, entry.place);
  if (flags & kHasResult) {
    at = put_number(at, entry.position);
    at = put_number(at, entry.lengthAndCost);
  }
  pass.used.back() += static_cast<std::size_t>(at - start);
  pass.last = entry;
  pass.empty = false;
}

// Decodes the previous pass's next entry over the one before it; a chunk
// read to its end goes to the pass that records.
bool SearchRecord::read_next() {
  while (readChunk_ < previous_.chunks.size() && readOffset_ == previous_.used[readChunk_]) {
    spare_.push_back(std::exchange(previous_.chunks[readChunk_], nullptr));
    ++readChunk_;
    readOffset_ = 0;
  }
  if (readChunk_ == previous_.chunks.size()) return false;
  const std::uint8_t* const start = previous_.chunks[readChunk_] + readOffset_;
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
  readOffset_ += static_cast<std::size_t>(at - start);
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
