#include <gtest/gtest.h>

#include <QImage>

#include "PreviewFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

QImage Convert(const std::string& mode, const std::string& input, const TempDir& dir) {
  std::string png = dir / "out.png";
  ProcessResult result = RunPreviewHelperBinary({mode, input, png});
  EXPECT_TRUE(result.ExitedWith(0)) << input << ": " << result.err;
  return QImage(QString::fromStdString(png));
}

int DarkPixels(const QImage& image) {
  int dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
  return dark;
}

TEST(PicturePreviewTest, EveryPictureFormatBecomesAPngOfTheSameSize) {
  TempDir dir;
  for (const char* ext : {"jpg", "png", "gif", "bmp", "tif", "webp"}) {
    QImage image = Convert("picture", PreviewFixture(std::string("picture.") + ext), dir);
    EXPECT_EQ(image.size(), QSize(173, 91)) << ext;
  }
}

TEST(PicturePreviewTest, LargePictureIsScaledDownKeepingItsShape) {
  TempDir dir;
  EXPECT_EQ(Convert("picture", PreviewFixture("large.jpg"), dir).size(), QSize(1600, 1066));
}

TEST(PicturePreviewTest, AbsurdDimensionsAreRefusedInsteadOfAllocated) {
  TempDir dir;
  ProcessResult result = RunPreviewHelperBinary({"picture", PreviewFixture("huge.png"), dir / "out.png"});
  EXPECT_TRUE(result.ExitedWith(1));
  EXPECT_EQ(result.err.find("salvora-preview: "), 0u);
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
}

TEST(PdfPreviewTest, FirstPageIsRenderedWithItsText) {
  TempDir dir;
  QImage page = Convert("pdf", PreviewFixture("letter.pdf"), dir);
  EXPECT_EQ(std::max(page.width(), page.height()), 1200);
  EXPECT_GT(DarkPixels(page), 500);
}

TEST(PdfPreviewTest, NotAPdfFails) {
  TempDir dir;
  EXPECT_TRUE(RunPreviewHelperBinary({"pdf", PreviewFixture("letter.docx"), dir / "out.png"}).ExitedWith(1));
}

TEST(HelperCommandLineTest, WrongArgumentsGiveTheUsageAndExit1) {
  ProcessResult result = RunPreviewHelperBinary({"picture", "only-one-file"});
  EXPECT_TRUE(result.ExitedWith(1));
  EXPECT_NE(result.err.find("usage:"), std::string::npos);
  EXPECT_TRUE(RunPreviewHelperBinary({"play", "x"}).ExitedWith(1));
}

}  // namespace
}  // namespace salvora::test
