#include "preview/ChunkSource.h"

#include <cstring>

namespace salvora::preview {

size_t MemoryChunkSource::Read(char* buffer, size_t capacity) {
  size_t count = capacity < rest_.size() ? capacity : rest_.size();
  std::memcpy(buffer, rest_.data(), count);
  rest_.remove_prefix(count);
  return count;
}

}  // namespace salvora::preview
