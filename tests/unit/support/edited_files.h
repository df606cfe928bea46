// Generated files of a few kinds, and newer versions of them, for the
// property tests of the encoders.
#pragma once

#include <cstddef>

#include "support/test_support.h"

namespace vd::test {

// Code-like data: words with small numbers in them, so that an edit
// changes a few bytes between equal ones, as a moved pointer does.
Bytes code_like(Rng& rng, std::size_t words);
Bytes text_like(Rng& rng, std::size_t words);
Bytes runs_of_bytes(Rng& rng, std::size_t runs);
// A newer version: bytes changed here and there, stretches inserted,
// deleted and moved.
Bytes edited(Rng& rng, Bytes file);

}  // namespace vd::test
