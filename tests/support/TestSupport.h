#pragma once
// Helpers every test suite uses: temporary folders, running the real tools
// that make fixtures, hashing files, loop devices.
#include <cstdint>
#include <string>

namespace salvora::test {

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Points SALVORA_DATA_DIR at a temporary folder for the life of the object
// and makes the process's scan history read it afresh; previews made
// meanwhile are removed with it.
class ScopedDataDir {
 public:
  ScopedDataDir();
  ~ScopedDataDir();
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Runs a shell command; returns its exit status (-1 when it could not run).
// `output` receives stdout and stderr together when given.
int Run(const std::string& command, std::string* output = nullptr);
// Runs and fails the current test when the command does not exit 0.
void MustRun(const std::string& command);
// Quotes a string for the shell.
std::string Quote(const std::string& text);

bool IsRoot();
bool HaveCommand(const std::string& name);
// Whether loop devices can be attached here (root and /dev/loop-control).
bool CanUseLoopDevices();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Bytes of an image at an offset (fewer at its end), and bytes written over
// it in place (a failed write fails the current test).
std::string ReadImage(const std::string& image, uint64_t offset, size_t length);
void PatchImage(const std::string& image, uint64_t offset, const std::string& bytes);
// SHA-256 of a file's bytes as hex (empty when it cannot be read).
std::string FileSha256(const std::string& path);
// Deterministic pseudo-random bytes.
std::string PseudoRandomBytes(size_t length, uint64_t seed);

// A loop device attached to an image (with partition scanning), detached on
// destruction.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& imagePath);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  bool ok() const { return !device_.empty(); }
  const std::string& device() const { return device_; }
  // "/dev/loopNpK"
  std::string partition(int number) const;

 private:
  std::string device_;
};

// The salvora executable built next to the tests.
std::string SalvoraBinary();

}  // namespace salvora::test
