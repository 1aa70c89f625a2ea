// A deleted movie on a card whose clusters lie in two runs with another
// deleted file's clusters between them, all free now: following the free
// clusters after the first run would take the other file's data, so the
// deep scan rebuilds the movie from its sample tables instead.
#include <gtest/gtest.h>

#include "exfat/ExfatBytes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::EntrySetBytes;
using test::SetPlan;

SetPlan DeletedFile(const std::u16string& name, uint32_t cluster, uint64_t size) {
  SetPlan planned;
  planned.name = name;
  planned.stream = {false, cluster, size, size};  // a FAT chain, cleared by deleting
  planned.deleted = true;
  planned.attributes = 0x20;
  return planned;
}

TEST(ExfatFragment, ADeletedMovieBetweenAnotherFilesClustersComesBackWhole) {
  for (const char* tool : {"mkfs.exfat", "ffmpeg"})
    if (!test::HaveCommand(tool)) GTEST_SKIP() << tool << " is not installed";
  test::TempDir dir;
  test::ScopedDataDir data;
  test::MustRun("ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 "
                "-pix_fmt yuv420p -fflags +bitexact -c:v libx264 " +
                test::Quote(dir / "clip.mp4"));
  const std::string movie = test::ReadFile(dir / "clip.mp4");
  test::HandCard card(dir);
  ASSERT_TRUE(card.ok());
  const uint32_t folder = card.FirstFreeCluster(), bytes = card.layout().ClusterBytes();
  const uint32_t clusters = static_cast<uint32_t>((movie.size() + bytes - 1) / bytes);
  const uint32_t firstRun = clusters / 2, start = folder + 1, other = start + firstRun;
  card.WriteCluster(start, movie.substr(0, size_t{firstRun} * bytes));
  card.WriteCluster(other, test::PseudoRandomBytes(3 * bytes, 5));
  card.WriteCluster(other + 3, movie.substr(size_t{firstRun} * bytes));
  card.WriteCluster(folder, EntrySetBytes(DeletedFile(u"clip.mp4", start, movie.size())) +
                                EntrySetBytes(DeletedFile(u"noise.bin", other, 3ull * bytes)));
  SetPlan dcim;
  dcim.name = u"DCIM";
  dcim.stream = {true, folder, bytes, bytes};
  dcim.attributes = 0x10;
  card.AddToRoot(EntrySetBytes(dcim));
  card.MarkInUse(folder);

  const std::string out = dir / "out";
  test::Run("SALVORA_DATA_DIR=" + test::Quote(data.path()) + " " +
            test::Quote(test::SalvoraBinary()) + " recover --deep --keep-paths --to " +
            test::Quote(out) + " " + test::Quote(card.image()) + " >/dev/null 2>&1");
  EXPECT_TRUE(test::ReadFile(out + "/DCIM/clip.mp4") == movie);
}

}  // namespace
}  // namespace salvora
