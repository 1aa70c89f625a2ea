#pragma once
// Memory that large sequential reads fill and a scan then looks through. It
// is page-aligned, which the system's copy into it needs to run at full
// speed, and asks for huge pages: a scan that crosses every byte of a disk
// then misses the address cache far less, in the copy and in the scan. Left
// untouched until used, so a small volume does not cost all of it.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace salvora {

struct ReadBufferFree {
  void operator()(uint8_t* memory) const;
};
using ReadBuffer = std::unique_ptr<uint8_t, ReadBufferFree>;

// At least `bytes`; throws std::bad_alloc when there is no memory.
ReadBuffer AllocateReadBuffer(size_t bytes);

}  // namespace salvora
