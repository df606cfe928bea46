#include "applier/placement.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/files.h"
#include "applier/session.h"
#include "core/run_state.h"

namespace vd {
namespace {

// Tests may run in parallel processes: each scratch name carries the
// process and the test.
std::string scratch(const std::string& leaf) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::string test = info != nullptr ? info->name() : "none";
  return testing::TempDir() + "applier_" + std::to_string(getpid()) + "_" + test + "_" + leaf;
}

std::string path_of(const std::string& leaf) { return scratch(leaf); }

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A DIRECT run's session holding the verified output open, with its streams
// registered with fatal_exit as the driver registers them.
ApplierSession& direct_session(const std::string& oldName, const std::string& decodeTarget) {
  static ApplierSession session;
  session.options.oldName = oldName.c_str();
  session.options.direct = true;
  session.options.quiet = true;
  session.decodeTarget = decodeTarget;
  session.output = {std::fopen(decodeTarget.c_str(), "rb"), session.decodeTarget.c_str()};
  run_state().streams = {&session.old, &session.output, &session.patch};
  return session;
}

class PlacementTest : public testing::Test {
 protected:
  void SetUp() override {
    if (working_buffer().data == nullptr) {
      ASSERT_TRUE(alloc_working_buffer(64));
    }
  }
  void TearDown() override {
    for (const char* leaf : {"source", "destination", "short", "original", "link", "other", "old",
                             "inter", "bak"})
      std::remove(path_of(leaf).c_str());
    for (const char* leaf : {"olddir", "tmp"}) rmdir(path_of(leaf).c_str());
  }
};

TEST_F(PlacementTest, CopyStreamCopiesInChunksOfTheWorkingBuffer) {
  const std::string bytes(1000, 'q');
  write_file(path_of("source"), bytes + "tail");
  FILE* source = std::fopen(path_of("source").c_str(), "rb");
  FILE* destination = std::fopen(path_of("destination").c_str(), "wb");
  EXPECT_EQ(copy_stream(source, destination, 1000), CopyFault::None);
  std::fclose(source);
  std::fclose(destination);
  EXPECT_EQ(read_file(path_of("destination")), bytes);
}

TEST_F(PlacementTest, CopyStreamReportsWhichSideFailed) {
  write_file(path_of("short"), "abc");
  FILE* source = std::fopen(path_of("short").c_str(), "rb");
  FILE* destination = std::fopen(path_of("destination").c_str(), "wb");
  EXPECT_EQ(copy_stream(source, destination, 4), CopyFault::Read);
  std::fclose(source);
  std::fclose(destination);
  source = std::fopen(path_of("short").c_str(), "rb");
  FILE* readOnly = std::fopen(path_of("short").c_str(), "rb");
  EXPECT_EQ(copy_stream(source, readOnly, 3), CopyFault::Write);
  std::fclose(source);
  std::fclose(readOnly);
}

TEST_F(PlacementTest, NamesTheSameFileByDeviceAndInode) {
  write_file(path_of("original"), "x");
  std::remove(path_of("link").c_str());
  ASSERT_EQ(link(path_of("original").c_str(), path_of("link").c_str()), 0);
  write_file(path_of("other"), "x");
  FILE* stream = std::fopen(path_of("original").c_str(), "rb");
  EXPECT_TRUE(names_same_file(path_of("link").c_str(), stream));
  EXPECT_TRUE(names_same_file(path_of("original").c_str(), stream));
  EXPECT_FALSE(names_same_file(path_of("other").c_str(), stream));
  EXPECT_FALSE(names_same_file(path_of("absent").c_str(), stream));
  std::fclose(stream);
}

// Rewriting the oldfile fails half-way (a file size limit stands in for a
// full disk): the intermediate file with the verified new version stays.
TEST_F(PlacementTest, AFailedRewriteOfTheOldfileKeepsTheIntermediateFile) {
  const std::string newVersion(20000, 'n');
  write_file(path_of("old"), std::string(100, 'o'));
  write_file(path_of("inter"), newVersion);
  const std::string oldName = path_of("old");
  const std::string interName = path_of("inter");
  auto run = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    ApplierSession& session = direct_session(oldName, interName);
    run_state().partialOutput = session.decodeTarget;
    place_result(session);
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(15), "");
  EXPECT_EQ(read_file(path_of("inter")), newVersion);
}

// With BACKUP the backupfile holds the new version until the oldfile has
// been saved there. Here the oldfile cannot be read (it is a directory), so
// the backupfile must still hold the new version, and nothing may be left
// behind in the temporary directory.
TEST_F(PlacementTest, AFailedBackupKeepsTheNewVersionInANamedFile) {
  const std::string newVersion(5000, 'n');
  const std::string oldName = path_of("olddir");
  mkdir(oldName.c_str(), 0700);
  write_file(path_of("bak"), newVersion);
  const std::string tempDir = path_of("tmp");
  const std::string backupName = path_of("bak");
  mkdir(tempDir.c_str(), 0700);
  auto run = [&] {
    setenv("TMPDIR", tempDir.c_str(), 1);
    ApplierSession& session = direct_session(oldName, backupName);
    session.options.backup = true;
    place_result(session);
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(15), "");
  EXPECT_EQ(read_file(backupName), newVersion);
  DIR* dir = opendir(tempDir.c_str());
  ASSERT_NE(dir, nullptr);
  int left = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string leaf = entry->d_name;
    if (leaf != "." && leaf != "..") ++left;
  }
  closedir(dir);
  EXPECT_EQ(left, 0);
}

}  // namespace
}  // namespace vd
