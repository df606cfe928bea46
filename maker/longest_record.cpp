#include "maker/longest_record.h"

#include <algorithm>

#include "core/block_forms.h"

namespace vd {
namespace {

// The first byte of an entry holds the number of matches and the file.
constexpr std::uint8_t kCountMask = 3;
constexpr std::uint8_t kSecondSource = 4;
// That byte, the step from the last entry's position, and a position and a
// length for each match.
constexpr std::size_t kLongestEntry = 1 + 10 + 3 * (10 + 5);
// The shortest block limit of any MODE.
constexpr std::int64_t kShortestLimit =
    std::min({block_length_limit(1), block_length_limit(2), block_length_limit(3), block_length_limit(4)});

std::uint64_t zigzag(std::int64_t value) {
  return value < 0 ? ~(static_cast<std::uint64_t>(value) << 1) : static_cast<std::uint64_t>(value) << 1;
}

std::int64_t unzigzag(std::uint64_t value) {
  return (value & 1) != 0 ? ~static_cast<std::int64_t>(value >> 1) : static_cast<std::int64_t>(value >> 1);
}

}  // namespace

void LongestRecord::restart(std::size_t bytes) {
  log_.restart(bytes);
  forget_coding();
}

void LongestRecord::start_pass() {
  log_.start_pass();
  forget_coding();
}

// Each pass codes its entries from nothing, and reads them so.
void LongestRecord::forget_coding() {
  written_ = read_ = Key{};
  writtenOffsets_ = readOffsets_ = {};
  wroteAny_ = nextValid_ = false;
}

void LongestRecord::add(std::int64_t p, int source, std::span<const Found> found) {
  const Key key{p, source};
  if (wroteAny_ && key <= written_) return;
  if (found.size() > kCountMask) return;
  for (const auto& [position, length] : found)
    if (length >= kShortestLimit) return;
  std::uint8_t* const start = log_.room(kLongestEntry);
  if (start == nullptr) return;
  std::uint8_t* at = start;
  *at++ = static_cast<std::uint8_t>(found.size() | (source != 0 ? kSecondSource : 0));
  at = put_number(at, static_cast<std::uint64_t>(p - written_.p));
  for (std::size_t i = 0; i < found.size(); ++i) {
    const std::int64_t offset = std::int64_t{found[i].first} - p;
    at = put_number(at, zigzag(offset - writtenOffsets_[i]));
    at = put_number(at, static_cast<std::uint64_t>(found[i].second));
    writtenOffsets_[i] = offset;
  }
  log_.wrote(static_cast<std::size_t>(at - start));
  written_ = key;
  wroteAny_ = true;
}

bool LongestRecord::read_next() {
  const std::uint8_t* const start = log_.next();
  if (start == nullptr) return false;
  const std::uint8_t* at = start;
  const std::uint8_t flags = *at++;
  std::uint64_t step = 0;
  at = get_number(at, step);
  read_ = {read_.p + static_cast<std::int64_t>(step), (flags & kSecondSource) != 0 ? 1 : 0};
  next_.clear();
  for (std::size_t i = 0; i < (flags & kCountMask); ++i) {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    at = get_number(at, offset);
    at = get_number(at, length);
    readOffsets_[i] += unzigzag(offset);
    next_.emplace_back(static_cast<std::uint32_t>(read_.p + readOffsets_[i]), static_cast<std::int64_t>(length));
  }
  log_.read(static_cast<std::size_t>(at - start));
  nextValid_ = true;
  return true;
}

std::optional<std::span<const LongestRecord::Found>> LongestRecord::find(std::int64_t p, int source) {
  const Key key{p, source};
  while (nextValid_ || read_next()) {
    if (!(read_ < key)) {
      if (read_ == key) return std::span<const Found>(next_);
      return std::nullopt;
    }
    nextValid_ = false;
  }
  return std::nullopt;
}

}  // namespace vd
