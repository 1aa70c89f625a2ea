#include "support/NtfsRecordProbe.h"

#include <fstream>
#include <vector>

#include "ntfs/NtfsRecord.h"
#include "platform/ErrorCodes.h"

namespace salvora::test {

std::optional<uint64_t> FileNameSizeOfRecord(const std::string& image, uint64_t sector) {
  std::vector<uint8_t> record(1024);
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(sector * 512));
  if (!in.read(reinterpret_cast<char*>(record.data()), static_cast<std::streamsize>(record.size())))
    return std::nullopt;
  if (!HasFileSignature(record.data(), record.size()) ||
      ApplyFixup(record.data(), record.size()) != kOk)
    return std::nullopt;
  Attribute attribute;
  FileName name;
  if (!FindAttribute(record.data(), record.size(), kAttrFileName, attribute) ||
      !ParseFileName(attribute, name))
    return std::nullopt;
  return name.realSize;
}

}  // namespace salvora::test
