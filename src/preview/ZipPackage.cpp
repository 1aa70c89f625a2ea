#include "preview/ZipPackage.h"

#include <archive_entry.h>

#include <algorithm>
#include <map>
#include <vector>

namespace salvora::preview {
namespace {

// Packages with more parts than this are not documents we can read anyway.
constexpr size_t kMaxMembersSearched = 10000;
// Passed parts kept for a later request: XML of at most kKeptPartBytes,
// kMaxKeptBytes in all.
constexpr int64_t kKeptPartBytes = 256 * 1024;
constexpr size_t kMaxKeptBytes = size_t{8} << 20;

bool WorthKeeping(const std::string& name) {
  return name.ends_with(".xml") || name.ends_with(".rels") || name == "mimetype";
}

}  // namespace

struct ZipPackage::Cursor {
  ArchiveSource source;
  uint64_t bytesLeft;
  ArchivePtr reader{nullptr, archive_read_free};
  // Member names in container order, as far as walked.
  std::vector<std::string> names;
  // Index into `names` of the member the reader stands on; -1 before the first.
  long position = -1;
  int64_t positionSize = -1;
  bool positionRead = false;
  bool walkedAll = false;
  std::map<std::string, std::string> kept;
  size_t keptBytes = 0;
  uint64_t generation = 0;
  int openings = 0;

  size_t ReadData(char* buffer, size_t capacity) {
    if (!reader || bytesLeft == 0) return 0;
    positionRead = true;
    la_ssize_t got = archive_read_data(reader.get(), buffer, std::min<uint64_t>(capacity, bytesLeft));
    if (got <= 0) return 0;
    bytesLeft -= static_cast<uint64_t>(got);
    return static_cast<size_t>(got);
  }

  void Reopen() {
    reader = NewArchiveReader();
    archive_read_support_format_zip(reader.get());
    ++openings;
    position = -1;
    if (source.OpenInto(reader.get()) != ARCHIVE_OK) {
      reader.reset();
      walkedAll = true;
    }
  }

  void KeepIfSmall() {
    const std::string& name = names[static_cast<size_t>(position)];
    if (positionRead || positionSize < 0 || positionSize > kKeptPartBytes || !WorthKeeping(name) ||
        keptBytes + static_cast<size_t>(positionSize) > kMaxKeptBytes || kept.count(name))
      return;
    std::string bytes;
    char chunk[16 * 1024];
    while (size_t got = ReadData(chunk, sizeof chunk)) {
      bytes.append(chunk, got);
      if (bytes.size() > static_cast<size_t>(kKeptPartBytes)) return;
    }
    keptBytes += bytes.size();
    kept.emplace(name, std::move(bytes));
  }

  // Moves to the next member; false at the end of what is searched.
  bool Step() {
    if (!reader) return false;
    if (position >= 0) KeepIfSmall();
    archive_entry* entry = nullptr;
    if (static_cast<size_t>(position + 1) >= kMaxMembersSearched ||
        archive_read_next_header(reader.get(), &entry) < ARCHIVE_WARN) {
      walkedAll = walkedAll || static_cast<size_t>(position + 1) >= names.size();
      reader.reset();
      return false;
    }
    ++position;
    positionRead = false;
    positionSize = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
    const char* path = archive_entry_pathname(entry);
    if (static_cast<size_t>(position) == names.size()) names.push_back(path ? path : "");
    return true;
  }

  long IndexOf(const std::string& name) const {
    auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<long>(found - names.begin());
  }

  // Puts the reader on the unread start of the member; false when the
  // package has no such member.
  bool MoveTo(const std::string& name) {
    long index = IndexOf(name);
    if (index < 0 && walkedAll) return false;
    bool behind = index >= 0 && (index < position || (index == position && positionRead));
    if (!reader || behind) Reopen();
    while (index < 0 || position < index) {
      if (!Step()) return false;
      if (index < 0 && names[static_cast<size_t>(position)] == name) return true;
    }
    return position == index;
  }
};

ZipPackage::ZipPackage(ArchiveSource source, uint64_t maxReadBytes)
    : cursor_(std::make_shared<Cursor>()) {
  cursor_->source = std::move(source);
  cursor_->bytesLeft = maxReadBytes;
}

bool ZipPackage::Has(const std::string& name) const {
  Cursor& cursor = *cursor_;
  if (cursor.kept.count(name) || cursor.IndexOf(name) >= 0) return true;
  if (cursor.walkedAll) return false;
  if (!cursor.reader) cursor.Reopen();
  while (cursor.Step())
    if (cursor.names[static_cast<size_t>(cursor.position)] == name) return true;
  return false;
}

ZipPackage::Member ZipPackage::Open(const std::string& name) const {
  Member member;
  auto kept = cursor_->kept.find(name);
  if (kept != cursor_->kept.end()) {
    member.kept_ = kept->second;
    member.fromKept_ = true;
    return member;
  }
  ++cursor_->generation;
  if (cursor_->MoveTo(name)) {
    member.cursor_ = cursor_;
    member.generation_ = cursor_->generation;
  }
  return member;
}

size_t ZipPackage::Member::Read(char* buffer, size_t capacity) {
  if (fromKept_) {
    size_t count = std::min(capacity, kept_.size() - keptOffset_);
    std::copy_n(kept_.data() + keptOffset_, count, buffer);
    keptOffset_ += count;
    return count;
  }
  if (!cursor_ || cursor_->generation != generation_) return 0;
  return cursor_->ReadData(buffer, capacity);
}

std::string ZipPackage::ReadSmall(const std::string& name, size_t maxBytes) const {
  Member member = Open(name);
  std::string bytes;
  char chunk[16 * 1024];
  while (bytes.size() < maxBytes) {
    size_t got = member.Read(chunk, sizeof chunk);
    if (got == 0) break;
    bytes.append(chunk, got < maxBytes - bytes.size() ? got : maxBytes - bytes.size());
  }
  return bytes;
}

int ZipPackage::Openings() const { return cursor_->openings; }

}  // namespace salvora::preview
