#include "core/patch_journal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/crc32.h"

namespace vd {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put_u32(Bytes& data, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// A patch file's shape as far as the journal cares: magic, CRC total over
// everything after it, file count, body.
Bytes patch_file(std::uint32_t count, std::size_t bodySize) {
  Bytes data(12 + bodySize);
  data[0] = 'V', data[1] = 'L', data[2] = 'M', data[3] = '3';
  for (std::size_t i = 12; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  put_u32(data, 8, count);
  put_u32(data, 4, crc32_of(data.data() + 8, static_cast<std::int64_t>(data.size() - 8)));
  return data;
}

class PatchJournal : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vd_journal_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(mkdir((dir_ + "/tmp").c_str(), 0700), 0);
    setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
    path_ = dir_ + "/p";
    original_ = patch_file(1, 70000);
    store(original_);
    fd_ = open(path_.c_str(), O_RDWR);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    close(fd_);
    unsetenv("TMPDIR");
    const std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  void store(const Bytes& data) const {
    std::ofstream(path_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  Bytes contents(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  // What an append leaves when it dies after rewriting the header.
  void append_torn() const { store(patch_file(2, 70000 + 5000)); }
  Recovery recover(std::string& said) {
    testing::internal::CaptureStdout();
    const Recovery outcome = recover_patch_file(path_.c_str(), fd_, true);
    said = testing::internal::GetCapturedStdout();
    return outcome;
  }
  static bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
  }

  std::string dir_, path_;
  Bytes original_;
  int fd_ = -1;
};

// The rollback itself, and journals that no longer fit: the end-to-end cases.
TEST_F(PatchJournal, RemovesAnIncompleteJournalWithoutTouchingTheFile) {
  std::string journal, said;
  ASSERT_TRUE(begin_journal(path_.c_str(), fd_, journal));
  ASSERT_EQ(truncate(journal.c_str(), 11), 0);
  EXPECT_EQ(recover(said), Recovery::Clean);
  EXPECT_EQ(said, "");
  EXPECT_EQ(contents(path_), original_);
  EXPECT_FALSE(exists(journal));
}

TEST_F(PatchJournal, GoesToTheTemporaryFolderWhenTheNameBesideIsTaken) {
  const std::string users = path_ + ".append-journal";
  std::ofstream(users) << "the user's own file";
  std::string journal, said;
  ASSERT_TRUE(begin_journal(path_.c_str(), fd_, journal));
  EXPECT_EQ(journal.rfind(dir_ + "/tmp/p.", 0), 0u) << journal;
  EXPECT_NE(journal.find("journal"), std::string::npos);
  append_torn();
  EXPECT_EQ(recover(said), Recovery::Clean);
  EXPECT_EQ(contents(path_), original_);
  EXPECT_FALSE(exists(journal));
  EXPECT_EQ(contents(users).size(), 19u);
}

}  // namespace
}  // namespace vd
