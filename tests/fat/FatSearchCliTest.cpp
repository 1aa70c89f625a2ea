#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "fat/FatTestImage.h"

namespace salvora {
namespace {

using test::Quote;

// Searching a scan from the command line: the same criteria narrow both the
// listing and what is recovered.
class FatSearchCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mcopy"))
      GTEST_SKIP() << "mkfs.fat and mtools are needed";
    image = test::MakeFatImage(dir, 16);
    Put("report.docx", test::PseudoRandomBytes(3000, 1), "2026-12-02 10:00");
    Put("old plan.docx", test::PseudoRandomBytes(3000, 2), "2026-10-01 10:00");
    Put("beach photo.bin", test::PseudoRandomBytes(70000, 3), "2026-12-03 10:00");
    Put("small notes.txt", test::PseudoRandomBytes(100, 4), "2026-12-02 10:00");
    test::Mtools("mdel", image,
                 "::/report.docx " + Quote("::/old plan.docx") + " " + Quote("::/beach photo.bin") +
                     " " + Quote("::/small notes.txt"));
  }
  // Copies a file in with its modification time kept.
  void Put(const std::string& name, const std::string& content, const std::string& modified) {
    std::string staged = dir / name;
    test::WriteFile(staged, content);
    test::MustRun("touch -d " + Quote(modified) + " " + Quote(staged));
    test::Mtools("mcopy", image, "-m " + Quote(staged) + " " + test::VolumePath(name));
    contents[name] = content;
  }
  int Salvora(const std::string& arguments, std::string* output = nullptr) {
    return test::Run("SALVORA_DATA_DIR=" + Quote(data.path()) + " " + Quote(test::SalvoraBinary()) +
                         " " + arguments,
                     output);
  }
  // The names recovered into `folder`, each checked against what was put.
  std::set<std::string> Recovered(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      std::string name = entry.path().filename();
      names.insert(name);
      EXPECT_TRUE(test::ReadFile(entry.path().string()) == contents[name]) << name;
    }
    return names;
  }
  test::TempDir dir;
  test::TempDir data;
  std::string image;
  std::map<std::string, std::string> contents;
};

TEST_F(FatSearchCli, NameAndDateChooseWhatIsListedAndRecovered) {
  std::string output;
  ASSERT_EQ(Salvora("scan --quick --name '*.DOCX' --after 2026-11-30 " + Quote(image), &output), 0)
      << output;
  EXPECT_NE(output.find("report.docx"), std::string::npos) << output;
  EXPECT_EQ(output.find("old plan.docx"), std::string::npos) << output;
  EXPECT_NE(output.find("Found 1 file ("), std::string::npos) << output;

  std::string out = dir / "out";
  ASSERT_EQ(Salvora("recover --quick --name '*.docx' --after 2026-11-30 --to " + Quote(out) + " " +
                        Quote(image),
                    &output),
            0)
      << output;
  EXPECT_EQ(Recovered(out), std::set<std::string>{"report.docx"});
}

TEST_F(FatSearchCli, SizesBeforeAndPiecesOfNamesCombine) {
  std::string output;
  ASSERT_EQ(Salvora("scan --quick --min-size 1K --max-size 64K " + Quote(image), &output), 0);
  EXPECT_NE(output.find("report.docx"), std::string::npos) << output;
  EXPECT_NE(output.find("old plan.docx"), std::string::npos) << output;
  EXPECT_NE(output.find("Found 2 files"), std::string::npos) << output;

  std::string out = dir / "out";
  ASSERT_EQ(Salvora("recover --quick --name PHOTO --before 2026-12-04 --state deleted --to " +
                        Quote(out) + " " + Quote(image),
                    &output),
            0)
      << output;
  EXPECT_EQ(Recovered(out), std::set<std::string>{"beach photo.bin"});

  ASSERT_EQ(Salvora("scan --quick --state carved,live " + Quote(image), &output), 0);
  EXPECT_NE(output.find("Found 0 files"), std::string::npos) << output;
}

TEST_F(FatSearchCli, ValuesThatMeanNothingAreRefused) {
  for (const char* bad : {"--min-size 12Q", "--max-size -5", "--after 2026-13-01",
                          "--before yesterday", "--state gone", "--min-size 2M --max-size 1M",
                          "--after 2026-12-05 --before 2026-12-01"}) {
    std::string output;
    EXPECT_EQ(Salvora(std::string("scan --quick ") + bad + " " + Quote(image), &output), 2) << bad;
    EXPECT_NE(output.find("salvora: "), std::string::npos) << output;
  }
}

}  // namespace
}  // namespace salvora
