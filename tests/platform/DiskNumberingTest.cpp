#include <gtest/gtest.h>

#include "platform/DiskNumbering.h"

namespace salvora {
namespace {

WholeDisk Disk(const char* name, uint32_t major, uint32_t minor, uint64_t sequence) {
  WholeDisk disk;
  disk.name = name;
  disk.devicePath = std::string("/dev/") + name;
  disk.major = major;
  disk.minor = minor;
  disk.sequence = sequence;
  return disk;
}

std::vector<uint32_t> Numbers(DiskNumbering& numbering, std::vector<WholeDisk> disks) {
  numbering.Assign(disks);
  std::vector<uint32_t> numbers;
  for (const WholeDisk& disk : disks) numbers.push_back(disk.number);
  return numbers;
}

const WholeDisk kSystem = Disk("vda", 254, 0, 1);
const WholeDisk kCard = Disk("sdb", 8, 16, 5);

// A scan holds a disk by its number while loop devices come and go and a
// card is pulled and put back: the number keeps meaning the same disk, and
// a disk that comes back is not taken for the one that left.
TEST(DiskNumbering, ANumberKeepsItsDiskWhileOthersComeAndGo) {
  DiskNumbering numbering;
  EXPECT_EQ(Numbers(numbering, {kCard, kSystem}), (std::vector<uint32_t>{0, 1}))
      << "the first listing numbers in device-number order";
  const WholeDisk loop = Disk("loop0", 7, 0, 9);
  EXPECT_EQ(Numbers(numbering, {loop, kCard, kSystem}), (std::vector<uint32_t>{2, 0, 1}))
      << "a loop device sorts first, yet takes a new number";
  EXPECT_EQ(Numbers(numbering, {loop, kSystem}), (std::vector<uint32_t>{2, 1}))
      << "the card is gone: nothing moves into its number";
  WholeDisk cardAgain = kCard;
  cardAgain.sequence = 6;
  EXPECT_EQ(Numbers(numbering, {loop, cardAgain, kSystem}), (std::vector<uint32_t>{2, 3, 1}))
      << "put back, the card is new media under the same name";
  EXPECT_EQ(Numbers(numbering, {}), (std::vector<uint32_t>{}));
  EXPECT_EQ(Numbers(numbering, {kSystem}), (std::vector<uint32_t>{1}));
}

}  // namespace
}  // namespace salvora
