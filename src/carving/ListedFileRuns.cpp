#include "carving/ListedFileRuns.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "carving/FileTypeCode.h"
#include "carving/FragmentReassembly.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// The carving type whose fragment search judges files of this extension.
int TypeOfName(const char* name) {
  std::string extension(name);
  const size_t dot = extension.rfind('.');
  if (dot == std::string::npos) return kTypeNone;
  extension.erase(0, dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  static const struct {
    const char* extension;
    int type;
  } kJudged[] = {{"jpg", kTypeJpeg},  {"jpeg", kTypeJpeg}, {"jpe", kTypeJpeg}, {"png", kTypePng},
                 {"zip", kTypeZip},   {"docx", kTypeZip},  {"xlsx", kTypeZip}, {"pptx", kTypeZip},
                 {"odt", kTypeZip},   {"ods", kTypeZip},   {"odp", kTypeZip},  {"epub", kTypeZip},
                 {"mp4", kTypeMp4},   {"m4v", kTypeMp4},   {"mov", kTypeMp4},  {"3gp", kTypeMp4},
                 {"pdf", kTypePdf}};
  for (const auto& judged : kJudged)
    if (extension == judged.extension) return judged.type;
  return kTypeNone;
}

}  // namespace

ListedRuns RebuildListedFile(SectorSource& source, int sectorSize, uint64_t firstSector,
                             uint64_t clusterSectors, uint64_t fileSize, const char* name,
                             PieceList& pieces) {
  const int type = TypeOfName(name);
  if (type == kTypeNone || fileSize == 0) return ListedRuns::kUnjudged;
  CarveContext context;
  context.source = &source;
  context.sectorSize = sectorSize;
  context.fileStartSector = firstSector;
  FragmentReassembler reassembler;
  reassembler.NewScan();
  Reassembly rebuilt = reassembler.Examine(context, type, fileSize, clusterSectors);
  switch (rebuilt.outcome) {
    case FragmentOutcome::kWhole:
      return ListedRuns::kWhole;
    case FragmentOutcome::kJoined:
      // Runs that disagree with the size the entry states are no rebuild.
      if (rebuilt.size != fileSize) return ListedRuns::kDamaged;
      pieces = rebuilt.pieces;
      return rebuilt.uncertain ? ListedRuns::kGuessed : ListedRuns::kJoined;
    case FragmentOutcome::kDamaged:
      return ListedRuns::kDamaged;
    case FragmentOutcome::kUntouched:
      break;
  }
  return ListedRuns::kUnjudged;
}

int CopySectorRuns(SectorSource& source, int sectorSize, const PieceList& pieces, DataSink& sink) {
  if (sectorSize <= 0 || static_cast<uint32_t>(sectorSize) > kScanBufferBytes)
    return kInvalidParameter;
  const uint64_t sectorBytes = static_cast<uint64_t>(sectorSize);
  const uint32_t chunkSectors = kScanBufferBytes / static_cast<uint32_t>(sectorSize);
  std::vector<uint8_t> buffer(kScanBufferBytes);
  for (const SectorPiece& piece : pieces) {
    uint64_t next = piece.first, sectorsLeft = piece.count;
    while (sectorsLeft > 0 && !sink.Full()) {
      uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(chunkSectors, sectorsLeft));
      uint32_t read = 0;
      source.ReadSectors(static_cast<int32_t>(n), buffer.data(), next, sectorSize, read);
      if (read == 0) return kReadFault;
      int result = sink.Write(buffer.data(), read * sectorBytes);
      if (result != kOk) return result;
      next += read;
      sectorsLeft -= read;
    }
  }
  return kOk;
}

}  // namespace salvora
