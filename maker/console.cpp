#include "maker/console.h"

#include <cstdio>

#include "core/keywords.h"

namespace vd {
namespace {

struct ListNotes {
  const char* keyword;
  const char* twoByteLists;  // after the keyword or "Not enough memory for 3D lists"
  const char* oneByteLists;
  const char* noLists;
};

constexpr ListNotes kOldfileNotes = {"mem128", " - using 2D list search.",
                                     "Not enough memory for 2D lists - using simple list search.",
                                     "Not enough memory for lists - using mode 3 and linear search."};
constexpr ListNotes kPatchfileNotes = {"mem256", " - using 2D list search for patchfile.",
                                       "Not enough memory for patchfile 2D lists - using\nsimple list search.",
                                       "Not enough memory for patchfile lists - searching only in oldfile."};

}  // namespace

void report_list_level(ListOwner owner, int keyLength, bool keyword) {
  const ListNotes& notes = owner == ListOwner::Oldfile ? kOldfileNotes : kPatchfileNotes;
  switch (keyLength) {
    case 2:
      std::printf("%s", keyword ? notes.keyword : "Not enough memory for 3D lists");
      std::puts(notes.twoByteLists);
      break;
    case 1:
      std::puts(notes.oneByteLists);
      break;
    case 0:
      std::puts(notes.noLists);
      break;
  }
}

void show_sorting_note(const char* name) {
  std::printf("Sorting %s...\n", name);
  std::fflush(stdout);
}

void erase_sorting_note() { std::printf("%s\x1b[1A\n", kEraseLastLine); }

void show_percent(std::int64_t percent) {
  std::printf("\r%3lu%%", static_cast<unsigned long>(percent));
  std::fflush(stdout);
}

void RunningPercent::show(std::int64_t position) {
  if (position >= from_ && position < to_) return;
  const std::int64_t percent = position * 100 / total_;
  from_ = (percent * total_ + 99) / 100;
  to_ = ((percent + 1) * total_ + 99) / 100;
  if (percent == shown_) return;
  show_percent(percent);
  shown_ = percent;
}

void list_match_block(std::int64_t start, std::int64_t length, std::int64_t position, const char* fileName) {
  std::printf("%8ld match: %8ld bytes from position %8ld in %s\n", static_cast<long>(start),
              static_cast<long>(length), static_cast<long>(position), fileName);
}

void list_data_block(std::int64_t start, std::int64_t count) {
  std::printf("%8ld data:  %8ld byte%c\n", static_cast<long>(start), static_cast<long>(count), count > 1 ? 's' : ' ');
}

void show_pass(int pass, int passes, bool deep) {
  std::printf(deep ? "\r\x1b[1A\x1b[K Pass %2d of %2d\n" : "\r\x1b[1A\x1b[K Pass %d of %d\n", pass, passes);
}

void show_candidate_size(std::int64_t patchsize) {
  std::printf("\r\x1b[1A\x1b[14C%8ld\n\n", static_cast<long>(patchsize));
}

void note_identical_files() { std::puts("\x1b[1A Oldfile and newfile are identical.\n"); }

void report_best_candidate(int mode, int vary, int relocOld, int relocNew) {
  std::printf("\x1b[1A Best result with MODE %ld VARY %d reloc %d %d.\n\n", static_cast<long>(mode), vary, relocOld,
              relocNew);
}

}  // namespace vd
