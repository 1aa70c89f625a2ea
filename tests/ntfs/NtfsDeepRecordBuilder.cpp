#include "ntfs/NtfsDeepRecordBuilder.h"

#include <cstring>
#include <fstream>

namespace salvora::test {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

size_t AddFileName(std::vector<uint8_t>& b, size_t at, const RecordSpec& layout,
                   const std::string& name, uint8_t nameSpace) {
  size_t valueBytes = 0x42 + 2 * name.size();
  size_t length = (0x18 + valueBytes + 7) & ~size_t{7};
  Put32(b, at, 0x30);
  Put32(b, at + 4, static_cast<uint32_t>(length));
  Put32(b, at + 0x10, static_cast<uint32_t>(valueBytes));
  Put16(b, at + 0x14, 0x18);
  Put64(b, at + 0x18, layout.parent | (uint64_t{1} << 48));
  Put64(b, at + 0x20, 0x01D0000000000000ull);
  Put64(b, at + 0x28, 0x01D0000000000001ull);
  Put64(b, at + 0x38, 0x01D0000000000002ull);
  Put64(b, at + 0x48, layout.realSize);
  b[at + 0x58] = static_cast<uint8_t>(name.size());
  b[at + 0x59] = nameSpace;
  for (size_t i = 0; i < name.size(); ++i)
    Put16(b, at + 0x5A + 2 * i, static_cast<uint8_t>(name[i]));
  return at + length;
}

size_t AddData(std::vector<uint8_t>& b, size_t at, const RecordSpec& layout) {
  if (layout.residentData) {
    size_t length = (0x18 + layout.residentValue.size() + 7) & ~size_t{7};
    Put32(b, at, 0x80);
    Put32(b, at + 4, static_cast<uint32_t>(length));
    Put32(b, at + 0x10, static_cast<uint32_t>(layout.residentValue.size()));
    Put16(b, at + 0x14, 0x18);
    std::memcpy(b.data() + at + 0x18, layout.residentValue.data(), layout.residentValue.size());
    return at + length;
  }
  size_t length = (0x40 + layout.runList.size() + 1 + 7) & ~size_t{7};
  Put32(b, at, 0x80);
  Put32(b, at + 4, static_cast<uint32_t>(length));
  b[at + 8] = 1;
  Put16(b, at + 0x20, 0x40);
  Put64(b, at + 0x28, layout.allocatedSize);
  Put64(b, at + 0x30, layout.realSize);
  Put64(b, at + 0x38, layout.realSize);
  std::memcpy(b.data() + at + 0x40, layout.runList.data(), layout.runList.size());
  return at + length;
}

}  // namespace

std::vector<uint8_t> BuildFileRecord(const RecordSpec& layout) {
  std::vector<uint8_t> b(1024, 0);
  std::memcpy(b.data(), "FILE", 4);
  Put16(b, 4, 0x30);
  Put16(b, 6, 3);
  Put16(b, 0x14, 0x38);
  Put16(b, 0x16, layout.flags);
  Put32(b, 0x1C, 1024);
  Put32(b, 0x2C, layout.number);
  size_t at = 0x38;
  at = AddFileName(b, at, layout, layout.name, layout.nameSpace);
  if (!layout.secondName.empty())
    at = AddFileName(b, at, layout, layout.secondName, layout.secondNameSpace);
  if (layout.hasData) at = AddData(b, at, layout);
  Put32(b, at, 0xFFFFFFFF);
  Put32(b, 0x18, static_cast<uint32_t>(at + 8));
  // The update sequence: the true sector ends move into the array.
  const uint16_t usn = 7;
  Put16(b, 0x30, usn);
  for (int i = 0; i < 2; ++i) {
    size_t end = 512 * (i + 1) - 2;
    b[0x32 + 2 * i] = b[end];
    b[0x33 + 2 * i] = b[end + 1];
    Put16(b, end, usn);
  }
  return b;
}

void WriteAtSector(const std::string& path, uint64_t sector, const std::vector<uint8_t>& bytes) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) file.open(path, std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(sector * 512));
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace salvora::test
