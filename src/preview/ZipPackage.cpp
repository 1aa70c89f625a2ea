#include "preview/ZipPackage.h"

#include <archive_entry.h>

namespace salvora::preview {
namespace {

// Packages with more parts than this are not documents we can read anyway.
constexpr int kMaxMembersSearched = 10000;

}  // namespace

ArchivePtr ZipPackage::Find(const std::string& name) const {
  ArchivePtr reader = NewArchiveReader();
  archive_read_support_format_zip(reader.get());
  if (source_.OpenInto(reader.get()) != ARCHIVE_OK) return ArchivePtr(nullptr, archive_read_free);
  for (int searched = 0; searched < kMaxMembersSearched; ++searched) {
    archive_entry* entry = nullptr;
    if (archive_read_next_header(reader.get(), &entry) < ARCHIVE_WARN) break;
    const char* path = archive_entry_pathname(entry);
    if (path && name == path) return reader;
  }
  return ArchivePtr(nullptr, archive_read_free);
}

bool ZipPackage::Has(const std::string& name) const { return Find(name) != nullptr; }

ZipPackage::Member ZipPackage::Open(const std::string& name) const {
  Member member;
  member.reader_ = Find(name);
  return member;
}

size_t ZipPackage::Member::Read(char* buffer, size_t capacity) {
  if (!reader_) return 0;
  la_ssize_t got = archive_read_data(reader_.get(), buffer, capacity);
  return got > 0 ? static_cast<size_t>(got) : 0;
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

}  // namespace salvora::preview
