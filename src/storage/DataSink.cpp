#include "storage/DataSink.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora {

int DataSink::Write(const void* data, size_t length) {
  uint64_t room = limit_ - std::min(written_, limit_);
  size_t take = static_cast<size_t>(std::min<uint64_t>(room, length));
  if (take > 0) {
    int result = Store(data, take);
    if (result != kOk) return result;
    written_ += take;
  }
  return Report(Percent());
}

int32_t DataSink::Percent() const {
  if (limit_ == 0) return 100;
  return static_cast<int32_t>(std::min(written_, limit_) * 100 / limit_);
}

int RecoverySink::Open(const std::string& path) {
  path_ = path;
  return file_.CreateNew(path);
}

int RecoverySink::Report(int32_t percent) {
  return callback_ ? callback_(userData_, percent, 100, 0, path_.c_str()) : 0;
}

void RecoverySink::ReportFailure(int code) {
  if (callback_ && code > 0) callback_(userData_, 100, 100, code, path_.c_str());
}

int RecoverySink::ReportDone() {
  return callback_ ? callback_(userData_, 100, 100, 0, path_.c_str()) : 0;
}

PreviewSink::PreviewSink(uint64_t fileSize, bool toMemory, uint8_t* memory, uint32_t capacity,
                         ExtractProgressFn callback, void* userData)
    : DataSink(toMemory ? std::min<uint64_t>(fileSize, memory ? capacity : 0) : fileSize),
      toMemory_(toMemory),
      memory_(memory),
      callback_(callback),
      userData_(userData) {}

int PreviewSink::OpenFile(const std::string& path) {
  path_ = path;
  return file_.CreateReplacing(path);
}

int PreviewSink::Store(const void* data, size_t length) {
  if (toMemory_) {
    std::memcpy(memory_ + Written(), data, length);
    return kOk;
  }
  return file_.Write(data, length);
}

int PreviewSink::Report(int32_t percent) {
  return callback_ ? callback_(userData_, percent, 0) : 0;
}

void PreviewSink::ReportFailure(int code) {
  if (callback_ && code > 0) callback_(userData_, 100, code);
}

int PreviewSink::ReportDone() { return callback_ ? callback_(userData_, 100, 0) : 0; }

void PreviewSink::Finish(int result) {
  file_.Close();
  if (result != kOk && !path_.empty()) ::unlink(path_.c_str());
}

}  // namespace salvora
