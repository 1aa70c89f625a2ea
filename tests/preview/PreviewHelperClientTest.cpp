#include "previewclient/PreviewHelper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "PreviewFixtures.h"
#include "previewclient/PreviewLimits.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::PreviewFixture;

std::string FakeHelper(const test::TempDir& dir, const std::string& script) {
  std::string path = dir / "fake-helper";
  test::WriteFile(path, "#!/bin/sh\n" + script + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

PreviewRequest Request(PreviewMode mode, const std::string& file, const std::string& pictureOut = {}) {
  PreviewRequest request;
  request.mode = mode;
  request.file = file;
  request.pictureOut = pictureOut;
  return request;
}

TEST(PreviewHelperClientTest, FindsTheHelperBesideTheRunningExecutable) {
  EXPECT_EQ(std::filesystem::canonical(PreviewHelperPath()),
            std::filesystem::canonical(test::PreviewHelperBinary()));
}

TEST(PreviewHelperClientTest, PictureAndListingRoundTrips) {
  test::TempDir dir;
  PreviewOutcome picture = RunPreviewHelper(Request(PreviewMode::kPicture, PreviewFixture("picture.jpg"), dir / "tmp.png"));
  EXPECT_TRUE(picture.ok) << picture.failure;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "tmp.png"));
  PreviewOutcome listing = RunPreviewHelper(Request(PreviewMode::kList, PreviewFixture("archive.zip")));
  EXPECT_TRUE(listing.ok);
  EXPECT_EQ(listing.text.rfind("-------------------\n", 0), 0u);
}

TEST(PreviewHelperClientTest, FailedPictureLeavesNoEarlierPngBehind) {
  test::TempDir dir;
  test::WriteFile(dir / "tmp.png", "from an earlier preview");
  PreviewOutcome outcome = RunPreviewHelper(Request(PreviewMode::kPicture, PreviewFixture("letter.txt"), dir / "tmp.png"));
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(std::filesystem::exists(dir / "tmp.png"));
  EXPECT_NE(outcome.failure.find("exit status 1: salvora-preview: "), std::string::npos) << outcome.failure;
}

TEST(PreviewHelperClientTest, HangingOrCrashingHelperIsAFailure) {
  test::TempDir dir;
  PreviewRequest request = Request(PreviewMode::kText, PreviewFixture("letter.docx"));
  request.helper = FakeHelper(dir, "sleep 60");
  request.timeLimit = std::chrono::milliseconds(300);
  PreviewOutcome hung = RunPreviewHelper(request);
  EXPECT_FALSE(hung.ok);
  EXPECT_EQ(hung.failure.rfind("timed out", 0), 0u);
  request.helper = FakeHelper(dir, "echo partial; kill -SEGV $$");
  PreviewOutcome crashed = RunPreviewHelper(request);
  EXPECT_FALSE(crashed.ok);
  EXPECT_TRUE(crashed.text.empty());
}

TEST(PreviewHelperClientTest, CancelStopsTheHelper) {
  test::TempDir dir;
  std::atomic<bool> cancel{true};
  PreviewRequest request = Request(PreviewMode::kList, PreviewFixture("archive.zip"));
  request.helper = FakeHelper(dir, "sleep 60");
  request.cancel = &cancel;
  PreviewOutcome outcome = RunPreviewHelper(request);
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.cancelled);
}

TEST(PreviewHelperClientTest, PictureBeyondThePromisedSizeIsRefusedUndecoded) {
  test::TempDir dir;
  test::MustRun("convert -size 2000x10 xc:navy " + test::Quote(dir / "wide.png"));
  PreviewRequest request = Request(PreviewMode::kPicture, PreviewFixture("picture.png"), dir / "tmp.png");
  request.helper = FakeHelper(dir, "cp " + test::Quote(dir / "wide.png") + " \"$3\"");
  PreviewOutcome wide = RunPreviewHelper(request);
  EXPECT_FALSE(wide.ok);
  EXPECT_NE(wide.failure.find("2000 x 10"), std::string::npos) << wide.failure;
  EXPECT_FALSE(std::filesystem::exists(dir / "tmp.png"));
  request.helper = FakeHelper(dir, "echo not a picture > \"$3\"");
  EXPECT_FALSE(RunPreviewHelper(request).ok);
}

TEST(PreviewHelperClientTest, OutputCutAtTheLimitSaysSo) {
  test::TempDir dir;
  PreviewRequest request = Request(PreviewMode::kList, PreviewFixture("archive.zip"));
  request.helper = FakeHelper(dir, "yes '       1  2026-01-01 00:00  member.txt' | head -c 9000000");
  PreviewOutcome outcome = RunPreviewHelper(request);
  ASSERT_TRUE(outcome.ok) << outcome.failure;
  EXPECT_LE(outcome.text.size(), kPreviewTextBytes + 100);
  EXPECT_TRUE(outcome.text.ends_with("member.txt\n... the output was cut here: it is longer than a preview shows\n"));
}

}  // namespace
}  // namespace salvora
