#include "core/temp_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// Each test gets its own $TMPDIR.
class TempFiles : public testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::getenv("TMPDIR");
    hadTmpdir_ = previous != nullptr;
    if (hadTmpdir_) previousTmpdir_ = previous;
    char pattern[] = "/tmp/vd_temp_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    close_all_temp_files();
    if (hadTmpdir_)
      setenv("TMPDIR", previousTmpdir_.c_str(), 1);
    else
      unsetenv("TMPDIR");
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  // The counter of a name made by open_temp.
  static int counter_of(const std::string& name) { return std::stoi(name.substr(name.rfind('_') + 1)); }
  std::string name_for(int counter) const {
    return prefix() + std::to_string(getpid()) + "_" + std::to_string(counter);
  }
  // Named after the file the work is for, whatever its folder.
  std::string prefix() const { return dir_ + "/patch.Vardelta-partial."; }
  static constexpr char kOwner[] = "some/folder/patch";

  std::string dir_;
  bool hadTmpdir_ = false;
  std::string previousTmpdir_;
};

TEST_F(TempFiles, DirectoryComesFromTmpdirElseTmp) {
  EXPECT_EQ(temp_directory(), dir_);
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(temp_directory(), "/tmp");
  unsetenv("TMPDIR");
  EXPECT_EQ(temp_directory(), "/tmp");
}

TEST_F(TempFiles, CreatedPrivatelyUnderThePatternWithTheProcessId) {
  const mode_t oldMask = umask(0);
  std::string name;
  FILE* stream = open_temp(kOwner, &name);
  umask(oldMask);
  ASSERT_NE(stream, nullptr);
  const std::string prefix = this->prefix() + std::to_string(getpid()) + "_";
  ASSERT_EQ(name.substr(0, prefix.size()), prefix);
  const std::string counter = name.substr(prefix.size());
  EXPECT_FALSE(counter.empty());
  EXPECT_EQ(counter.find_first_not_of("0123456789"), std::string::npos) << name;
  struct stat info;
  ASSERT_EQ(lstat(name.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Successive names count up.
  std::string second;
  FILE* other = open_temp(kOwner, &second);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(counter_of(second), counter_of(name) + 1);
  close_file(other);
  close_file(stream);
}

TEST_F(TempFiles, ReadAndAppend) {
  std::string name;
  FILE* stream = open_temp(kOwner, &name);
  ASSERT_NE(stream, nullptr);
  std::fputs("abc", stream);
  std::fseek(stream, 0, SEEK_SET);
  std::fputs("d", stream);  // appended whatever the position
  std::fflush(stream);
  std::rewind(stream);
  char text[8] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, stream), 4u);
  EXPECT_STREQ(text, "abcd");
  close_file(stream);
}

TEST_F(TempFiles, TakenNamesAreSkippedAndLeftAlone) {
  std::string name;
  FILE* first = open_temp(kOwner, &name);
  ASSERT_NE(first, nullptr);
  const int next = counter_of(name) + 1;
  // Someone else's file, and a link planted where our next name would be.
  test::write_file(name_for(next), test::bytes_of("not yours"));
  const std::string target = dir_ + "/target";
  ASSERT_EQ(symlink(target.c_str(), name_for(next + 1).c_str()), 0);
  std::string third;
  FILE* stream = open_temp(kOwner, &third);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(third, name_for(next + 2));
  std::fputs("temporary", stream);
  close_file(stream);
  close_file(first);
  EXPECT_EQ(test::read_file(name_for(next)), test::bytes_of("not yours"));
  EXPECT_FALSE(exists(target)) << "written through a planted link";
  EXPECT_TRUE(exists(name_for(next + 1)));
  EXPECT_FALSE(exists(third));
}

TEST_F(TempFiles, CloseFileRemovesATemporaryFile) {
  std::string name;
  FILE* stream = open_temp(kOwner, &name);
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(exists(name));
  EXPECT_EQ(close_file(stream), 0);
  EXPECT_FALSE(exists(name));
}

TEST_F(TempFiles, CloseFileOfAnOrdinaryStreamDeletesNothing) {
  const std::string path = dir_ + "/ordinary";
  test::write_file(path, test::bytes_of("keep me"));
  FILE* stream = std::fopen(path.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  std::string name;
  FILE* temporary = open_temp(kOwner, &name);  // one registered file besides it
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(close_file(stream), 0);
  EXPECT_EQ(test::read_file(path), test::bytes_of("keep me"));
  EXPECT_TRUE(exists(name));
  close_file(temporary);
}

TEST_F(TempFiles, CloseAllRemovesEveryOpenTemporaryFile) {
  std::string a, b;
  ASSERT_NE(open_temp(kOwner, &a), nullptr);
  ASSERT_NE(open_temp(kOwner, &b), nullptr);
  close_all_temp_files();
  EXPECT_FALSE(exists(a));
  EXPECT_FALSE(exists(b));
}

// A name that would be too long keeps its start and stays the same for the
// same name, so that a later run finds a file named after it again.
TEST_F(TempFiles, LongNamesAreShortenedTheSameWayEveryTime) {
  EXPECT_EQ(fitted_leaf("patch", 30), "patch");
  const std::string longLeaf(250, 'x');
  const std::string fitted = fitted_leaf(longLeaf, 30);
  EXPECT_EQ(fitted.size(), kMaxLeafName - 30);
  EXPECT_EQ(fitted.substr(0, 200), longLeaf.substr(0, 200));
  EXPECT_EQ(fitted_leaf(longLeaf, 30), fitted);
  EXPECT_NE(fitted_leaf(std::string(249, 'x') + "y", 30), fitted);
  std::string name;
  FILE* stream = open_temp(dir_ + "/" + longLeaf, &name);
  ASSERT_NE(stream, nullptr) << "no temporary file for a long owner name";
  EXPECT_LE(name.size() - dir_.size() - 1, kMaxLeafName);
  close_file(stream);
}

TEST_F(TempFiles, MissingDirectoryGivesNull) {
  setenv("TMPDIR", (dir_ + "/missing").c_str(), 1);
  EXPECT_EQ(open_temp(kOwner), nullptr);
}

}  // namespace
}  // namespace vd
