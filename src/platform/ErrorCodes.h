#pragma once
// Result codes used across every engine boundary. They keep the numbering of
// the Windows error space so that stored results, callbacks and messages mean
// the same thing on every platform; errno values are mapped into this space.
#include <string>

namespace salvora {

constexpr int kOk = 0;
constexpr int kFileNotFound = 2;
constexpr int kAccessDenied = 5;
constexpr int kNotEnoughMemory = 8;
constexpr int kWriteFault = 29;
constexpr int kReadFault = 30;
// The data ended before the size its file claims.
constexpr int kHandleEof = 38;
// A kind of data this build cannot read (for example encrypted files).
constexpr int kNotSupported = 50;
constexpr int kFileExists = 80;
constexpr int kInvalidParameter = 87;
constexpr int kDiskFull = 112;
constexpr int kAlreadyExists = 183;
// On-disk structures contradict each other, so the file cannot be read.
constexpr int kFileCorrupt = 1392;
// NTFS parsing results.
constexpr int kNotFileRecord = -1;
constexpr int kAttributeNotFound = -100;
constexpr int kDataNotResident = -101;
// Returned by a callback when the user cancels; passed back unchanged.
constexpr int kCancelled = -9527;

enum class IoDirection { kRead, kWrite };

// Maps an errno value into the result-code space. EIO becomes a read or a
// write fault depending on the direction of the failed transfer.
int ErrnoToCode(int err, IoDirection direction = IoDirection::kRead);

// The message text of a result code, in US English.
std::string ErrorMessage(int code);

}  // namespace salvora
