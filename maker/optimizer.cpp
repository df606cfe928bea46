#include "maker/optimizer.h"

#include <cstdio>
#include <tuple>
#include <vector>

#include "core/reloc.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "maker/console.h"
#include "maker/encoder.h"
#include "maker/optimal_encoder.h"

namespace vd {
namespace {

// Two bits: bit 0 codes the oldfile transformed, bit 1 the newfile.
constexpr int kOldBit = 1;
constexpr int kNewBit = 2;

struct Transformable {
  bool oldFile = false;
  bool newFile = false;
};

Transformable probe(MakerSession& s) {
  Transformable result;
  for (auto [data, size, flag] : {std::tuple{s.oldData, s.oldSize, &result.oldFile},
                                  std::tuple{s.newData, s.newSize, &result.newFile}}) {
    *flag = reloc_transform(data, size, RelocDirection::Difference) != 0;
    if (*flag) reloc_transform(data, size, RelocDirection::Sum);
  }
  return result;
}

std::vector<int> combinations(bool deep, const Transformable& transformable) {
  if (!deep) return {kOldBit | kNewBit};
  const int step = transformable.oldFile ? 3 : 2;
  const int last = transformable.newFile ? 3 : 1;
  std::vector<int> result;
  for (int combination = 0; combination <= last; combination += step) result.push_back(combination);
  return result;
}

class Optimizer {
 public:
  Optimizer(MakerSession& session, MatchIndex& index, bool deep, bool optimal)
      : s_(session), index_(index), deep_(deep), optimal_(optimal) {}

  EncodeResult run();

 private:
  void set_old_transform(bool wanted);
  void set_new_transform(bool wanted);
  void apply_combination(int combination);
  // False when the search ends because the best result is a copy of the oldfile.
  bool run_candidate(int mode, int vary);
  void keep_smaller(EncodeResult& candidate);

  MakerSession& s_;
  MatchIndex& index_;
  const bool deep_;
  const bool optimal_;
  EncodeResult best_;
  // Handed from each candidate to the next: the other MODEs carry the
  // `identical` of the last MODE 1 candidate, which decides when the search
  // stops early.
  CarriedState carried_;
  int relocOld_ = 0;
  int relocNew_ = 0;
  int pass_ = 0;
  int passes_ = 0;
};

// The oldfile's index must always describe the current bytes of oldData.
void Optimizer::set_old_transform(bool wanted) {
  if (wanted && relocOld_ == 0) {
    relocOld_ = reloc_transform(s_.oldData, s_.oldSize, RelocDirection::Difference);
    index_.build_old_index(s_.oldName);
  } else if (!wanted && relocOld_ != 0) {
    relocOld_ = reloc_transform(s_.oldData, s_.oldSize, RelocDirection::Sum);
    index_.build_old_index(s_.oldName);
  }
}

void Optimizer::set_new_transform(bool wanted) {
  if (wanted && relocNew_ == 0)
    relocNew_ = reloc_transform(s_.newData, s_.newSize, RelocDirection::Difference);
  else if (!wanted && relocNew_ != 0)
    relocNew_ = reloc_transform(s_.newData, s_.newSize, RelocDirection::Sum);
}

void Optimizer::apply_combination(int combination) {
  set_old_transform(combination & kOldBit);
  set_new_transform(combination & kNewBit);
  // Without DEEP a pair is coded transformed only when both files are.
  if (!deep_ && (relocOld_ != 0) != (relocNew_ != 0)) {
    set_new_transform(false);
    set_old_transform(false);
  }
}

void Optimizer::keep_smaller(EncodeResult& candidate) {
  if (best_.patchsize == 0) {
    best_ = candidate;
  } else if (candidate.patchsize < best_.patchsize) {
    close_file(best_.out);
    best_ = candidate;
  } else {
    close_file(candidate.out);
  }
}

bool Optimizer::run_candidate(int mode, int vary) {
  ++pass_;
  s_.minBlock = 3 + vary;
  show_pass(pass_, passes_, deep_);
  index_.start_pass(mode);
  EncodeResult candidate;
  candidate.mode = mode;
  candidate.vary = vary;
  candidate.relocOld = relocOld_;
  candidate.relocNew = relocNew_;
  candidate.out = open_temp(s_.patchName);
  if (candidate.out == nullptr) fatal_exit("Cannot open temporary file.", 15, s_.created);
  if (optimal_)
    encode_optimal(mode, s_, index_, candidate, carried_);
  else
    encode_mode(mode, s_, index_, candidate, carried_);
  const std::int64_t size = candidate.patchsize;
  keep_smaller(candidate);
  if (s_.verbose) show_candidate_size(size);
  if (!best_.identical) return true;
  if (s_.verbose) note_identical_files();
  return false;
}

EncodeResult Optimizer::run() {
  best_.patchsize = 0;
  const Transformable transformable = probe(s_);
  const std::vector<int> tried = combinations(deep_, transformable);
  const std::vector<int> varies = deep_ && !optimal_ ? std::vector<int>{-1, 0, 1} : std::vector<int>{0};
  passes_ = static_cast<int>(tried.size() * varies.size() * 4);
  // Only DEEP's VARY runs passes of one MODE one after another.
  if (varies.size() > 1)
    index_.remember_searches();
  else
    index_.remember_longest_matches();
  bool searching = true;
  for (auto combination = tried.begin(); searching && combination != tried.end(); ++combination) {
    apply_combination(*combination);
    for (int mode = 1; searching && mode <= 4; ++mode)
      for (auto vary = varies.begin(); searching && vary != varies.end(); ++vary)
        searching = run_candidate(mode, *vary);
  }
  if (s_.verbose && deep_)
    report_best_candidate(best_.mode, best_.vary, best_.relocOld, best_.relocNew);
  return best_;
}

}  // namespace

EncodeResult run_optimizer(MakerSession& session, MatchIndex& index, bool deep, bool optimal) {
  return Optimizer(session, index, deep, optimal).run();
}

}  // namespace vd
