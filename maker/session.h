// The maker's run state, shared by its driver, match index, encoders and the
// handling of an existing patch file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/run_state.h"

namespace vd {

using HeapBytes = std::unique_ptr<std::uint8_t[], FreeDeleter>;

// The MODE a run codes its block stream in, numbered as the type word
// stores it, or AUTO, which has the optimizer choose one.
enum class MakerMode { Auto = 0, Mode1 = 1, Mode2 = 2, Mode3 = 3, Mode4 = 4 };

struct MakerOptions {
  MakerMode mode = MakerMode::Mode3;
  long vary = 0;
  bool deep = false;
  bool verbose = false;
  bool mem128 = false;
  bool mem256 = false;
  // The exact-price encoder instead of the greedy ones; VARY is ignored.
  bool optimal = false;
  const char* oldName = nullptr;
  const char* newName = nullptr;
  const char* patchName = nullptr;
};

struct MakerSession {
  const char* oldName = "";
  const char* newName = "";
  const char* patchName = "";
  // The file the new record is written to: the patch file itself, or a file
  // beside an existing one that replaces it when complete.
  std::string patchPath;

  // Whole files in memory; each allocation is one byte longer than the file.
  HeapBytes oldBytes, newBytes, patchBytes;
  std::uint8_t* oldData = nullptr;
  std::int32_t oldSize = 0;
  std::uint8_t* newData = nullptr;
  std::int32_t newSize = 0;
  // The patch file as it was when opened; 0 means a new patch file.
  std::uint8_t* patchData = nullptr;
  std::int32_t patchDataSize = 0;

  std::int32_t minBlock = 3;
  bool verbose = false;
  // The encoders list every block instead of showing a percentage.
  bool blockListing = false;
  // The patch file was empty when opened, so this run writes its header.
  bool created = false;
  // Where the new record starts in the patch file.
  std::int32_t recordStart = 12;
};

// What one encoder run produces.
struct EncodeResult {
  std::int64_t patchsize = 20;  // widened: checked against the format's limit before it is stored
  std::uint32_t blocks = 0;
  std::int32_t mode = 0;
  FILE* out = nullptr;
  std::int32_t vary = 0;
  bool identical = false;
  std::int32_t relocOld = 0;
  std::int32_t relocNew = 0;
};

// What one encoder run hands on to the next candidate of the optimizer: the
// position a replace data block would continue at, which the last data
// block of the previous run set, and whether the last MODE 1 run coded the
// newfile as one match block, which only a MODE 1 run decides.
struct CarriedState {
  std::int64_t replacePosition = 0;
  bool identical = false;
};

}  // namespace vd
