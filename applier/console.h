// What the applier's passes and decoder tell the user, in the exact texts
// and cursor movements of the applier's console.
#pragma once

#include <cstdint>

namespace vd {

// "Applying patches", with the pass number from the second pass of a
// RECURSIVE run on (0: none) and the oldfile's version text when it has one.
// The line stays open for the verdict.
void show_applying(int pass, const char* versionText);
// The verdict on a decoded record: "OK", or only the end of the line for an
// identity record.
void show_record_applied(bool identity);
// The new file's version text, `columns` to the right of "New file is";
// without one, a line break when `leading` is not empty.
void show_new_file_version(const char* leading, const char* columns, const char* versionText);
void end_line();
// The next pass writes its progress over this pass's line.
void step_back_a_line();

// A patch file of an earlier generation names the version that reads it;
// exit 11.
[[noreturn]] void fail_other_generation(std::uint8_t generation);

}  // namespace vd
