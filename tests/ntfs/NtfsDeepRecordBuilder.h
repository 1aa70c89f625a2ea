#pragma once
// Hand-made FILE records for the deep NTFS engine's edge cases: 1024-byte
// records with a $FILE_NAME, an optional $DATA and the update sequence in
// place, as a formatter leaves them.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora::test {

struct RecordSpec {
  uint32_t number = 0;
  uint16_t flags = 0;  // 1 in use, 2 directory
  uint32_t parent = 5;
  std::string name;
  uint8_t nameSpace = 1;
  std::string secondName;  // a later $FILE_NAME, when not empty
  uint8_t secondNameSpace = 1;
  bool hasData = false;
  bool residentData = false;
  std::string residentValue;
  std::vector<uint8_t> runList;  // encoded, for non-resident data
  uint64_t allocatedSize = 0;
  uint64_t realSize = 0;
};

// A repaired-looking record of 1024 bytes whose two sector ends carry the
// update sequence number.
std::vector<uint8_t> BuildFileRecord(const RecordSpec& layout);

// Writes bytes at a 512-byte sector of a file, growing it as needed.
void WriteAtSector(const std::string& path, uint64_t sector, const std::vector<uint8_t>& bytes);

}  // namespace salvora::test
