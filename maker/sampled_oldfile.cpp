#include "maker/sampled_oldfile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <new>
#include <optional>

#include "core/break_signal.h"
#include "maker/byte_compare.h"

namespace vd {
namespace {

// Never 0, which marks a window that is not filed.
std::uint64_t window_hash(const std::uint8_t* window) {
  std::uint64_t hash = 0;
  for (std::int64_t at = 0; at < AnchorIndex::kWindow; at += 8) hash = (hash ^ word_at(window + at)) * kHashMultiplier;
  return hash == 0 ? 1 : hash;
}

std::uint32_t check_of(std::uint64_t hash) { return static_cast<std::uint32_t>(hash); }

// Reading the oldfile once for grams costs about 0.17 ns a byte on large
// binaries with 8-byte grams at every 4th position, 0.72 ns with 4-byte
// grams at every position, where filing costs 5.4 ns a position: each is
// counted as filing a share of the positions a little over its cost.
// Measuring a position costs about what filing one does.
constexpr std::int64_t kPositionsFiledPerLongScan = 24;
constexpr std::int64_t kPositionsFiledPerShortScan = 7;
// The newfile bytes whose grams one reading looks for: a stretch of changed
// bytes is mostly shorter, and its searches then need no second reading.
constexpr std::int64_t kGramStretch = 256;
constexpr std::size_t kMostEachGram = 4096;
constexpr std::size_t kMostAnchored = 1024;

}  // namespace

bool AnchorIndex::build(const std::uint8_t* data, std::int64_t size) {
  const std::int64_t count = size < kWindow ? 0 : (size - kWindow) / kStride + 1;
  bucketBits_ = std::max(10, static_cast<int>(std::bit_width(static_cast<std::uint64_t>(count))));
  const std::size_t buckets = std::size_t{1} << bucketBits_;
  MappedArray<std::uint64_t> hashes;
  if (!hashes.allocate(static_cast<std::size_t>(count)) || !starts_.allocate(buckets + 1)) {
    clear();
    return false;
  }
  std::size_t filed = 0;
  for (std::size_t i = 0; i < hashes.size(); ++i) {
    if ((i & 0xFFFF) == 0) check_break();
    const std::uint8_t* window = data + static_cast<std::int64_t>(i) * kStride;
    if (one_byte_value(window, kWindow)) continue;
    hashes[i] = window_hash(window);
    ++starts_[bucket_of(hashes[i]) + 1];
    ++filed;
  }
  for (std::size_t b = 1; b <= buckets; ++b) starts_[b] += starts_[b - 1];
  if (!anchors_.allocate(filed)) {
    clear();
    return false;
  }
  // Each bucket's start moves on as it is filled, and is put back after.
  for (std::size_t i = 0; i < hashes.size(); ++i) {
    if (hashes[i] == 0) continue;
    const auto position = static_cast<std::uint32_t>(static_cast<std::int64_t>(i) * kStride);
    anchors_[starts_[bucket_of(hashes[i])]++] = std::uint64_t{check_of(hashes[i])} << 32 | position;
  }
  for (std::size_t b = buckets; b > 0; --b) starts_[b] = starts_[b - 1];
  starts_[0] = 0;
  return true;
}

void AnchorIndex::clear() {
  starts_.release();
  anchors_.release();
}

bool AnchorIndex::positions_agreeing(const std::uint8_t* target, std::int64_t length, std::size_t most,
                                     std::vector<std::uint32_t>& out) const {
  std::size_t appended = 0;
  for (std::int64_t residue = 0; residue < kStride; ++residue) {
    const auto offset = shortest_listed(residue, length - kWindow, kStride, [&](std::int64_t at) {
      if (one_byte_value(target + at, kWindow)) return std::optional<std::size_t>{};
      const std::size_t bucket = bucket_of(window_hash(target + at));
      return std::optional<std::size_t>{starts_[bucket + 1] - starts_[bucket]};
    });
    if (!offset) return false;
    const std::uint64_t hash = window_hash(target + *offset);
    const std::size_t bucket = bucket_of(hash);
    for (std::uint32_t i = starts_[bucket]; i < starts_[bucket + 1]; ++i) {
      const std::int64_t q = std::int64_t{static_cast<std::uint32_t>(anchors_[i])} - *offset;
      if (anchors_[i] >> 32 != check_of(hash) || q < 0) continue;
      if (++appended > most) return false;
      out.push_back(static_cast<std::uint32_t>(q));
    }
  }
  return true;
}

bool SampledOldfile::start(const std::uint8_t* data, std::int64_t size, std::int64_t newSize,
                           std::int64_t workAllowed) {
  stop();
  if (!anchors_.build(data, size)) return false;
  data_ = data;
  size_ = size;
  newSize_ = newSize;
  allowed_ = workAllowed;
  spent_ = size / AnchorIndex::kStride;
  reached_ = 0;
  started_ = true;
  return true;
}

// A quarter to begin with would not allow the one reading for short
// agreements that a newfile changed near its start needs (with the anchors,
// a sixth of the lists' cost). A pass that got through the whole newfile on
// the samplings shows that it has few stretches of changes: the passes
// after it may spend the whole.
bool SampledOldfile::has_work_left(std::int64_t p) {
  constexpr double kAllowedAtStart = 0.4;
  const double at = newSize_ == 0 ? 1.0 : static_cast<double>(p) / static_cast<double>(newSize_);
  reached_ = std::max(reached_, at);
  return started_ && static_cast<double>(spent_) <= static_cast<double>(allowed_) * std::max(kAllowedAtStart, reached_);
}

void SampledOldfile::stop() {
  anchors_.clear();
  readings_.clear();
  started_ = false;
}

bool SampledOldfile::positions_agreeing(std::span<const std::uint8_t> newfile, std::int64_t p, std::int64_t length,
                                        std::vector<std::uint32_t>& out) {
  const std::size_t before = out.size();
  if (length >= AnchorIndex::kReach &&
      anchors_.positions_agreeing(newfile.data() + p, length, kMostAnchored, out)) {
    spend(AnchorIndex::kStride);
    return true;
  }
  out.resize(before);
  const GramScan* reading = reading_for(newfile, p, length);
  return reading != nullptr && reading->positions_agreeing(newfile, p, length, out);
}

const GramScan* SampledOldfile::reading_for(std::span<const std::uint8_t> newfile, std::int64_t p,
                                            std::int64_t length) {
  for (const auto& reading : readings_)
    if (reading->serves(p, length)) return reading.get();
  const bool longEnough = length >= kLongGrams.reach();
  if (!longEnough && length < kShortGrams.reach()) return nullptr;
  const GramShape shape = longEnough ? kLongGrams : kShortGrams;
  spend(size_ / (longEnough ? kPositionsFiledPerLongScan : kPositionsFiledPerShortScan));
  if (!has_work_left(p)) return nullptr;
  const std::int64_t end = std::min(static_cast<std::int64_t>(newfile.size()), p + kGramStretch + shape.gram - 1);
  auto reading = std::make_unique<GramScan>();
  if (!reading->scan(shape, data_, size_, newfile, p, end, kMostEachGram)) {
    spent_ = INT64_MAX;
    return nullptr;
  }
  readings_.push_back(std::move(reading));
  return readings_.back().get();
}

}  // namespace vd
