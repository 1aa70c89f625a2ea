// udev's database is read for devices a normal user may not probe; its
// encoded labels come from the volume, so they are decoded defensively.
#include <gtest/gtest.h>

#include "platform/UdevVolumeTags.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

TEST(UdevVolumeTags, EncodedLabelsDecodeToTheirBytes) {
  EXPECT_EQ(DecodeUdevText("My\\x20Disk"), "My Disk");
  EXPECT_EQ(DecodeUdevText("\\x2fetc\\x5c"), "/etc\\");
  EXPECT_EQ(DecodeUdevText("caf\\xc3\\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(DecodeUdevText("PLAIN"), "PLAIN");
}

TEST(UdevVolumeTags, MalformedEscapesStayAsTheyAre) {
  EXPECT_EQ(DecodeUdevText("a\\x2"), "a\\x2");
  EXPECT_EQ(DecodeUdevText("a\\xzz"), "a\\xzz");
  EXPECT_EQ(DecodeUdevText("end\\"), "end\\");
  EXPECT_EQ(DecodeUdevText("\\x"), "\\x");
  EXPECT_EQ(DecodeUdevText(""), "");
}

TEST(UdevVolumeTags, OnlyBlockDevicesHaveTags) {
  test::TempDir dir;
  test::WriteFile(dir / "image", std::string(4096, '\0'));
  VolumeTags tags;
  tags.type = "stale";
  EXPECT_FALSE(ReadUdevVolumeTags(dir / "image", tags));
  EXPECT_TRUE(tags.type.empty());
  EXPECT_FALSE(ReadUdevVolumeTags(dir / "missing", tags));
}

}  // namespace
}  // namespace salvora
