// Runs a fuzz target over saved inputs without libFuzzer, so that every
// finding stays a test of the normal suite, built with any compiler. Each
// argument is an input file or a folder of them; the run fails only the way
// the target itself fails (a sanitizer report, a crash, a hang that the test
// runner times out).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> inputs;
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::directory_iterator(path))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  } else {
    inputs.push_back(path);
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const std::filesystem::path& input : InputsOf(argv[i])) {
      std::ifstream in(input, std::ios::binary);
      std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
      bytes.reserve(1);  // targets may rely on a pointer even for no bytes
      std::printf("replaying %s (%zu bytes)\n", input.c_str(), bytes.size());
      std::fflush(stdout);
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed\n", replayed);
  return 0;
}
