#include "applier/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vd {
namespace {

// Builds an argv from words; the strings live as long as the helper.
struct Argv {
  explicit Argv(std::vector<std::string> words) : words_(std::move(words)) {
    pointers_.push_back(const_cast<char*>("Varmend"));
    for (std::string& word : words_) pointers_.push_back(word.data());
  }
  int argc() { return static_cast<int>(pointers_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;
};

ApplierOptions with(const char* third, bool direct, bool backup) {
  ApplierOptions options;
  options.oldName = "old";
  options.patchName = "patch";
  options.thirdName = third;
  options.direct = direct;
  options.backup = backup;
  return options;
}

TEST(ApplierCombinations, AcceptsOnlyTheFourMeaningfulOnes) {
  EXPECT_TRUE(is_accepted_combination(with("new", false, false)));
  EXPECT_TRUE(is_accepted_combination(with(nullptr, true, false)));
  EXPECT_TRUE(is_accepted_combination(with("inter", true, false)));
  EXPECT_TRUE(is_accepted_combination(with("bak", true, true)));
  EXPECT_FALSE(is_accepted_combination(with(nullptr, false, false)));
  EXPECT_FALSE(is_accepted_combination(with(nullptr, false, true)));
  EXPECT_FALSE(is_accepted_combination(with(nullptr, true, true)));
  EXPECT_FALSE(is_accepted_combination(with("bak", false, true)));
}

TEST(ApplierCombinations, NeedsBothInputs) {
  ApplierOptions options = with("new", false, false);
  options.patchName = nullptr;
  EXPECT_FALSE(is_accepted_combination(options));
}

TEST(ApplierCommandLine, KeywordsStandAnywhereAndIgnoreCase) {
  Argv line({"Recursive", "old", "patch", "bak", "BACKUP", "dIrEcT", "noversion"});
  const ApplierOptions options = parse_applier_command_line(line.argc(), line.argv());
  EXPECT_STREQ(options.oldName, "old");
  EXPECT_STREQ(options.patchName, "patch");
  EXPECT_STREQ(options.thirdName, "bak");
  EXPECT_TRUE(options.recursive);
  EXPECT_TRUE(options.direct);
  EXPECT_TRUE(options.backup);
  EXPECT_TRUE(options.noVersion);
  EXPECT_FALSE(options.quiet);
}

TEST(ApplierCommandLine, AKeywordGivenTwiceLeavesTheSecondAsAFileName) {
  Argv line({"quiet", "quiet", "patch", "new", "extra"});
  const ApplierOptions options = parse_applier_command_line(line.argc(), line.argv());
  EXPECT_TRUE(options.quiet);
  EXPECT_STREQ(options.oldName, "quiet");
  EXPECT_STREQ(options.patchName, "patch");
  EXPECT_STREQ(options.thirdName, "new");
}

TEST(ApplierCommandLineDeathTest, BackupWithoutDirectIsMissingArguments) {
  Argv line({"old", "patch", "BACKUP", "bak"});
  EXPECT_EXIT(parse_applier_command_line(line.argc(), line.argv()), testing::ExitedWithCode(5), "");
}

TEST(ApplierCommandLineDeathTest, HelpExitsZeroWhateverElseIsThere) {
  Argv line({"old", "patch", "new", "--HELP"});
  EXPECT_EXIT(parse_applier_command_line(line.argc(), line.argv()), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vd
