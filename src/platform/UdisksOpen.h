#pragma once
// Raw devices for a user who may not open them: the descriptor comes from
// udisks2. udisks2 opens devices exclusively, so a second request for a
// device this process already holds would fail; every source on one device
// shares the one descriptor instead, and it is closed with the last of them.
#include <memory>
#include <string>

#include "platform/FileDescriptor.h"

namespace salvora {

// A read-only descriptor of the block device at `devicePath`, shared with
// every other holder in this process; null with `reason` when udisks2 is
// absent or refuses.
std::shared_ptr<FileDescriptor> OpenDeviceThroughUdisks(const std::string& devicePath,
                                                        std::string& reason);

}  // namespace salvora
