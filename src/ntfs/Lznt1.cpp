#include "ntfs/Lznt1.h"

#include <cstring>

#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr size_t kChunkOutputBytes = 4096;

// Decodes one compressed chunk body into `out` (at most 4096 bytes).
int DecodeChunk(const uint8_t* in, size_t inSize, uint8_t* out, size_t outRoom) {
  size_t ip = 0;
  size_t op = 0;
  while (ip < inSize && op < outRoom) {
    uint8_t flags = in[ip++];
    for (int bit = 0; bit < 8 && ip < inSize && op < outRoom; ++bit, flags >>= 1) {
      if (!(flags & 1)) {
        out[op++] = in[ip++];
        continue;
      }
      if (inSize - ip < 2) return kFileCorrupt;
      uint16_t token = Le16(in + ip);
      ip += 2;
      unsigned lengthBits = 12;
      for (size_t p = op - 1; op > 0 && p >= 0x10; p >>= 1) --lengthBits;
      size_t distance = (token >> lengthBits) + 1u;
      size_t length = (token & ((1u << lengthBits) - 1)) + 3u;
      if (distance > op) return kFileCorrupt;
      // Overlapping copies repeat what they have just written.
      for (size_t i = 0; i < length && op < outRoom; ++i, ++op) out[op] = out[op - distance];
    }
  }
  return kOk;
}

}  // namespace

int Lznt1Decompress(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
  std::memset(output, 0, outputSize);
  size_t ip = 0;
  size_t op = 0;
  while (inputSize - ip >= 2 && op < outputSize) {
    uint16_t header = Le16(input + ip);
    if (header == 0) break;
    size_t body = (header & 0x0FFFu) + 1u;
    ip += 2;
    if (body > inputSize - ip) return kFileCorrupt;
    size_t room = outputSize - op < kChunkOutputBytes ? outputSize - op : kChunkOutputBytes;
    if (header & 0x8000u) {
      int result = DecodeChunk(input + ip, body, output + op, room);
      if (result != kOk) return result;
    } else {
      std::memcpy(output + op, input + ip, body < room ? body : room);
    }
    ip += body;
    op += kChunkOutputBytes;
  }
  return kOk;
}

}  // namespace salvora
