// What the maker's match index, encoders and optimizer tell the user, in the
// exact texts and cursor movements of the maker's console.
#pragma once

#include <cstdint>

namespace vd {

enum class ListOwner { Oldfile, Patchfile };

// The search the lists of one file allow when fewer than the three-byte
// lists fit (key length 2, 1 or 0); `keyword` when MEM128 or MEM256 asked for
// the smaller lists.
void report_list_level(ListOwner owner, int keyLength, bool keyword);

// A status line while a file's lists are sorted, erased afterwards.
void show_sorting_note(const char* name);
void erase_sorting_note();

// The encoder's running percentage, overwriting itself.
void show_percent(std::int64_t percent);

// The percentage of `total` bytes an encoder has reached, shown whenever it
// changes. The exact-price encoder asks at every byte: the division is
// done only where the percentage can have changed.
class RunningPercent {
 public:
  explicit RunningPercent(std::int64_t total) : total_(total) {}
  void show(std::int64_t position);

 private:
  std::int64_t total_;
  std::int64_t shown_ = 200;  // no percentage, so the first one is always shown
  // The positions whose percentage is the one last computed.
  std::int64_t from_ = 0;
  std::int64_t to_ = 0;
};
// One line per block with VERBOSE: the position is within `fileName`.
void list_match_block(std::int64_t start, std::int64_t length, std::int64_t position, const char* fileName);
void list_data_block(std::int64_t start, std::int64_t count);

// The optimizer's progress over its candidates.
void show_pass(int pass, int passes, bool deep);
void show_candidate_size(std::int64_t patchsize);
void note_identical_files();
void report_best_candidate(int mode, int vary, int relocOld, int relocNew);

}  // namespace vd
