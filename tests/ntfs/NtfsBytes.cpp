#include "NtfsBytes.h"

#include "platform/MemoryFile.h"

#include <algorithm>
#include <cstring>

namespace salvora::test {
namespace {

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

}  // namespace

void Put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& b, size_t at, uint64_t v) {
  Put32(b, at, static_cast<uint32_t>(v));
  Put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

RecordBuilder::RecordBuilder(uint32_t recordNumber, uint16_t flags, size_t size)
    : bytes_(size, '\0') {
  bytes_.replace(0, 4, "FILE");
  Put16(bytes_, 0x04, 0x30);
  Put16(bytes_, 0x06, static_cast<uint16_t>(size / 512 + 1));
  next_ = Align8(0x30 + 2 * (size / 512 + 1));
  Put16(bytes_, 0x14, static_cast<uint16_t>(next_));
  Put16(bytes_, 0x16, flags);
  Put32(bytes_, 0x1C, static_cast<uint32_t>(size));
  Put32(bytes_, 0x2C, recordNumber);
}

RecordBuilder& RecordBuilder::Resident(uint32_t type, const std::string& value, uint8_t nameUnits) {
  size_t valueOffset = Align8(0x18 + 2u * nameUnits);
  size_t length = Align8(valueOffset + value.size());
  Put32(bytes_, next_, type);
  Put32(bytes_, next_ + 4, static_cast<uint32_t>(length));
  bytes_[next_ + 9] = static_cast<char>(nameUnits);
  Put16(bytes_, next_ + 0x0A, 0x18);
  Put32(bytes_, next_ + 0x10, static_cast<uint32_t>(value.size()));
  Put16(bytes_, next_ + 0x14, static_cast<uint16_t>(valueOffset));
  bytes_.replace(next_ + valueOffset, value.size(), value);
  next_ += length;
  return *this;
}

RecordBuilder& RecordBuilder::NonResident(uint32_t type, const std::string& runList,
                                          uint64_t realSize, uint64_t lowestVcn, uint16_t flags,
                                          uint8_t nameUnits) {
  size_t runOffset = Align8(0x40 + 2u * nameUnits);
  size_t length = Align8(runOffset + runList.size() + 1);
  Put32(bytes_, next_, type);
  Put32(bytes_, next_ + 4, static_cast<uint32_t>(length));
  bytes_[next_ + 8] = 1;
  bytes_[next_ + 9] = static_cast<char>(nameUnits);
  Put16(bytes_, next_ + 0x0A, 0x40);
  Put16(bytes_, next_ + 0x0C, flags);
  Put64(bytes_, next_ + 0x10, lowestVcn);
  Put16(bytes_, next_ + 0x20, static_cast<uint16_t>(runOffset));
  if (flags & 1) bytes_[next_ + 0x22] = 4;
  Put64(bytes_, next_ + 0x28, realSize);
  Put64(bytes_, next_ + 0x30, realSize);
  bytes_.replace(next_ + runOffset, runList.size(), runList);
  next_ += length;
  return *this;
}

RecordBuilder& RecordBuilder::FileName(uint32_t parent, const std::u16string& name,
                                       uint8_t nameSpace, uint64_t realSize) {
  std::string value(0x42 + 2 * name.size(), '\0');
  Put32(value, 0x00, parent);
  Put64(value, 0x08, 0x01D0000000000000ull);
  Put64(value, 0x30, realSize);
  value[0x40] = static_cast<char>(name.size());
  value[0x41] = static_cast<char>(nameSpace);
  for (size_t i = 0; i < name.size(); ++i) Put16(value, 0x42 + 2 * i, name[i]);
  return Resident(0x30, value);
}

RecordBuilder& RecordBuilder::BaseRecord(uint32_t base) {
  Put64(bytes_, 0x20, base);
  return *this;
}

std::string RecordBuilder::Finish() {
  Put32(bytes_, next_, 0xFFFFFFFF);
  Put32(bytes_, 0x18, static_cast<uint32_t>(next_ + 8));
  const uint16_t usn = 0x0007;
  Put16(bytes_, 0x30, usn);
  for (size_t i = 1; i <= bytes_.size() / 512; ++i) {
    size_t end = i * 512 - 2;
    bytes_[0x30 + 2 * i] = bytes_[end];
    bytes_[0x31 + 2 * i] = bytes_[end + 1];
    Put16(bytes_, end, usn);
  }
  return bytes_;
}

std::string ListEntry(uint32_t type, uint64_t startVcn, uint64_t recordNumber) {
  std::string entry(0x20, '\0');
  Put32(entry, 0x00, type);
  Put16(entry, 0x04, 0x20);
  Put64(entry, 0x08, startVcn);
  Put64(entry, 0x10, recordNumber);
  return entry;
}

void AttachBytes(SectorSource& source, std::string bytes) {
  uint64_t sectors = bytes.size() / 512;
  source.Attach(std::make_unique<MemoryFile>(std::move(bytes)), sectors);
}

}  // namespace salvora::test
