#include "previewclient/PreviewPicture.h"

#include <cstdint>
#include <cstring>
#include <fstream>

#include "previewclient/PreviewLimits.h"

namespace salvora {
namespace {

// Signature, then the IHDR chunk's length and type, then width and height.
constexpr size_t kHeaderBytes = 24;
const char kPngStart[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR";

uint32_t BigEndian32(const unsigned char* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

}  // namespace

std::string CheckPreviewPicture(const std::filesystem::path& png) {
  std::error_code error;
  uintmax_t bytes = std::filesystem::file_size(png, error);
  if (error) return "the helper wrote no picture";
  if (bytes > kPreviewPictureFileBytes) return "the helper's picture is larger than promised";
  unsigned char header[kHeaderBytes] = {};
  std::ifstream file(png, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(header), kHeaderBytes) ||
      std::memcmp(header, kPngStart, 16) != 0)
    return "the helper's picture is not a PNG";
  uint32_t width = BigEndian32(header + 16);
  uint32_t height = BigEndian32(header + 20);
  if (width == 0 || height == 0 || width > kPreviewPictureSide || height > kPreviewPictureSide)
    return "the helper's picture measures " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels";
  return {};
}

}  // namespace salvora
