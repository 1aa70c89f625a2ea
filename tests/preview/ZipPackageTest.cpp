#include "preview/ZipPackage.h"

#include <gtest/gtest.h>

#include "PreviewFixtures.h"
#include "preview/PackageText.h"
#include "support/TestSupport.h"

namespace salvora::preview {
namespace {

using test::MustRun;
using test::Quote;

std::string ReadAll(ChunkSource& source) {
  std::string bytes;
  char chunk[4096];
  while (size_t got = source.Read(chunk, sizeof chunk)) bytes.append(chunk, got);
  return bytes;
}

TEST(ZipPackageTest, WorkbookWithThousandsOfPartsIsOpenedOnce) {
  // Every opening reads the whole central directory again.
  test::TempDir dir;
  std::string workbook = dir / "crowded.xlsx";
  MustRun("cp " + Quote(test::PreviewFixture("sheet.xlsx")) + " " + Quote(workbook) + " && python3 -c " +
          Quote("import zipfile\nwith zipfile.ZipFile('" + workbook +
                "', 'a') as z:\n    for n in range(20000): z.writestr('pad/%05d' % n, b'')\n"));
  ZipPackage package(ArchiveSource::File(workbook));
  HelperResult text = PackageText(package, DocumentKind::kSheet);
  ASSERT_TRUE(text.ok) << text.failure;
  EXPECT_EQ(text.text.rfind("r0c0\tr0c1", 0), 0u);
  EXPECT_LE(package.Openings(), 2);
}

TEST(ZipPackageTest, PartsReadInAnyOrderAndWithinOneBudget) {
  test::TempDir dir;
  MustRun("cd " + Quote(dir.path()) + " && python3 -c " +
          Quote("import zipfile\nwith zipfile.ZipFile('p.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                "    z.writestr('a.xml', 'A' * 3000)\n    z.writestr('big.bin', 'B' * 400000)\n"
                "    z.writestr('c.xml', 'C' * 3000)\n"));
  ZipPackage package(ArchiveSource::File(dir / "p.zip"));
  EXPECT_EQ(package.ReadSmall("c.xml", 10), "CCCCCCCCCC");
  EXPECT_EQ(package.ReadSmall("a.xml", 5000), std::string(3000, 'A'));
  EXPECT_TRUE(package.Has("big.bin"));
  EXPECT_FALSE(package.Has("missing.xml"));

  ZipPackage budgeted(ArchiveSource::File(dir / "p.zip"), 5000);
  ZipPackage::Member big = budgeted.Open("big.bin");
  // a.xml, kept on the way, took 3000 bytes of the budget.
  EXPECT_EQ(ReadAll(big).size(), 2000u);
  ZipPackage::Member after = budgeted.Open("c.xml");
  EXPECT_LE(ReadAll(after).size(), 0u) << "the budget covers every part of one document";
}

}  // namespace
}  // namespace salvora::preview
