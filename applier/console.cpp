#include "applier/console.h"

#include <cstdio>

#include "core/run_state.h"

namespace vd {

void show_applying(int pass, const char* versionText) {
  std::printf("\x1b[K Applying patches");
  if (pass > 0) std::printf(" (pass %d)", pass);
  if (versionText != nullptr) std::printf(" to %s", versionText);
  std::printf("... ");
  std::fflush(stdout);
}

void show_record_applied(bool identity) { std::puts(identity ? "" : "OK"); }

void show_new_file_version(const char* leading, const char* columns, const char* versionText) {
  if (versionText != nullptr)
    std::printf("%s New file is\x1b[%sC%s\n", leading, columns, versionText);
  else if (*leading != '\0')
    end_line();
}

void end_line() { std::puts(""); }

void step_back_a_line() { std::printf("\x1b[1A"); }

void fail_other_generation(std::uint8_t generation) {
  std::printf("File format not supported - please use Varmend version ");
  switch (generation) {
    case '0':
      std::puts("1.4");
      break;
    case '1':
      std::puts("1.6");
      break;
    case '2':
      std::puts("2.6");
      break;
    default:
      std::printf("%c\n", generation);
  }
  fatal_exit(nullptr, 11, false);
}

}  // namespace vd
