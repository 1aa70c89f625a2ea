#include "ext/ExtFileCopy.h"

#include <algorithm>
#include <vector>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr uint64_t kCopyChunkBytes = 1u << 20;

int WriteZeros(DataSink& sink, uint64_t bytes) {
  static const std::vector<uint8_t> zeros(kCopyChunkBytes, 0);
  while (bytes > 0 && !sink.Full()) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(bytes, zeros.size()));
    int result = sink.Write(zeros.data(), piece);
    if (result != kOk) return result;
    bytes -= piece;
  }
  return kOk;
}

class RunCopier {
 public:
  RunCopier(ExtVolume& volume, DataSink& sink, bool ownedNow)
      : volume_(volume),
        sink_(sink),
        ownedNow_(ownedNow),
        blockSize_(volume.Superblock().blockSize),
        buffer_(kCopyChunkBytes / blockSize_ * blockSize_ + blockSize_) {}

  int Copy(const ExtRun& run) {
    if (run.unwritten) return WriteZeros(sink_, run.length * blockSize_);
    for (uint64_t done = 0; done < run.length && !sink_.Full();) {
      uint64_t block = run.physical + done;
      if (Taken(block)) {
        damaged_ = true;
        int result = WriteZeros(sink_, blockSize_);
        if (result != kOk) return result;
        ++done;
        continue;
      }
      uint64_t count = 1;
      while (done + count < run.length && count * blockSize_ < buffer_.size() - blockSize_ &&
             !Taken(block + count))
        ++count;
      size_t bytes = static_cast<size_t>(count * blockSize_);
      int read = volume_.Bytes().Read(block * blockSize_, bytes, buffer_.data());
      if (read != kOk) readFailure_ = read;
      int result = sink_.Write(buffer_.data(), bytes);
      if (result != kOk) return result;
      done += count;
    }
    return kOk;
  }
  bool Damaged() const { return damaged_; }
  bool Taken(uint64_t block) { return !ownedNow_ && volume_.BlockInUse(block); }
  int ReadFailure() const { return readFailure_; }

 private:
  ExtVolume& volume_;
  DataSink& sink_;
  bool ownedNow_;
  uint32_t blockSize_;
  std::vector<uint8_t> buffer_;
  bool damaged_ = false;
  int readFailure_ = kOk;
};

int CopyInline(const ExtInode& inode, DataSink& sink) {
  int result = sink.Write(inode.map, kExtInodeMapBytes);
  if (result == kOk && !inode.inlineTail.empty())
    result = sink.Write(inode.inlineTail.data(), inode.inlineTail.size());
  return result;
}

int CopyRuns(ExtVolume& volume, const ExtResolved& resolved, DataSink& sink) {
  uint64_t blockSize = volume.Superblock().blockSize;
  RunCopier copier(volume, sink, resolved.ownedNow);
  uint64_t position = 0;  // in blocks
  for (const ExtRun& run : resolved.runs) {
    if (sink.Full()) break;
    int result =
        WriteZeros(sink, run.logical > position ? (run.logical - position) * blockSize : 0);
    if (result == kOk) result = copier.Copy(run);
    if (result != kOk) return result;
    position = run.logical + run.length;
  }
  // A file that ends in a hole.
  int result = WriteZeros(sink, sink.Limit() > sink.Written() ? sink.Limit() - sink.Written() : 0);
  if (result != kOk) return result;
  if (copier.Damaged()) return kFileCorrupt;
  return copier.ReadFailure();
}

}  // namespace

int CopyExtFile(ExtVolume& volume, const ExtResolved& resolved, DataSink& sink) {
  if (resolved.state != ExtResolution::kRecovered) return kFileCorrupt;
  const ExtInode& inode = resolved.inode;
  int result = inode.IsFastSymlink()   ? sink.Write(inode.map, kExtInodeMapBytes)
               : inode.HasInlineData() ? CopyInline(inode, sink)
                                       : CopyRuns(volume, resolved, sink);
  return result == kOk && resolved.ambiguous ? kFileCorrupt : result;
}

}  // namespace salvora
