// Removing the run's directory never reaches through a link into what it points to.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/remove_tree.h"
#include "support/scratch_files.h"

namespace {

TEST(RemoveTreeTest, EverythingGoesButWhatLinksPointTo) {
  ScratchDir scratch;
  const std::string outside = scratch.file("outside");
  const std::string tree = scratch.file("run_dir");
  ASSERT_EQ(mkdir(outside.c_str(), 0700), 0);
  scratch.write("outside/keep.txt", "not the run's");
  ASSERT_EQ(mkdir(tree.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((tree + "/jre").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((tree + "/jre/lib").c_str(), 0700), 0);
  scratch.write("run_dir/app.jar", "a");
  ASSERT_EQ(symlink(outside.c_str(), (tree + "/jre/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (tree + "/filelink").c_str()), 0);
  scratch.write("run_dir/jre/lib/rt.jar", "r");

  removeDirectoryTree(tree);
  EXPECT_FALSE(pathExists(tree));
  EXPECT_EQ(readTextFile(outside + "/keep.txt"), "not the run's");
}

}  // namespace
