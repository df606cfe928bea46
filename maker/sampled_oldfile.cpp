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

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;

// Never 0, which marks a window that is not filed.
std::uint64_t window_hash(const std::uint8_t* window) {
  std::uint64_t hash = 0;
  for (std::int64_t at = 0; at < AnchorIndex::kWindow; at += 8) hash = (hash ^ word_at(window + at)) * kMultiplier;
  return hash == 0 ? 1 : hash;
}

std::uint32_t check_of(std::uint64_t hash) { return static_cast<std::uint32_t>(hash); }

bool one_byte_value(const std::uint8_t* bytes, std::int64_t length) {
  return common_prefix(bytes + 1, bytes, length - 1) == length - 1;
}

// Of the offsets from `residue` on in steps of `stride`, up to `last`, the
// one whose list (`listed(offset)`, none where there is no usable one)
// looks shortest: the first where lists are short, else the shortest of
// the first few, since in code padding and tables the first strings stand
// thousands of times and the next ones mostly once.
template <typename Listed>
std::optional<std::int64_t> shortest_listed(std::int64_t residue, std::int64_t last, std::int64_t stride,
                                            Listed listed) {
  constexpr std::size_t kShortList = 16;
  constexpr int kMostTried = 16;
  std::optional<std::int64_t> shortest;
  std::size_t shortestSize = SIZE_MAX;
  int tried = 0;
  for (std::int64_t offset = residue; offset <= last && tried < kMostTried && shortestSize > kShortList;
       offset += stride) {
    const std::optional<std::size_t> size = listed(offset);
    if (!size) continue;
    ++tried;
    if (*size < shortestSize) {
      shortest = offset;
      shortestSize = *size;
    }
  }
  return shortest;
}

// Reading the oldfile once for grams, a gram every 4 bytes, costs about
// 0.17 ns a byte on large binaries, where filing costs 5.4 ns a position:
// it is counted as filing a 24th of the positions, a little over its cost.
// Measuring a position costs about what filing one does.
constexpr std::int64_t kPositionsFiledPerScan = 24;
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

bool GramScan::scan(const std::uint8_t* data, std::int64_t size, std::span<const std::uint8_t> text,
                    std::size_t mostEach) {
  clear();
  for (std::size_t offset = 0; offset + kGram <= text.size(); ++offset)
    if (!one_byte_value(text.data() + offset, kGram)) grams_.push_back(word_at(text.data() + offset));
  std::sort(grams_.begin(), grams_.end());
  grams_.erase(std::unique(grams_.begin(), grams_.end()), grams_.end());
  mostEach_ = mostEach;
  if (!slots_.allocate(grams_.size() * (mostEach + 1))) {
    clear();
    return false;
  }
  // One bit per hash of a string still looked for, in the first level
  // cache: nearly every position of the file is passed over by it alone,
  // also where it holds a string given up thousands of times over.
  std::array<std::uint64_t, 1024> looked{};
  const auto slot = [](std::uint64_t gram) { return gram * kMultiplier >> 48; };
  const auto look_for_those_kept = [&] {
    looked.fill(0);
    for (std::size_t index = 0; index < grams_.size(); ++index)
      if (list_of(index)[0] <= mostEach) looked[slot(grams_[index]) >> 6] |= std::uint64_t{1} << (slot(grams_[index]) & 63);
  };
  look_for_those_kept();
  for (std::int64_t i = 0; i + kGram <= size; i += kStride) {
    if ((i & 0xFFFFF) == 0) check_break();
    const std::uint64_t gram = word_at(data + i);
    if ((looked[slot(gram) >> 6] >> (slot(gram) & 63) & 1) == 0) continue;
    const auto at = std::lower_bound(grams_.begin(), grams_.end(), gram);
    if (at == grams_.end() || *at != gram) continue;
    std::uint32_t* list = list_of(static_cast<std::size_t>(at - grams_.begin()));
    if (list[0] == mostEach) {
      ++list[0];
      look_for_those_kept();
    } else if (list[0] < mostEach) {
      list[1 + list[0]] = static_cast<std::uint32_t>(i);
      ++list[0];
    }
  }
  return true;
}

std::uint32_t* GramScan::list_of(std::size_t index) { return &slots_[index * (mostEach_ + 1)]; }

const std::uint32_t* GramScan::list_of(std::size_t index) const { return &slots_[index * (mostEach_ + 1)]; }

void GramScan::clear() {
  grams_ = {};
  slots_.release();
}

std::optional<std::span<const std::uint32_t>> GramScan::positions_of(const std::uint8_t* gram) const {
  const auto at = std::lower_bound(grams_.begin(), grams_.end(), word_at(gram));
  if (at == grams_.end() || *at != word_at(gram)) return std::nullopt;
  const std::uint32_t* list = list_of(static_cast<std::size_t>(at - grams_.begin()));
  if (list[0] > mostEach_) return std::nullopt;
  return std::span<const std::uint32_t>{list + 1, list[0]};
}

bool SampledOldfile::start(const std::uint8_t* data, std::int64_t size, std::int64_t newSize,
                           std::int64_t workAllowed) {
  stop();
  if (!anchors_.build(data, size)) return false;
  data_ = data;
  size_ = size;
  newSize_ = newSize;
  scannedFrom_ = scannedEnd_ = 0;
  allowed_ = workAllowed;
  spent_ = size / AnchorIndex::kStride;
  started_ = true;
  return true;
}

bool SampledOldfile::has_work_left(std::int64_t p) const {
  const double reached = newSize_ == 0 ? 1.0 : static_cast<double>(p) / static_cast<double>(newSize_);
  return started_ && static_cast<double>(spent_) <= static_cast<double>(allowed_) * std::max(0.25, reached);
}

void SampledOldfile::stop() {
  anchors_.clear();
  grams_.clear();
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
  if (length < GramScan::kReach) return false;
  const bool scanned = p >= scannedFrom_ && p + GramScan::kReach <= scannedEnd_;
  return (scanned || scan_grams_from(newfile, p)) && gram_positions(newfile, p, length, out);
}

// A position agreeing for `length` bytes holds the newfile's grams that lie
// whole in them at the same offsets, one of each offset modulo the stride
// at a position the reading looked at.
bool SampledOldfile::gram_positions(std::span<const std::uint8_t> newfile, std::int64_t p, std::int64_t length,
                                    std::vector<std::uint32_t>& out) const {
  const std::int64_t last = std::min(length, scannedEnd_ - p) - GramScan::kGram;
  for (std::int64_t residue = 0; residue < GramScan::kStride; ++residue) {
    const auto positions_at = [&](std::int64_t offset) { return grams_.positions_of(newfile.data() + p + offset); };
    const auto offset = shortest_listed(residue, last, GramScan::kStride, [&](std::int64_t at) {
      const auto positions = positions_at(at);
      return positions ? std::optional<std::size_t>{positions->size()} : std::nullopt;
    });
    if (!offset) return false;
    const std::span<const std::uint32_t> positions = *positions_at(*offset);
    for (const std::uint32_t q : positions)
      if (q >= *offset) out.push_back(static_cast<std::uint32_t>(q - *offset));
  }
  return true;
}

bool SampledOldfile::scan_grams_from(std::span<const std::uint8_t> newfile, std::int64_t p) {
  spend(size_ / kPositionsFiledPerScan);
  if (!has_work_left(p)) return false;
  const std::int64_t end =
      std::min(static_cast<std::int64_t>(newfile.size()), p + kGramStretch + GramScan::kGram - 1);
  if (!grams_.scan(data_, size_, newfile.subspan(static_cast<std::size_t>(p), static_cast<std::size_t>(end - p)),
                   kMostEachGram)) {
    spent_ = INT64_MAX;
    return false;
  }
  scannedFrom_ = p;
  scannedEnd_ = end;
  return true;
}

}  // namespace vd
