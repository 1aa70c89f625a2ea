#include <gtest/gtest.h>

#include "platform/DiskNumbering.h"

namespace salvora {
namespace {

const DiskIdentity kSystem{"vda", 254, 0, 1};
const DiskIdentity kCard{"sdb", 8, 16, 5};

// A scan holds a disk by its number while loop devices come and go and a
// card is pulled and put back: the number keeps meaning the same disk, and
// a disk that comes back is not taken for the one that left.
TEST(DiskNumbering, ANumberKeepsItsDiskWhileOthersComeAndGo) {
  DiskNumbering numbering;
  EXPECT_EQ(numbering.Assign({kCard, kSystem}), (std::vector<uint32_t>{0, 1}))
      << "the first listing numbers in device-number order";
  const DiskIdentity loop{"loop0", 7, 0, 9};
  EXPECT_EQ(numbering.Assign({loop, kCard, kSystem}), (std::vector<uint32_t>{2, 0, 1}))
      << "a loop device sorts first, yet takes a new number";
  EXPECT_EQ(numbering.Assign({loop, kSystem}), (std::vector<uint32_t>{2, 1}))
      << "the card is gone: nothing moves into its number";
  DiskIdentity cardAgain = kCard;
  cardAgain.sequence = 6;
  EXPECT_EQ(numbering.Assign({loop, cardAgain, kSystem}), (std::vector<uint32_t>{2, 3, 1}))
      << "put back, the card is new media under the same name";
  EXPECT_EQ(numbering.Assign({}), (std::vector<uint32_t>{}));
  EXPECT_EQ(numbering.Assign({kSystem}), (std::vector<uint32_t>{1}));
}

}  // namespace
}  // namespace salvora
