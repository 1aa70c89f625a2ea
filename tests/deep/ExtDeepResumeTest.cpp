// A deep scan of a reformatted ext volume, stopped after the walk passed
// the old folders' blocks, resumes to the same named files: the folders
// met before the stop are not met again by the resumed walk.
#include <gtest/gtest.h>

#include <set>

#include "deep/CompositeFixture.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

std::set<std::string> RebuiltPaths(CProfessionalRecovery& engine) {
  std::set<std::string> paths;
  for (const FoundFile& file : ListFiles(engine))
    if (file.kind == kDeepExt) paths.insert(file.path);
  return paths;
}

TEST(ExtDeepResume, StoppedScanResumesToTheSameNamedFiles) {
  if (!HaveCommand("mkfs.ext4")) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
  ScopedDataDir data;
  TempDir work;
  std::string tree = work / "tree", image = work / "v.img";
  // Made by mkfs from a folder, then formatted again over it.
  MustRun("mkdir -p " + Quote(tree + "/a/b") + " " + Quote(tree + "/c") + " && cd " + Quote(tree) +
          " && for i in $(seq 1 12); do head -c $((i * 3001)) /dev/urandom > a/b/f$i.bin; "
          "head -c $((i * 1001)) /dev/urandom > c/g$i.bin; done && truncate -s 64M " +
          Quote(image) + " && mkfs.ext4 -q -F -d . " + Quote(image) +
          " && mkfs.ext4 -q -F -E nodiscard " + Quote(image));
  std::set<std::string> expected;
  {
    ScopedDataDir elsewhere;
    auto engine = OpenDeep(image);
    ASSERT_EQ(RunDeepScan(*engine), kOk);
    expected = RebuiltPaths(*engine);
  }
  ASSERT_GE(expected.size(), 20u);
  EXPECT_EQ(expected.count("b/f7.bin") + expected.count("LostFolder12/b/f7.bin") +
                expected.count("LostFolder13/b/f7.bin"),
            1u);
  {
    auto engine = OpenDeep(image);
    ASSERT_EQ(RunDeepScan(*engine, 60), kCancelled);
  }
  auto engine = OpenDeep(image);
  ASSERT_TRUE(engine->ResumesSavedScan());
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  EXPECT_EQ(RebuiltPaths(*engine), expected);
}

}  // namespace
}  // namespace salvora::test
