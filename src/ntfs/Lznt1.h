#pragma once
// LZNT1, the compression of NTFS compressed files. A compression unit holds
// a sequence of chunks, each standing for 4096 bytes of output: a u16
// header (low 12 bits: chunk bytes - 3, bit 15: compressed), then either the
// 4096 bytes as they are or groups of a flag byte and eight tokens (clear
// bit: one literal byte; set bit: a u16 back-reference whose split between
// offset and length depends on how far into the chunk the output is).
#include <cstddef>
#include <cstdint>

namespace salvora {

// Decompresses `input` into `output`, which is zero-filled past the data.
// 0, or 1392 when a chunk is malformed or refers outside its own output.
int Lznt1Decompress(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize);

}  // namespace salvora
