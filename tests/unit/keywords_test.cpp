#include "core/keywords.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace vd {
namespace {

// An argument vector that outlives the CommandLine looking at it.
class Args {
 public:
  Args(std::initializer_list<const char*> words) {
    for (const char* word : words) storage_.emplace_back(word);
    for (auto& word : storage_) pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(storage_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> storage_;
  std::vector<char*> pointers_;
};

TEST(CompareNocase, EqualIgnoringTheCaseOfAsciiLetters) {
  EXPECT_EQ(compare_nocase("mode", "mode"), 0);
  EXPECT_EQ(compare_nocase("MoDe", "mode"), 0);
  EXPECT_EQ(compare_nocase("VERBOSE", "verbose"), 0);
  EXPECT_EQ(compare_nocase("--HELP", "--help"), 0);
  EXPECT_EQ(compare_nocase("-H", "-h"), 0);
  EXPECT_EQ(compare_nocase("?", "?"), 0);
  EXPECT_EQ(compare_nocase("MEM128", "mem128"), 0);
  EXPECT_EQ(compare_nocase("", ""), 0);
}

TEST(CompareNocase, OnlyTheWholeWordMatches) {
  // The difference of the first differing pair, after lower-casing.
  EXPECT_EQ(compare_nocase("MODE2", "mode"), '2');
  EXPECT_EQ(compare_nocase("MODE=3", "mode"), '=');
  EXPECT_EQ(compare_nocase("verb", "verbose"), -'o');
  EXPECT_EQ(compare_nocase("mod", "mode"), -'e');
  EXPECT_EQ(compare_nocase("", "mode"), -'m');
  EXPECT_EQ(compare_nocase("b", "a"), 1);
  EXPECT_EQ(compare_nocase("Mode", "made"), 'o' - 'a');
  EXPECT_NE(compare_nocase(" mode", "mode"), 0);
}

TEST(CompareNocase, OnlyAToZAreLowerCased) {
  // '@' and '`', '[' and '{' differ by 0x20 like letter pairs, but are no letters.
  EXPECT_EQ(compare_nocase("@", "`"), '@' - '`');
  EXPECT_EQ(compare_nocase("[", "{"), '[' - '{');
  // Bytes 128 to 255 compare unchanged: no Latin-1 case folding.
  EXPECT_NE(compare_nocase("\xC4", "\xE4"), 0);
  EXPECT_EQ(compare_nocase("\xC4", "\xC4"), 0);
  // Compared as unsigned bytes.
  EXPECT_EQ(compare_nocase("\xE4", "a"), 0xE4 - 'a');
}

TEST(FindArg, TakesTheFirstFreeOccurrenceOfAKeyword) {
  Args args{"Vardelta", "old", "VERBOSE", "new", "verbose", "patch"};
  CommandLine line(args.argc(), args.argv());
  EXPECT_EQ(line.find_arg("verbose"), 2);
  EXPECT_EQ(line.find_arg("verbose"), 4);
  EXPECT_EQ(line.find_arg("verbose"), 0);
  EXPECT_EQ(line.find_arg(nullptr), 1);
  EXPECT_EQ(line.find_arg(nullptr), 3);
  EXPECT_EQ(line.find_arg(nullptr), 5);
  EXPECT_EQ(line.find_arg(nullptr), 0);
}

TEST(FindArg, NeverExaminesTheProgramName) {
  Args args{"verbose", "old"};
  CommandLine line(args.argc(), args.argv());
  EXPECT_EQ(line.find_arg("verbose"), 0);
  EXPECT_EQ(line.find_arg(nullptr), 1);
  EXPECT_EQ(line.find_arg(nullptr), 0);
}

TEST(FindArg, KeywordsMayStandAnywhere) {
  for (auto words : {std::initializer_list<const char*>{"p", "VERBOSE", "old", "new", "patch"},
                     std::initializer_list<const char*>{"p", "old", "VERBOSE", "new", "patch"},
                     std::initializer_list<const char*>{"p", "old", "new", "patch", "verbose"}}) {
    Args args(words);
    CommandLine line(args.argc(), args.argv());
    EXPECT_NE(line.find_arg("verbose"), 0);
    EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "old");
    EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "new");
    EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "patch");
    EXPECT_EQ(line.find_arg(nullptr), 0);
  }
}

TEST(FindArg, ARepeatedKeywordBeforeTheFilesBecomesAPositional) {
  Args args{"p", "VERBOSE", "VERBOSE", "old", "new"};
  CommandLine line(args.argc(), args.argv());
  EXPECT_EQ(line.find_arg("verbose"), 1);
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "VERBOSE");
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "old");
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "new");
}

TEST(FindArg, AJoinedWordIsNoKeyword) {
  Args args{"p", "MODE2", "old"};
  CommandLine line(args.argc(), args.argv());
  long mode = 3;
  EXPECT_FALSE(line.find_value("mode", mode));
  EXPECT_EQ(mode, 3);
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "MODE2");
}

TEST(FindValue, ReadsTheNextWordAsADecimalNumber) {
  Args args{"p", "old", "MoDe", "2", "new"};
  CommandLine line(args.argc(), args.argv());
  long mode = 3;
  EXPECT_TRUE(line.find_value("mode", mode));
  EXPECT_EQ(mode, 2);
  EXPECT_FALSE(line.missing_value());
  EXPECT_EQ(line.find_arg(nullptr), 1);
  EXPECT_EQ(line.find_arg(nullptr), 4);  // the value 2 is consumed
  EXPECT_EQ(line.find_arg(nullptr), 0);
}

TEST(FindValue, ConvertsLikeStrtolInBase10) {
  const struct {
    const char* word;
    long value;
  } cases[] = {{"-2", -2}, {"-10", -10}, {"100", 100}, {"12abc", 12}, {"abc", 0},
               {"", 0},    {" +7", 7},   {"0x10", 0},  {"010", 10}};
  for (const auto& c : cases) {
    Args args{"p", "vary", c.word};
    CommandLine line(args.argc(), args.argv());
    long value = 99;
    EXPECT_TRUE(line.find_value("vary", value));
    EXPECT_EQ(value, c.value) << '"' << c.word << '"';
    EXPECT_EQ(line.find_arg(nullptr), 0) << "the value word is consumed";
  }
}

TEST(FindValue, TakesTheNextWordEvenWhenItWasAlreadyConsumed) {
  Args args{"p", "mode", "verbose", "4"};
  CommandLine line(args.argc(), args.argv());
  EXPECT_EQ(line.find_arg("verbose"), 2);
  long mode = 3;
  EXPECT_TRUE(line.find_value("mode", mode));
  EXPECT_EQ(mode, 0);  // from "verbose", not from the next free word
  EXPECT_EQ(line.find_arg(nullptr), 3);
  EXPECT_EQ(line.find_arg(nullptr), 0);
}

TEST(FindValue, AKeywordAsValueIsConsumedAndNotFoundLater) {
  // VARY MODE 2 old new patch: VARY takes MODE as its value (0); MODE keeps
  // its default; 2 becomes the oldfile, old the newfile, new the patchfile.
  Args args{"Vardelta", "VARY", "MODE", "2", "old", "new", "patch"};
  CommandLine line(args.argc(), args.argv());
  long vary = 5, mode = 3;
  EXPECT_TRUE(line.find_value("vary", vary));
  EXPECT_EQ(vary, 0);
  EXPECT_FALSE(line.find_value("mode", mode));
  EXPECT_EQ(mode, 3);
  EXPECT_FALSE(line.missing_value());
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "2");
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "old");
  EXPECT_STREQ(line.arg(line.find_arg(nullptr)), "new");
}

TEST(FindValue, KeywordAsLastWordSetsTheMissingValueCondition) {
  Args args{"Vardelta", "old", "new", "patch", "MODE"};
  CommandLine line(args.argc(), args.argv());
  long mode = 3;
  EXPECT_FALSE(line.missing_value());
  EXPECT_TRUE(line.find_value("mode", mode));
  EXPECT_EQ(mode, 3);
  EXPECT_TRUE(line.missing_value());
  EXPECT_EQ(line.find_arg(nullptr), 1);
  EXPECT_EQ(line.find_arg(nullptr), 2);
  EXPECT_EQ(line.find_arg(nullptr), 3);
  EXPECT_EQ(line.find_arg(nullptr), 0);
}

TEST(FindValue, AbsentKeywordLeavesEverythingAlone) {
  Args args{"p", "old"};
  CommandLine line(args.argc(), args.argv());
  long vary = 7;
  EXPECT_FALSE(line.find_value("vary", vary));
  EXPECT_EQ(vary, 7);
  EXPECT_FALSE(line.missing_value());
  EXPECT_EQ(line.find_arg(nullptr), 1);
}

TEST(HelpRequested, AnyOfTheThreeProbesAnywhereInAnyCase) {
  for (const char* probe : {"?", "-h", "-H", "--help", "--HELP", "--Help"}) {
    Args args{"p", "old", "new", "patch", probe};
    CommandLine line(args.argc(), args.argv());
    EXPECT_TRUE(line.help_requested()) << probe;
  }
  for (const char* word : {"help", "-help", "h", "??", "--h"}) {
    Args args{"p", word};
    CommandLine line(args.argc(), args.argv());
    EXPECT_FALSE(line.help_requested()) << word;
    EXPECT_EQ(line.find_arg(nullptr), 1) << word;
  }
}

TEST(HelpRequested, EmptyCommandLineHasNoArguments) {
  Args args{"Vardelta"};
  CommandLine line(args.argc(), args.argv());
  EXPECT_FALSE(line.help_requested());
  EXPECT_EQ(line.find_arg(nullptr), 0);
  EXPECT_EQ(line.find_arg("mode"), 0);
}

}  // namespace
}  // namespace vd
