#include "maker/gram_scan.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/break_signal.h"
#include "maker/byte_compare.h"

namespace vd {
namespace {

template <std::int64_t kGram>
std::uint64_t load_gram(const std::uint8_t* bytes) {
  static_assert(kGram == 4 || kGram == 8);
  if constexpr (kGram == 8) {
    return word_at(bytes);
  } else {
    std::uint32_t gram;
    std::memcpy(&gram, bytes, sizeof gram);
    return gram;
  }
}

std::uint64_t filter_slot(std::uint64_t gram) { return gram * kHashMultiplier >> 48; }

// The first position from i on, in steps of kStride, whose gram has its
// bit in `looked`; the first one at or past `end` when none has. Nearly
// every position of the file ends here, so the loop keeps all it needs in
// registers.
template <std::int64_t kGram, std::int64_t kStride>
std::int64_t next_looked_for(const std::uint8_t* data, std::int64_t i, std::int64_t end, const std::uint64_t* looked) {
  for (; i < end; i += kStride) {
    const std::uint64_t slot = filter_slot(load_gram<kGram>(data + i));
    if (looked[slot >> 6] >> (slot & 63) & 1) break;
  }
  return i;
}

}  // namespace

std::uint64_t GramScan::gram_at(const std::uint8_t* bytes) const {
  return shape_.gram == 8 ? load_gram<8>(bytes) : load_gram<4>(bytes);
}

bool GramScan::scan(GramShape shape, const std::uint8_t* data, std::int64_t size,
                    std::span<const std::uint8_t> newfile, std::int64_t from, std::int64_t end, std::size_t mostEach) {
  shape_ = shape;
  from_ = from;
  end_ = end;
  grams_.clear();
  for (std::int64_t at = from; at + shape.gram <= end; ++at)
    if (!one_byte_value(newfile.data() + at, shape.gram)) grams_.push_back(gram_at(newfile.data() + at));
  std::sort(grams_.begin(), grams_.end());
  grams_.erase(std::unique(grams_.begin(), grams_.end()), grams_.end());
  mostEach_ = mostEach;
  if (!slots_.allocate(grams_.size() * (mostEach + 1))) return false;
  if (shape.gram == kLongGrams.gram)
    read_file<kLongGrams.gram, kLongGrams.stride>(data, size);
  else
    read_file<kShortGrams.gram, kShortGrams.stride>(data, size);
  return pack_positions();
}

template <std::int64_t kGram, std::int64_t kStride>
void GramScan::read_file(const std::uint8_t* data, std::int64_t size) {
  // One bit per hash of a gram still looked for, in the first level cache:
  // nearly every position of the file is passed over by it alone, also
  // where it holds a gram given up thousands of times over.
  std::array<std::uint64_t, 1024> looked{};
  const auto look_for_those_kept = [&] {
    looked.fill(0);
    for (std::size_t index = 0; index < grams_.size(); ++index) {
      if (slots_[index * (mostEach_ + 1)] > mostEach_) continue;
      const std::uint64_t slot = filter_slot(grams_[index]);
      looked[slot >> 6] |= std::uint64_t{1} << (slot & 63);
    }
  };
  look_for_those_kept();
  constexpr std::int64_t kBetweenBreakChecks = std::int64_t{1} << 20;
  static_assert(kBetweenBreakChecks % kStride == 0);
  const std::int64_t end = size - kGram + 1;
  for (std::int64_t i = 0; i < end;) {
    check_break();
    const std::int64_t stretchEnd = std::min(end, i + kBetweenBreakChecks);
    while ((i = next_looked_for<kGram, kStride>(data, i, stretchEnd, looked.data())) < stretchEnd) {
      const std::uint64_t gram = load_gram<kGram>(data + i);
      const auto at = std::lower_bound(grams_.begin(), grams_.end(), gram);
      if (at != grams_.end() && *at == gram) {
        std::uint32_t* list = &slots_[static_cast<std::size_t>(at - grams_.begin()) * (mostEach_ + 1)];
        if (list[0] == mostEach_) {
          ++list[0];
          look_for_those_kept();
        } else if (list[0] < mostEach_) {
          list[1 + list[0]] = static_cast<std::uint32_t>(i);
          ++list[0];
        }
      }
      i += kStride;
    }
  }
}

// The slots take the most a gram may need; what the grams were found at
// takes mostly far less, and a reading is kept for as long as the samplings
// are. In pages of its own, like the slots: the lists that may follow are
// no place for heap memory the allocator keeps.
bool GramScan::pack_positions() {
  const auto list_of = [&](std::size_t index) { return &slots_[index * (mostEach_ + 1)]; };
  starts_.assign(grams_.size() + 1, 0);
  givenUp_.assign(grams_.size(), false);
  for (std::size_t index = 0; index < grams_.size(); ++index) {
    givenUp_[index] = list_of(index)[0] > mostEach_;
    starts_[index + 1] = starts_[index] + (givenUp_[index] ? 0 : list_of(index)[0]);
  }
  if (!positions_.allocate(starts_.back())) return false;
  for (std::size_t index = 0; index < grams_.size(); ++index)
    std::copy(list_of(index) + 1, list_of(index) + 1 + (starts_[index + 1] - starts_[index]),
              positions_.data() + starts_[index]);
  slots_.release();
  return true;
}

std::optional<std::span<const std::uint32_t>> GramScan::positions_of(const std::uint8_t* bytes) const {
  const std::uint64_t gram = gram_at(bytes);
  const auto at = std::lower_bound(grams_.begin(), grams_.end(), gram);
  if (at == grams_.end() || *at != gram) return std::nullopt;
  const auto index = static_cast<std::size_t>(at - grams_.begin());
  if (givenUp_[index]) return std::nullopt;
  return std::span<const std::uint32_t>{positions_.data() + starts_[index], starts_[index + 1] - starts_[index]};
}

// A position agreeing for `length` bytes holds the newfile's grams that lie
// whole in them at the same offsets, one of each offset modulo the stride
// at a position the reading looked at.
bool GramScan::positions_agreeing(std::span<const std::uint8_t> newfile, std::int64_t p, std::int64_t length,
                                  std::vector<std::uint32_t>& out) const {
  const std::int64_t last = std::min(length, end_ - p) - shape_.gram;
  for (std::int64_t residue = 0; residue < shape_.stride; ++residue) {
    const auto positions_at = [&](std::int64_t offset) { return positions_of(newfile.data() + p + offset); };
    const auto offset = shortest_listed(residue, last, shape_.stride, [&](std::int64_t at) {
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

}  // namespace vd
