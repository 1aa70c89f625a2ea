// An SQLite database's length from its header: the page size times the page
// count, which the header keeps valid as long as the number that says for
// which change it was written equals the change counter.
#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kHeaderBytes = 100;

uint32_t PageBytes(const uint8_t* header) {
  uint32_t stored = Be16(header + 16);
  uint32_t bytes = stored == 1 ? 0x10000 : stored;
  bool powerOfTwo = bytes >= 512 && (bytes & (bytes - 1)) == 0;
  return powerOfTwo ? bytes : 0;
}

}  // namespace

bool WalkSqlite(FileWindow& window, uint64_t& size) {
  const uint8_t* header = window.At(0, kHeaderBytes);
  if (!header || !HasText(header, "SQLite format 3")) return false;
  const uint32_t pageBytes = PageBytes(header);
  // Payload fractions every database carries, and file format numbers 1 or 2.
  bool fixedFields = header[21] == 64 && header[22] == 32 && header[23] == 32 &&
                     (header[18] == 1 || header[18] == 2) && (header[19] == 1 || header[19] == 2);
  const uint32_t pages = Be32(header + 28);
  const bool pageCountValid = Be32(header + 24) == Be32(header + 92);
  if (pageBytes == 0 || !fixedFields || pages == 0 || !pageCountValid) return false;
  size = uint64_t{pages} * pageBytes;
  return true;
}

}  // namespace salvora
