#pragma once
// The conversation with udisks2 on the system message bus that gets a
// normal user a read-only descriptor of a block device. udisks2 asks polkit,
// which may ask the person at the desktop for a password.
#include <string>

namespace salvora {

// Asks udisks2 to open `devicePath` for reading (Block.OpenForBackup).
// Returns the descriptor, owned by the caller, or -1 with `reason` saying in
// a few words why not (udisks2 or the bus not running, not authorised, the
// device busy ...). Blocks while a password is being asked for.
int RequestBackupDescriptor(const std::string& devicePath, std::string& reason);

}  // namespace salvora
