#pragma once
// Bytes that arrive piece by piece: a member of a zip package as libarchive
// decompresses it, or a buffer. Readers stop as soon as they have what they
// need, so a member that inflates to gigabytes is never read whole.
#include <cstddef>
#include <string_view>

namespace salvora::preview {

class ChunkSource {
 public:
  virtual ~ChunkSource() = default;
  // Fills up to `capacity` bytes; 0 at the end or on an error.
  virtual size_t Read(char* buffer, size_t capacity) = 0;
};

class MemoryChunkSource : public ChunkSource {
 public:
  explicit MemoryChunkSource(std::string_view bytes) : rest_(bytes) {}
  size_t Read(char* buffer, size_t capacity) override;

 private:
  std::string_view rest_;
};

}  // namespace salvora::preview
