#include "platform/ErrorCodes.h"

#include <cerrno>

namespace salvora {

int ErrnoToCode(int err, IoDirection direction) {
  switch (err) {
    case 0: return kOk;
    case ENOENT: case ENXIO: case ENODEV: return kFileNotFound;
    case EACCES: case EPERM: case EROFS: return kAccessDenied;
    case ENOMEM: return kNotEnoughMemory;
    case EIO: return direction == IoDirection::kWrite ? kWriteFault : kReadFault;
    case ENOSPC: case EDQUOT: return kDiskFull;
    case EEXIST: return kAlreadyExists;
    case EINVAL: case EFBIG: case EOVERFLOW: return kInvalidParameter;
    default: return direction == IoDirection::kWrite ? kWriteFault : kReadFault;
  }
}

std::string ErrorMessage(int code) {
  switch (code) {
    case kOk: return "The operation completed successfully.";
    case kFileNotFound: return "The system cannot find the file specified.";
    case kAccessDenied: return "Access is denied.";
    case kNotEnoughMemory: return "Not enough memory resources are available to process this command.";
    case kWriteFault: return "The system cannot write to the specified device.";
    case kReadFault: return "The system cannot read from the specified device.";
    case kHandleEof: return "Reached the end of the file.";
    case kNotSupported: return "The request is not supported.";
    case kFileExists: return "The file exists.";
    case kInvalidParameter: return "The parameter is incorrect.";
    case kDiskFull: return "There is not enough space on the disk.";
    case kAlreadyExists: return "Cannot create a file when that file already exists.";
    case kFileCorrupt: return "The file or directory is corrupted and unreadable.";
    case kCancelled: return "The operation was cancelled by the user.";
    default: return "Error " + std::to_string(code) + ".";
  }
}

}  // namespace salvora
