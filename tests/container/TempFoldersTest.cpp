#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "container/TempFolders.h"
#include "foundation/Assert.h"
#include "foundation/Random.h"
#include "support/TempDir.h"

namespace dax::container {
namespace {
using dax::test::TTempDir;
using dax::test::WriteFileBytes;
namespace fs = std::filesystem;

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(TempFoldersTest, RootIsPrivateAndFoldersGoAtExit) {
  TTempDir system;
  std::string folder;
  {
    TTempFolderManager manager(system.Path(), 0);
    std::string root = manager.TempRoot();
    EXPECT_EQ(root, system.Path() + "/KORVEX_TEMP_ROOT/");
    struct stat st;
    ASSERT_EQ(::stat(root.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    folder = manager.NewTempFolder();
    ASSERT_EQ(folder.back(), '/');
    std::string name = fs::path(folder.substr(0, folder.size() - 1)).filename();
    EXPECT_EQ(name.front(), '[');
    EXPECT_EQ(name.back(), ']');
    EXPECT_EQ(name.size(), 38u);
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(fs::exists(root + name + ".lock"));
    WriteFileBytes(folder + "ffmpeg.so", "lib");
    EXPECT_NE(manager.NewTempFolder(false), folder);
  }
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(fs::is_empty(system.Path() + "/KORVEX_TEMP_ROOT"));
}

TEST(TempFoldersTest, FolderNamesLeaveTheShowsRandomSequenceAlone) {
  TTempDir system;
  TTempFolderManager manager(system.Path(), 0);
  manager.TempRoot();
  Random().Seed(42);
  const uint32_t expected = Random().NextU32();
  Random().Seed(42);
  std::string first = manager.NewTempFolder(false);
  std::string second = manager.NewTempFolder(false);
  EXPECT_EQ(Random().NextU32(), expected);
  EXPECT_NE(first, second);
  // "[" + GUID text (version 4) + "]"
  std::string name = fs::path(first).filename();
  ASSERT_EQ(name.size(), 38u);
  EXPECT_EQ(name[15], '4');
  for (size_t i : {9u, 14u, 19u, 24u}) EXPECT_EQ(name[i], '-') << i;
}

TEST(TempFoldersTest, APlantedRootIsRefused) {
  TTempDir system, elsewhere;
  // Someone put a link where our root goes: it is not followed.
  fs::create_directory_symlink(elsewhere.Path(), system.Path() + "/KORVEX_TEMP_ROOT");
  TTempFolderManager manager(system.Path(), 0);
  std::string root = manager.TempRoot();
  EXPECT_EQ(root, system.Path() + "/KORVEX_TEMP_ROOT-" + std::to_string(::geteuid()) + "/");
  manager.NewTempFolder();
  EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
  // Both names taken by links: no safe root at all.
  TTempDir second;
  fs::create_directory_symlink(elsewhere.Path(), second.Path() + "/KORVEX_TEMP_ROOT");
  fs::create_directory_symlink(elsewhere.Path(),
                               second.Path() + "/KORVEX_TEMP_ROOT-" + std::to_string(::geteuid()));
  TTempFolderManager refused(second.Path(), 0);
  try {
    refused.TempRoot();
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("VendorTemp Create Error: "), std::string::npos);
  }
}

TEST(TempFoldersTest, AnotherUsersRootIsRefusedAndOurOwnIsMadePrivate) {
  TTempDir system;
  std::string root = system.Path() + "/KORVEX_TEMP_ROOT";
  ASSERT_EQ(::mkdir(root.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(root.c_str(), 0777), 0);
  {
    TTempFolderManager manager(system.Path(), 0);
    EXPECT_EQ(manager.TempRoot(), root + "/");
    struct stat st;
    ASSERT_EQ(::stat(root.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  if (::geteuid() != 0) GTEST_SKIP() << "giving the folder to another user needs root";
  ASSERT_EQ(::chown(root.c_str(), 4242, 4242), 0);
  TTempFolderManager manager(system.Path(), 0);
  EXPECT_EQ(manager.TempRoot(), root + "-" + std::to_string(::geteuid()) + "/");
}

TEST(TempFoldersTest, StaleFoldersGoWithoutFollowingLinks) {
  TTempDir system, outside;
  WriteFileBytes(outside.File("precious.txt"), "keep");
  std::string root = system.Path() + "/KORVEX_TEMP_ROOT/";
  fs::create_directories(root + "[OLD]/sub");
  WriteFileBytes(root + "[OLD].lock", "");
  WriteFileBytes(root + "[OLD]/sub/file", "x");
  fs::create_directory_symlink(outside.Path(), root + "[OLD]/sub/link");
  fs::create_directories(root + "[NOLOCK]");  // no lock file: not ours to judge
  {
    TTempFolderManager young(system.Path(), 3600);
    young.TempRoot();
    EXPECT_TRUE(IsFolder(root + "[OLD]"));  // too young to be stale
  }
  TTempFolderManager manager(system.Path(), 0);
  manager.TempRoot();
  EXPECT_FALSE(fs::exists(root + "[OLD]"));
  EXPECT_FALSE(fs::exists(root + "[OLD].lock"));
  EXPECT_TRUE(IsFolder(root + "[NOLOCK]"));
  EXPECT_EQ(dax::test::ReadFileBytes(outside.File("precious.txt")), "keep");
}

TEST(TempFoldersTest, ARunningProcessKeepsItsFoldersThroughAnotherClean) {
  TTempDir system;
  int toParent[2], toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other run: make a folder, report it, wait, then die without cleaning up.
    TTempFolderManager* manager = new TTempFolderManager(system.Path(), 0);
    std::string folder = manager->NewTempFolder();
    ssize_t w = ::write(toParent[1], folder.data(), folder.size());
    char c;
    ssize_t r = ::read(toChild[0], &c, 1);
    ::_exit(w > 0 && r >= 0 ? 0 : 1);
  }
  char buf[512];
  ssize_t n = ::read(toParent[0], buf, sizeof buf);
  ASSERT_GT(n, 0);
  std::string folder(buf, static_cast<size_t>(n));
  {
    TTempFolderManager other(system.Path(), 0);
    other.TempRoot();  // cleans up stale folders
    EXPECT_EQ(other.CleanStaleFolders(), 0);
    EXPECT_TRUE(IsFolder(folder));
  }
  ASSERT_EQ(::write(toChild[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Its process is gone, so its lock is free: the next run removes the folder.
  TTempFolderManager next(system.Path(), 0);
  next.TempRoot();
  EXPECT_FALSE(fs::exists(folder));
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
}

}  // namespace
}  // namespace dax::container
