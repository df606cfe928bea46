// Command-line keywords in the manner of the AmigaOS shell, and the console
// conventions both programs share.
//
// A keyword is a whole word matched without regard to ASCII case; a value
// keyword takes the next word as its decimal value; every word no keyword
// consumed is a file name, taken in command-line order. Positionals are taken
// after all keywords, so keywords may stand anywhere on the line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vd {

// Console sequences: "\e[1A" cursor up, "\e[K" erase to the end of the line.
inline constexpr const char* kEraseLastLine = "\x1b[1A\x1b[K";

// 0 when equal ignoring the case of ASCII letters, else the difference of the
// first differing pair after lower-casing.
int compare_nocase(const char* argument, const char* keyword);

class CommandLine {
 public:
  CommandLine(int argc, char** argv);

  // With a keyword: consumes its first free occurrence. With null: consumes
  // the next free positional. Returns the argument's index, or 0 for none.
  int find_arg(const char* keyword);

  // A value keyword: when found, the next word (if any) is converted with
  // strtol and consumed, used or not; when the keyword is the last word the
  // missing value condition is set and `value` keeps its default.
  bool find_value(const char* keyword, long& value);

  // Each switch in turn: whether its keyword was there, consumed.
  struct Switch {
    const char* keyword;
    bool& present;
  };
  void take_switches(std::initializer_list<Switch> switches);
  // The next `count` free positionals, consumed: their words, in order, and
  // null for each one missing.
  template <std::size_t count>
  std::array<const char*, count> take_positionals() {
    std::array<const char*, count> words{};
    for (const char*& word : words)
      if (const int index = find_arg(nullptr)) word = argv_[index];
    return words;
  }

  bool missing_value() const { return missingValue_; }
  const char* arg(int index) const { return argv_[index]; }
  bool help_requested();

 private:
  int argc_;
  char** argv_;
  std::vector<std::uint8_t> used_;
  bool missingValue_ = false;
};

// Prints the banner (the version string without its "$VER: "), the usage
// text and the help text (null for none), then exits with code 0.
[[noreturn]] void print_help(const char* versionString, const char* usage, const char* helpText);

// "Required arguments missing.", the hint to ask for help, then the usage
// text through fatal_exit with exit code 5.
[[noreturn]] void fail_missing_arguments(const char* programName, const char* usage);

}  // namespace vd
