#include "platform/ReadBuffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace salvora {
namespace {

constexpr size_t kHugePage = 2u << 20;

}  // namespace

void ReadBufferFree::operator()(uint8_t* memory) const { std::free(memory); }

ReadBuffer AllocateReadBuffer(size_t bytes) {
  size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  if (rounded < bytes) throw std::bad_alloc();
  ReadBuffer memory(static_cast<uint8_t*>(std::aligned_alloc(kHugePage, rounded)));
  if (!memory) throw std::bad_alloc();
  // Only advice: where the system has no huge pages to give, small ones do.
  madvise(memory.get(), rounded, MADV_HUGEPAGE);
  return memory;
}

}  // namespace salvora
