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
    char leaf[40];
    std::snprintf(leaf, sizeof leaf, "t%08lx_%d", static_cast<unsigned long>(getpid()), counter);
    return dir_ + "/" + leaf;
  }

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
  FILE* stream = open_temp(&name);
  umask(oldMask);
  ASSERT_NE(stream, nullptr);
  char pid[16];
  std::snprintf(pid, sizeof pid, "%08lx", static_cast<unsigned long>(getpid()));
  const std::string prefix = dir_ + "/t" + pid + "_";
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
  FILE* other = open_temp(&second);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(counter_of(second), counter_of(name) + 1);
  close_file(other);
  close_file(stream);
}

TEST_F(TempFiles, ReadAndAppend) {
  std::string name;
  FILE* stream = open_temp(&name);
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
  FILE* first = open_temp(&name);
  ASSERT_NE(first, nullptr);
  const int next = counter_of(name) + 1;
  // Someone else's file, and a link planted where our next name would be.
  test::write_file(name_for(next), test::bytes_of("not yours"));
  const std::string target = dir_ + "/target";
  ASSERT_EQ(symlink(target.c_str(), name_for(next + 1).c_str()), 0);
  std::string third;
  FILE* stream = open_temp(&third);
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
  FILE* stream = open_temp(&name);
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
  FILE* temporary = open_temp(&name);  // one registered file besides it
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(close_file(stream), 0);
  EXPECT_EQ(test::read_file(path), test::bytes_of("keep me"));
  EXPECT_TRUE(exists(name));
  close_file(temporary);
}

TEST_F(TempFiles, CloseAllRemovesEveryOpenTemporaryFile) {
  std::string a, b;
  ASSERT_NE(open_temp(&a), nullptr);
  ASSERT_NE(open_temp(&b), nullptr);
  close_all_temp_files();
  EXPECT_FALSE(exists(a));
  EXPECT_FALSE(exists(b));
}

TEST_F(TempFiles, MissingDirectoryGivesNull) {
  setenv("TMPDIR", (dir_ + "/missing").c_str(), 1);
  EXPECT_EQ(open_temp(), nullptr);
}

}  // namespace
}  // namespace vd
