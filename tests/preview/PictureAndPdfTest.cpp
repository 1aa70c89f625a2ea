#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>

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

// A PDF of one empty page of the given size in points.
std::string OnePagePdf(const std::string& width, const std::string& height) {
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + width + " " + height + "] >>"};
  std::string pdf = "%PDF-1.4\n";
  std::string xref = "xref\n0 4\n0000000000 65535 f \n";
  for (size_t i = 0; i < objects.size(); ++i) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
    xref += entry;
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t start = pdf.size();
  return pdf + xref + "trailer\n<< /Size 4 /Root 1 0 R >>\nstartxref\n" + std::to_string(start) +
         "\n%%EOF\n";
}

TEST(PdfPreviewTest, HugePageIsDrawnAtThePreviewSizeAndATooThinPageFails) {
  TempDir dir;
  WriteFile(dir / "huge.pdf", OnePagePdf("10000000", "10000000"));
  EXPECT_EQ(Convert("pdf", dir / "huge.pdf", dir).size(), QSize(1200, 1200));
  WriteFile(dir / "big.pdf", OnePagePdf("200000", "100000"));
  EXPECT_EQ(Convert("pdf", dir / "big.pdf", dir).size(), QSize(1200, 600));
  // One pixel high would be nothing to look at; the helper says so instead
  // of passing off a stand-in picture.
  WriteFile(dir / "thin.pdf", OnePagePdf("5000000", "3"));
  ProcessResult thin = RunPreviewHelperBinary({"pdf", dir / "thin.pdf", dir / "thin.png"});
  EXPECT_TRUE(thin.ExitedWith(1));
  EXPECT_NE(thin.err.find("page 1"), std::string::npos) << thin.err;
}

TEST(PicturePreviewTest, NarrowPicturesAndPicturesOfUnknownSizeFitThePreview) {
  TempDir dir;
  MustRun("convert -size 6000x2 xc:navy " + Quote(dir / "narrow.png"));
  EXPECT_EQ(Convert("picture", dir / "narrow.png", dir).size(), QSize(1600, 1));
  // MNG tells its size only once decoded.
  MustRun("convert -size 3000x2000 gradient:navy-orange " + Quote(dir / "large.mng"));
  EXPECT_EQ(Convert("picture", dir / "large.mng", dir).size(), QSize(1600, 1066));
}

const char kSvgWithText[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='100'>"
    "<rect width='300' height='100' fill='white'/>"
    "<text x='10' y='70' font-size='60' fill='black'>Salvora</text></svg>";

TEST(SvgPreviewTest, TextIsDrawnAndNothingIsWrittenIntoTheHomeFolder) {
  TempDir dir;
  TempDir home;
  WriteFile(dir / "text.svg", kSvgWithText);
  MustRun("gzip -c " + Quote(dir / "text.svg") + " > " + Quote(dir / "text.svgz"));
  for (const char* name : {"text.svg", "text.svgz"}) {
    ProcessResult result = RunPreviewHelperBinary({"picture", dir / name, dir / "out.png"},
                                                  {"HOME=" + home.path(), "XDG_CACHE_HOME="});
    ASSERT_TRUE(result.ExitedWith(0)) << name << ": " << result.err;
    QImage image(QString::fromStdString(dir / "out.png"));
    EXPECT_EQ(image.size(), QSize(300, 100)) << name;
    EXPECT_GT(DarkPixels(image), 500) << name;
  }
  EXPECT_TRUE(std::filesystem::is_empty(home.path())) << "font caches belong elsewhere";
}

TEST(SvgPreviewTest, ReferencesOutsideTheDrawingAreRefused) {
  TempDir dir;
  std::string picture = PreviewFixture("picture.png");
  for (const std::string& reference : {"file://" + picture, picture, std::string("picture.png"),
                                       std::string("http://example.invalid/x.png")}) {
    WriteFile(dir / "outside.svg",
              "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
              "width='100' height='100'><image xlink:href='" + reference +
                  "' width='100' height='100'/></svg>");
    ProcessResult result = RunPreviewHelperBinary({"picture", dir / "outside.svg", dir / "out.png"});
    EXPECT_TRUE(result.ExitedWith(1)) << reference;
    EXPECT_NE(result.err.find("outside itself"), std::string::npos) << result.err;
  }
  // A picture carried inside the drawing is fine.
  WriteFile(dir / "inside.svg",
            "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
            "width='10' height='10'><image width='10' height='10' xlink:href='data:image/png;base64,"
            "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg=='/></svg>");
  EXPECT_EQ(Convert("picture", dir / "inside.svg", dir).size(), QSize(10, 10));
}

TEST(SvgPreviewTest, DrawingBuiltToKeepTheParserBusyFailsBeforeTheTimeLimit) {
  TempDir dir;
  std::string tag = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect ";
  for (int n = 0; n < 100000; ++n) tag += "a" + std::to_string(n) + "='1' ";
  WriteFile(dir / "busy.svg", tag + "/></svg>");
  ProcessResult result = RunPreviewHelperBinary({"picture", dir / "busy.svg", dir / "out.png"});
  EXPECT_TRUE(result.ExitedWith(1)) << DescribeProcessEnd(result, {});
}

TEST(HelperCommandLineTest, WrongArgumentsGiveTheUsageAndExit1) {
  ProcessResult result = RunPreviewHelperBinary({"picture", "only-one-file"});
  EXPECT_TRUE(result.ExitedWith(1));
  EXPECT_NE(result.err.find("usage:"), std::string::npos);
  EXPECT_TRUE(RunPreviewHelperBinary({"play", "x"}).ExitedWith(1));
}

}  // namespace
}  // namespace salvora::test
