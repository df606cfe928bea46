// The relocation transform for AmigaOS hunk executables.
//
// Relocation tables list offsets into hunks; from one build of a program to
// the next nearly all of them move, but the distances between neighbouring
// offsets mostly stay. Storing each offset as its difference to the previous
// one of its group therefore makes two versions far more alike. The sum
// direction undoes it exactly: the walk never changes hunk types, counts or
// lengths, so it meets the same groups in a transformed image.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vd {

enum class RelocDirection { Difference = 0, Sum = 1 };

// Transforms the image in place. In the difference direction returns 0 when
// the image is no hunk executable or holds no relocation group, 1 when groups
// were met but the walk stopped before the end of the image, and 2 when it
// ended exactly there; the sum direction returns 0. Malformed data ends the
// walk: nothing outside the image is ever read or written.
int reloc_transform(std::uint8_t* image, std::int64_t length, RelocDirection direction);

// Transforms a whole file, open for update, in place. Failures end the run
// through fatal_exit with exit code 15 and the partial output removed.
void reloc_transform_file(FILE* stream, RelocDirection direction);

}  // namespace vd
