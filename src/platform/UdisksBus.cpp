#include "platform/UdisksBus.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>

#include <cstring>
#include <memory>

namespace salvora {
namespace {

constexpr char kService[] = "org.freedesktop.UDisks2";
// Long enough for a person to read the polkit dialog and type a password.
constexpr uint64_t kCallTimeoutUsec = 300ull * 1000 * 1000;

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;

struct Reply {
  sd_bus_message* message = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~Reply() {
    sd_bus_message_unref(message);
    sd_bus_error_free(&error);
  }
};

std::string ReasonOf(const Reply& reply, int result) {
  const sd_bus_error& error = reply.error;
  if (sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
      sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER))
    return "udisks2 is not running";
  if (error.name && std::strstr(error.name, "NotAuthorized"))
    return "not authorised by polkit";
  if (error.message) return error.message;
  return std::strerror(-result);
}

// The udisks2 object that stands for the device node.
bool ObjectOfDevice(sd_bus* bus, const std::string& devicePath, std::string& object,
                    std::string& reason) {
  Reply reply;
  int result = sd_bus_call_method(bus, kService, "/org/freedesktop/UDisks2/Manager",
                                  "org.freedesktop.UDisks2.Manager", "ResolveDevice", &reply.error,
                                  &reply.message, "a{sv}a{sv}", 1, "path", "s",
                                  devicePath.c_str(), 0);
  if (result < 0) {
    reason = ReasonOf(reply, result);
    return false;
  }
  char** objects = nullptr;
  if (sd_bus_message_read_strv(reply.message, &objects) >= 0 && objects && objects[0])
    object = objects[0];
  for (char** each = objects; each && *each; ++each) std::free(*each);
  std::free(objects);
  if (object.empty()) reason = "udisks2 does not know the device";
  return !object.empty();
}

int OpenForBackup(sd_bus* bus, const std::string& object, std::string& reason) {
  Reply reply;
  int result = sd_bus_call_method(bus, kService, object.c_str(), "org.freedesktop.UDisks2.Block",
                                  "OpenForBackup", &reply.error, &reply.message, "a{sv}", 0);
  int received = -1;
  if (result >= 0) result = sd_bus_message_read(reply.message, "h", &received);
  if (result < 0) {
    reason = ReasonOf(reply, result);
    return -1;
  }
  // The message owns the received descriptor and closes it with the reply.
  int fd = ::fcntl(received, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) reason = std::strerror(errno);
  return fd;
}

}  // namespace

int RequestBackupDescriptor(const std::string& devicePath, std::string& reason) {
  sd_bus* opened = nullptr;
  int result = sd_bus_open_system(&opened);
  BusPtr bus(opened);
  if (result < 0) {
    reason = std::string("the system message bus cannot be reached: ") + std::strerror(-result);
    return -1;
  }
  sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutUsec);
  std::string object;
  if (!ObjectOfDevice(bus.get(), devicePath, object, reason)) return -1;
  return OpenForBackup(bus.get(), object, reason);
}

}  // namespace salvora
