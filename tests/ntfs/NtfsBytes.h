#pragma once
// Hand-made NTFS bytes for the exact edge cases: FILE records with chosen
// attributes, and an in-memory volume to read them through.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/RandomAccessFile.h"
#include "storage/SectorSource.h"

namespace salvora::test {

void Put16(std::string& bytes, size_t at, uint16_t value);
void Put32(std::string& bytes, size_t at, uint32_t value);
void Put64(std::string& bytes, size_t at, uint64_t value);

// Builds one FILE record of `size` bytes (update sequence at 0x30).
class RecordBuilder {
 public:
  explicit RecordBuilder(uint32_t recordNumber, uint16_t flags = 0, size_t size = 1024);
  RecordBuilder& Resident(uint32_t type, const std::string& value, uint8_t nameUnits = 0);
  RecordBuilder& NonResident(uint32_t type, const std::string& runList, uint64_t realSize,
                             uint64_t lowestVcn = 0, uint16_t flags = 0, uint8_t nameUnits = 0);
  RecordBuilder& FileName(uint32_t parent, const std::u16string& name, uint8_t nameSpace,
                          uint64_t realSize = 0);
  RecordBuilder& BaseRecord(uint32_t base);
  // Ends the attributes and protects the stride ends as a volume does.
  std::string Finish();

 private:
  std::string bytes_;
  size_t next_ = 0x38;
};

// A $ATTRIBUTE_LIST entry for an unnamed attribute.
std::string ListEntry(uint32_t type, uint64_t startVcn, uint64_t recordNumber);

// A source over bytes held in memory.
void AttachBytes(SectorSource& source, std::string bytes);

}  // namespace salvora::test
