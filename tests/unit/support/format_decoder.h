// A second reader of block streams, written from the format alone and
// sharing no code with the programs: it executes a stream and also refuses
// what no writer may produce (a longer form than the value needs, a block
// of length 0, insert or replace data not directly followed by its match, a
// match that reads the patch file's header or runs out of its file).
#pragma once

#include <cstdint>
#include <string>

#include "support/test_support.h"

namespace vd::test {

struct StrictDecoding {
  bool ok = false;
  std::string error;  // the first fault, when !ok
  Bytes output;
};

// `patchFile` is the patch file as it was before the record (empty for a
// new one); `farWidth` is the MODE 3 far width in bytes.
StrictDecoding decode_strictly(int mode, int farWidth, std::uint32_t blocks, const Bytes& stream, const Bytes& old,
                               const Bytes& patchFile);

}  // namespace vd::test
