#include "platform/UdevVolumeTags.h"

#include <libudev.h>
#include <sys/stat.h>

#include <memory>

namespace salvora {
namespace {

struct UdevDeleter {
  void operator()(udev* context) const { udev_unref(context); }
  void operator()(udev_device* device) const { udev_device_unref(device); }
};

std::string Property(udev_device* device, const char* name) {
  const char* value = udev_device_get_property_value(device, name);
  return value ? value : "";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string DecodeUdevText(const std::string& encoded) {
  std::string text;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x') {
      int high = HexDigit(encoded[i + 2]), low = HexDigit(encoded[i + 3]);
      if (high >= 0 && low >= 0) {
        text.push_back(static_cast<char>(high * 16 + low));
        i += 3;
        continue;
      }
    }
    text.push_back(encoded[i]);
  }
  return text;
}

bool ReadUdevVolumeTags(const std::string& devicePath, VolumeTags& out) {
  out = VolumeTags();
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  std::unique_ptr<udev, UdevDeleter> context(udev_new());
  if (!context) return false;
  std::unique_ptr<udev_device, UdevDeleter> device(
      udev_device_new_from_devnum(context.get(), 'b', st.st_rdev));
  if (!device || !udev_device_get_is_initialized(device.get())) return false;
  out.type = Property(device.get(), "ID_FS_TYPE");
  out.version = Property(device.get(), "ID_FS_VERSION");
  out.label = DecodeUdevText(Property(device.get(), "ID_FS_LABEL_ENC"));
  out.partitionScheme = Property(device.get(), "ID_PART_ENTRY_SCHEME");
  out.partitionType = Property(device.get(), "ID_PART_ENTRY_TYPE");
  return true;
}

}  // namespace salvora
