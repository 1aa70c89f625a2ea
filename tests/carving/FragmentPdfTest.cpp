// A PDF from LibreOffice, many objects with deflated streams, split at
// cluster boundaries with zeros, noise or another document's data between
// the runs: the cross-reference table puts every run back, and a document
// whose middle is overwritten is named damaged.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "carving/FileTypeRecovery.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

constexpr size_t kCluster = 4096;

class SplitDocument : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveCommand("soffice")) return;
    TempDir dir;
    // Text with a picture: objects of every size, and a stream that spans
    // several clusters.
    salvora::test::Run("cd " + Quote(dir.path()) +
        " && seq 1 4000 | sed 's/$/ lines of a report that was split/' > report.txt" +
        " && HOME=" + Quote(dir.path()) + " timeout 120 soffice --headless --convert-to pdf" +
        " report.txt >/dev/null 2>&1");
    if (std::filesystem::exists(dir / "report.pdf")) document_ = new std::string(ReadFile(dir / "report.pdf"));
  }
  static void TearDownTestSuite() {
    delete document_;
    document_ = nullptr;
  }
  void SetUp() override {
    if (!document_) GTEST_SKIP() << "needs LibreOffice";
  }

  // Places the document cut at the given offsets with each gap between
  // the runs, carves the image and recovers what starts where it does.
  std::pair<std::string, std::string> SplitAndCarve(const std::string& document,
                                                    const std::vector<size_t>& cuts,
                                                    const std::vector<std::string>& gaps) {
    uint64_t start = 0;
    const std::string path = dir_ / ("disk" + std::to_string(++images_) + ".img");
    WriteFile(path, SplitImage(document, cuts, gaps, start));
    CFileTypeRecovery engine;
    for (const FoundRecord& record : CarveImageFile(engine, path)) {
      if (record.entrySector != start) continue;
      const std::string out = out_ / (std::to_string(images_) + "-" + record.name);
      EXPECT_EQ(engine.RecoverItem(&record, out, 0), 0);
      return {record.name, ReadFile(out)};
    }
    return {};
  }

  static std::string* document_;
  ScopedDataDir data_;
  TempDir dir_, out_;
  int images_ = 0;
};
std::string* SplitDocument::document_ = nullptr;

TEST_F(SplitDocument, TwoAndThreeRunsComeBackWhole) {
  const size_t clusters = document_->size() / kCluster;
  ASSERT_GT(clusters, 8u);
  const std::string otherDocument = document_->substr(0, 5 * kSector);
  const std::vector<std::vector<size_t>> cuts = {
      {clusters / 2}, {2}, {clusters / 3, 2 * clusters / 3}, {1, clusters - 1}, {2, 6}};
  const std::vector<std::vector<std::string>> gaps = {
      {NoiseSectors(11, 4)},
      {std::string(16 * kSector, '\0')},
      {otherDocument, NoiseSectors(3, 5)},
      {std::string(kSector, '\0'), NoiseSectors(60, 6)},
      {ReadFile("/usr/share/common-licenses/GPL-3").substr(20000, 45 * kSector),
       NoiseSectors(55, 8)}};
  for (size_t i = 0; i < cuts.size(); ++i) {
    std::vector<size_t> offsets;
    for (size_t cluster : cuts[i]) offsets.push_back(cluster * kCluster);
    auto [name, bytes] = SplitAndCarve(*document_, offsets, gaps[i]);
    EXPECT_EQ(name.find("_damaged"), std::string::npos) << "case " << i;
    EXPECT_TRUE(bytes == *document_) << "case " << i << ": " << name << " " << bytes.size();
  }
}

// The break falls before an object whose header crosses a sector
// boundary: the header read meets the gap at the break's sector.
TEST_F(SplitDocument, ABreakBeforeAHeaderThatCrossesASectorIsFound) {
  size_t header = std::string::npos, previous = 0;
  for (size_t at = document_->find(" 0 obj", 4096); at != std::string::npos;
       at = document_->find(" 0 obj", at + 1)) {
    const size_t start = document_->rfind('\n', at) + 1;
    if (start % kSector > kSector - 8 && start / kSector * kSector > previous + 32) {
      header = start;
      break;
    }
    previous = start;
  }
  if (header == std::string::npos) GTEST_SKIP() << "no object header crosses a sector boundary";
  const std::string gpl = ReadFile("/usr/share/common-licenses/GPL-3");
  auto [name, bytes] =
      SplitAndCarve(*document_, {header / kSector * kSector}, {gpl.substr(0, 9 * kSector)});
  EXPECT_TRUE(bytes == *document_) << name;
}

TEST_F(SplitDocument, AnOverwrittenMiddleIsNamedDamaged) {
  std::string document = *document_;
  document.replace(document.size() / 2, 3 * kCluster, NoiseSectors(24, 7));
  auto [name, bytes] = SplitAndCarve(document, {}, {});
  EXPECT_NE(name.find("_damaged.pdf"), std::string::npos) << name;
}

}  // namespace
}  // namespace salvora::test
