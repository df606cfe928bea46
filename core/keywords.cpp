#include "core/keywords.h"

#include <cstdio>
#include <cstdlib>

#include "core/run_state.h"

namespace vd {

static int lower_ascii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

int compare_nocase(const char* argument, const char* keyword) {
  const auto* a = reinterpret_cast<const unsigned char*>(argument);
  const auto* k = reinterpret_cast<const unsigned char*>(keyword);
  while (*a != '\0' && lower_ascii(*a) == lower_ascii(*k)) {
    ++a;
    ++k;
  }
  return lower_ascii(*a) - lower_ascii(*k);
}

CommandLine::CommandLine(int argc, char** argv)
    : argc_(argc), argv_(argv), used_(static_cast<std::size_t>(argc > 0 ? argc : 1), 0) {}

int CommandLine::find_arg(const char* keyword) {
  for (int i = 1; i < argc_; ++i) {
    if (used_[i]) continue;
    if (keyword == nullptr || compare_nocase(argv_[i], keyword) == 0) {
      used_[i] = 1;
      return i;
    }
  }
  return 0;
}

void CommandLine::take_switches(std::initializer_list<Switch> switches) {
  for (const Switch& s : switches) s.present = find_arg(s.keyword) != 0;
}

bool CommandLine::find_value(const char* keyword, long& value) {
  const int index = find_arg(keyword);
  if (index == 0) return false;
  if (index + 1 < argc_) {
    value = std::strtol(argv_[index + 1], nullptr, 10);
    used_[index + 1] = 1;
  } else {
    missingValue_ = true;
  }
  return true;
}

bool CommandLine::help_requested() {
  const bool question = find_arg("?") != 0;
  const bool shortHelp = find_arg("-h") != 0;
  const bool longHelp = find_arg("--help") != 0;
  return question || shortHelp || longHelp;
}

void print_help(const char* versionString, const char* usage, const char* helpText) {
  std::printf("%s\n", versionString + 6);
  std::puts(usage);
  if (helpText != nullptr) std::puts(helpText);
  std::fflush(stdout);
  std::exit(0);
}

void fail_missing_arguments(const char* programName, const char* usage) {
  std::puts("Required arguments missing.");
  std::printf("Type %s ? for help.\n", programName);
  fatal_exit(usage, 5, false);
}

}  // namespace vd
