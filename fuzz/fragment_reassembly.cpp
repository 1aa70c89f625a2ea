// A small disk of any content on which a PNG, a JPEG, a ZIP archive, a
// movie and a PDF are sought to start at every sector that could start
// one: the break search, the joins tried, the sample tables, the
// cross-reference table and the decoder all meet whatever the disk holds. The input also
// serves as a carving store's companion file of pieces.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "CarvingFuzzImage.h"
#include "carving/FileTypeCode.h"
#include "carving/FragmentReassembly.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unordered_map<uint32_t, salvora::PieceList> entries;
  salvora::ParsePieceEntries(data, size, entries);

  salvora::SectorSource source;
  salvora::fuzz::AttachImage(source, data, size);
  salvora::CarveContext context;
  context.source = &source;
  context.sectorSize = 512;
  salvora::FragmentReassembler reassembler;
  // A few starts keep each input quick; the seeds put theirs first.
  int starts = 0;
  for (uint64_t sector = 0; sector * 512 < size && starts < 4; ++sector) {
    const uint8_t* at = data + sector * 512;
    const bool movie = size - sector * 512 >= 8 && std::memcmp(at + 4, "ftyp", 4) == 0;
    int type = at[0] == 0x89   ? salvora::kTypePng
               : at[0] == 0xFF ? salvora::kTypeJpeg
               : at[0] == 'P'  ? salvora::kTypeZip
               : at[0] == '%'  ? salvora::kTypePdf
               : movie         ? salvora::kTypeMp4
                               : -1;
    if (type < 0) continue;
    ++starts;
    context.fileStartSector = sector;
    salvora::Reassembly result = reassembler.Examine(context, type, size - sector * 512);
    uint64_t held = 0;
    for (const salvora::SectorPiece& piece : result.pieces) held += piece.count * 512;
    if (result.outcome == salvora::FragmentOutcome::kJoined && held < result.size) __builtin_trap();
  }
  return 0;
}
