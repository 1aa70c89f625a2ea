#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/DataFolders.h"
#include "results/ScanHistory.h"

namespace salvora::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "salvora-test-XXXXXX").string();
  if (char* made = ::mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

ScopedDataDir::ScopedDataDir() {
  if (const char* old = std::getenv("SALVORA_DATA_DIR")) {
    previous_ = old;
    hadPrevious_ = true;
  }
  ::setenv("SALVORA_DATA_DIR", dir_.path().c_str(), 1);
  ScanHistory::Instance().Load();
}

ScopedDataDir::~ScopedDataDir() {
  if (hadPrevious_) ::setenv("SALVORA_DATA_DIR", previous_.c_str(), 1);
  else ::unsetenv("SALVORA_DATA_DIR");
  ScanHistory::Instance().Load();
  // Previews made meanwhile went to the process's private folder.
  RemovePreviewFolder();
}

int Run(const std::string& command, std::string* output) {
  std::string full = command + " 2>&1";
  FILE* pipe = ::popen(full.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    if (output) output->append(buffer, n);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MustRun(const std::string& command) {
  std::string output;
  int status = Run(command, &output);
  ASSERT_EQ(status, 0) << command << "\n" << output;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool IsRoot() { return ::geteuid() == 0; }

bool HaveCommand(const std::string& name) {
  return Run("command -v " + Quote(name) + " >/dev/null") == 0;
}

bool CanUseLoopDevices() { return IsRoot() && fs::exists("/dev/loop-control"); }

std::string ReadImage(const std::string& image, uint64_t offset, size_t length) {
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(length, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(length));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

void PatchImage(const std::string& image, uint64_t offset, const std::string& bytes) {
  std::fstream out(image, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot patch " << image;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string FileSha256(const std::string& path) {
  std::string output;
  if (Run("sha256sum " + Quote(path), &output) != 0) return {};
  return output.substr(0, output.find(' '));
}

std::string PseudoRandomBytes(size_t length, uint64_t seed) {
  std::string bytes(length, '\0');
  uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
  for (size_t i = 0; i < length; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

LoopDevice::LoopDevice(const std::string& imagePath) {
  std::string output;
  if (Run("losetup -f --show -P " + Quote(imagePath), &output) != 0) return;
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  device_ = output;
  // Some kernels in containers attach without reading the partition table;
  // partx asks for it explicitly (harmless when it is already read).
  Run("partx -a " + Quote(device_) + " >/dev/null 2>&1 || true");
  Run("udevadm settle >/dev/null 2>&1 || true");
}

LoopDevice::~LoopDevice() {
  if (device_.empty()) return;
  // Remove the partition nodes this object may have made.
  Run("rm -f " + Quote(device_) + "p[0-9]*");
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (Run("losetup -d " + Quote(device_)) == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

// Containers often run without udev, so the partition nodes the kernel
// announces in sysfs may be missing from /dev: make them from sysfs.
std::string LoopDevice::partition(int number) const {
  std::string node = device_ + "p" + std::to_string(number);
  if (fs::exists(node)) return node;
  std::string name = fs::path(device_).filename().string();
  std::string sysfs = "/sys/block/" + name + "/" + name + "p" + std::to_string(number) + "/dev";
  for (int attempt = 0; attempt < 20 && !fs::exists(sysfs); ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::string numbers = ReadFile(sysfs);
  unsigned major = 0, minor = 0;
  if (std::sscanf(numbers.c_str(), "%u:%u", &major, &minor) == 2)
    Run("mknod " + Quote(node) + " b " + std::to_string(major) + " " + std::to_string(minor));
  return node;
}

std::string SalvoraBinary() { return SALVORA_BINARY; }

}  // namespace salvora::test
