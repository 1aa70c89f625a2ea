// A deep scan interrupted with Ctrl-C and run again the same way resumes
// where it stopped, says so, and lists what an uninterrupted scan lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

// The listing without the progress lines and notices around it.
std::string SortedListing(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("Deep scan", 0) != 0 && line.rfind("resuming", 0) != 0) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

class DeepScanCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("convert")) GTEST_SKIP() << "needs ImageMagick";
    test::MustRun("convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform " +
                  Quote(dir / "p.png"));
    std::string picture = test::ReadFile(dir / "p.png");
    picture.append((512 - picture.size() % 512) % 512, '\0');
    std::ofstream image(image_, std::ios::binary);
    // Long enough that Ctrl-C lands in the middle of the walk.
    for (int piece = 0; piece < 12; ++piece) {
      std::string noise = test::PseudoRandomBytes(32 << 20, piece);
      image.write(noise.data(), static_cast<std::streamsize>(noise.size()));
      image.write(picture.data(), static_cast<std::streamsize>(picture.size()));
    }
  }
  std::string Command(const std::string& data, const std::string& arguments) {
    return "SALVORA_DATA_DIR=" + Quote(data) + " " + Quote(test::SalvoraBinary()) + " " + arguments;
  }

  test::TempDir dir, data, otherData;
  std::string image_ = dir / "disk.img";
};

TEST_F(DeepScanCli, CtrlCThenTheSameCommandResumes) {
  std::string err = dir / "err.txt", out = dir / "out.txt";
  // Ctrl-C once the walk has reported progress.
  std::string script = Command(data.path(), "scan --deep " + Quote(image_)) + " >" + Quote(out) +
                       " 2>" + Quote(err) + " & pid=$!; for i in $(seq 600); do " +
                       "grep -q 'files found' " + Quote(err) +
                       " && break; sleep 0.05; done; kill -INT $pid; wait $pid";
  int status = test::Run("bash -c " + Quote(script));
  if (status == 0) GTEST_SKIP() << "the scan ended before Ctrl-C reached it";
  ASSERT_EQ(status, 130) << test::ReadFile(err);

  std::string listed;
  ASSERT_EQ(test::Run(Command(data.path(), "scans"), &listed), 0);
  EXPECT_NE(listed.find(image_), std::string::npos) << listed;

  std::string resumedOut;
  ASSERT_EQ(test::Run(Command(data.path(), "scan --deep " + Quote(image_)), &resumedOut), 0);
  EXPECT_NE(resumedOut.find("resuming the saved deep scan"), std::string::npos);
  std::string freshOut;
  ASSERT_EQ(test::Run(Command(otherData.path(), "scan --deep " + Quote(image_)), &freshOut), 0);
  EXPECT_EQ(SortedListing(resumedOut), SortedListing(freshOut));
  EXPECT_NE(freshOut.find(".png"), std::string::npos);

  // --fresh discards the saved scan; --forget removes it with its folder.
  std::string freshErr;
  ASSERT_EQ(test::Run(Command(data.path(), "scan --deep --fresh " + Quote(image_)), &freshErr), 0);
  EXPECT_NE(freshErr.find("starting afresh"), std::string::npos);
  ASSERT_EQ(test::Run(Command(data.path(), "scans --forget 1")), 0);
  ASSERT_EQ(test::Run(Command(data.path(), "scans"), &listed), 0);
  EXPECT_NE(listed.find("no saved deep scans"), std::string::npos) << listed;
  EXPECT_NE(test::Run(Command(data.path(), "scans --forget 5")), 0);
}

}  // namespace
}  // namespace salvora
