// Lengths of files that are one compressed stream: the stream ends where
// its decoder says it ends. gzip adds its 8-byte trailer (checked against
// the data); xz and bzip2 streams close themselves. The decoded bytes are
// thrown away as they come.
#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <array>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint8_t kGzipCrc = 0x02, kGzipExtra = 0x04, kGzipName = 0x08, kGzipComment = 0x10;
constexpr uint8_t kGzipReserved = 0xE0;
constexpr uint32_t kGzipHeader = 10, kGzipTrailer = 8;
constexpr uint64_t kMaxHeaderText = 0x10000;
// Decoders may allocate their dictionary; nothing a carved file needs
// comes near this.
constexpr uint64_t kXzMemoryLimit = 256u << 20;

using Scratch = std::array<uint8_t, 0x8000>;

// The offset after a zero-terminated text at `at`.
bool SkipText(FileWindow& window, uint64_t& at) {
  for (uint64_t n = 0; n < kMaxHeaderText; ++n, ++at) {
    const uint8_t* c = window.At(at, 1);
    if (!c) return false;
    if (*c == 0) {
      ++at;
      return true;
    }
  }
  return false;
}

// The offset where a gzip member's deflate data starts.
bool SkipGzipHeader(FileWindow& window, uint64_t& at) {
  const uint8_t* header = window.At(0, kGzipHeader);
  if (!header || header[0] != 0x1F || header[1] != 0x8B || header[2] != 8) return false;
  const uint8_t flags = header[3];
  if (flags & kGzipReserved) return false;
  at = kGzipHeader;
  if (flags & kGzipExtra) {
    const uint8_t* length = window.At(at, 2);
    if (!length) return false;
    at += 2 + uint64_t{Le16(length)};
  }
  if ((flags & kGzipName) && !SkipText(window, at)) return false;
  if ((flags & kGzipComment) && !SkipText(window, at)) return false;
  if (flags & kGzipCrc) at += 2;
  return true;
}

// Feeds the window from `at` to a decoder until it reports the stream's
// end; `step(input, length, consumed)` answers 1 at the end, 0 to go on,
// -1 on an error. Returns the offset after the last byte consumed.
template <typename Step>
bool Decode(FileWindow& window, uint64_t at, Step step, uint64_t& end) {
  for (;;) {
    uint32_t available = 0;
    const uint8_t* input = window.From(at, available);
    if (!input) return false;
    uint32_t consumed = 0;
    int state = step(input, available, consumed);
    at += consumed;
    if (state != 0) {
      end = at;
      return state > 0;
    }
    if (consumed == 0) return false;  // the decoder wants what the source lacks
  }
}

}  // namespace

bool InflatedStream(FileWindow& window, uint64_t at, DeflateEnd& end) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  Scratch out;
  uLong crc = crc32(0, nullptr, 0);
  uint64_t decoded = 0;
  auto step = [&](const uint8_t* input, uint32_t length, uint32_t& consumed) {
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = length;
    int result = Z_OK;
    // A full output buffer may leave more decoded bytes pending.
    do {
      z.next_out = out.data();
      z.avail_out = out.size();
      result = inflate(&z, Z_NO_FLUSH);
      uInt produced = static_cast<uInt>(out.size() - z.avail_out);
      crc = crc32(crc, out.data(), produced);
      decoded += produced;
    } while (result == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
    consumed = length - z.avail_in;
    if (result == Z_STREAM_END) return 1;
    return result == Z_OK || (result == Z_BUF_ERROR && z.avail_in == 0) ? 0 : -1;
  };
  bool ended = Decode(window, at, step, end.offset);
  inflateEnd(&z);
  end.crc = static_cast<uint32_t>(crc);
  end.decodedBytes = decoded;
  return ended;
}

bool WalkGzip(FileWindow& window, uint64_t& size) {
  uint64_t at = 0;
  DeflateEnd end;
  if (!SkipGzipHeader(window, at) || !InflatedStream(window, at, end)) return false;
  const uint8_t* trailer = window.At(end.offset, kGzipTrailer);
  if (!trailer || Le32(trailer) != end.crc ||
      Le32(trailer + 4) != static_cast<uint32_t>(end.decodedBytes))
    return false;
  size = end.offset + kGzipTrailer;
  return true;
}

bool WalkXz(FileWindow& window, uint64_t& size) {
  lzma_stream xz = LZMA_STREAM_INIT;
  if (lzma_stream_decoder(&xz, kXzMemoryLimit, 0) != LZMA_OK) return false;
  Scratch out;
  auto step = [&](const uint8_t* input, uint32_t length, uint32_t& consumed) {
    xz.next_in = input;
    xz.avail_in = length;
    lzma_ret result = LZMA_OK;
    do {
      xz.next_out = out.data();
      xz.avail_out = out.size();
      result = lzma_code(&xz, LZMA_RUN);
    } while (result == LZMA_OK && (xz.avail_in > 0 || xz.avail_out == 0));
    consumed = length - static_cast<uint32_t>(xz.avail_in);
    return result == LZMA_STREAM_END ? 1 : result == LZMA_OK ? 0 : -1;
  };
  bool ended = Decode(window, 0, step, size);
  lzma_end(&xz);
  return ended;
}

bool WalkBzip2(FileWindow& window, uint64_t& size) {
  bz_stream bz{};
  if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK) return false;
  Scratch out;
  auto step = [&](const uint8_t* input, uint32_t length, uint32_t& consumed) {
    bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(input));
    bz.avail_in = length;
    int result = BZ_OK;
    do {
      bz.next_out = reinterpret_cast<char*>(out.data());
      bz.avail_out = out.size();
      result = BZ2_bzDecompress(&bz);
    } while (result == BZ_OK && (bz.avail_in > 0 || bz.avail_out == 0));
    consumed = length - bz.avail_in;
    return result == BZ_STREAM_END ? 1 : result == BZ_OK ? 0 : -1;
  };
  bool ended = Decode(window, 0, step, size);
  BZ2_bzDecompressEnd(&bz);
  return ended;
}

}  // namespace salvora
