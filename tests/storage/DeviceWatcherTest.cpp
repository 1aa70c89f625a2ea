// One refresh per burst of device events, and events from a real device.
#include <gtest/gtest.h>
#include <poll.h>

#include "platform/Clock.h"
#include "storage/DeviceWatcher.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

TEST(DeviceWatcher, BurstsSettleIntoOneRefreshOfEachKind) {
  DeviceWatcher watcher;
  EXPECT_FALSE(watcher.MillisecondsUntilDue(0));
  watcher.Note(BlockEvent::kArrival, 1000);
  watcher.Note(BlockEvent::kArrival, 3000);  // restarts the wait
  watcher.Note(BlockEvent::kRemoval, 2000);
  EXPECT_EQ(watcher.MillisecondsUntilDue(3000), 4000u);
  EXPECT_FALSE(watcher.TakeDue(6999).removal);
  DueRefresh due = watcher.TakeDue(7000);
  EXPECT_FALSE(due.arrival);
  EXPECT_TRUE(due.removal);
  EXPECT_FALSE(watcher.TakeDue(7999).arrival);
  EXPECT_TRUE(watcher.TakeDue(8000).arrival);
  due = watcher.TakeDue(60000);  // handed out once only
  EXPECT_FALSE(due.arrival || due.removal);
  watcher.Note(BlockEvent::kChange, 100000);
  due = watcher.TakeDue(105000);
  EXPECT_TRUE(due.arrival && due.removal);
}

TEST(DeviceWatcher, AttachingALoopDeviceIsNoticed) {
  if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
  DeviceWatcher watcher;
  ASSERT_EQ(watcher.Start(), 0);
  test::TempDir dir;
  test::MustRun("truncate -s 8M " + test::Quote(dir / "disk.img"));
  test::LoopDevice device(dir / "disk.img");
  ASSERT_TRUE(device.ok());
  struct pollfd wait {
    watcher.Descriptor(), POLLIN, 0
  };
  ASSERT_EQ(::poll(&wait, 1, 10000), 1) << "no block event within 10 s";
  watcher.OnReadable(SteadyMilliseconds());
  EXPECT_TRUE(watcher.MillisecondsUntilDue(SteadyMilliseconds()));
}

}  // namespace
}  // namespace salvora
