#include "results/ScanHistory.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/DataFolders.h"
#include "platform/ErrorCodes.h"
#include "platform/Utf16.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

uint64_t Join(uint32_t low, uint32_t high) { return low | static_cast<uint64_t>(high) << 32; }

// A text field of an entry, copied out first: the entry is packed, so its
// fields may not be aligned for char16_t.
std::string TextOf(const uint16_t (&field)[260]) {
  std::u16string units(field, field + 260);
  return Utf16ToUtf8(units.data(), units.size());
}

// Decodes one UTF-8 sequence at `i`; malformed bytes stand for themselves.
uint32_t NextCodePoint(const std::string& text, size_t& i) {
  unsigned char b = static_cast<unsigned char>(text[i++]);
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  uint32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
  for (int k = 0; k < extra && i < text.size(); ++k)
    c = c << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return c;
}

bool SameFolder(const std::string& a, const std::string& b) {
  auto trim = [](std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
  };
  return trim(a) == trim(b);
}

// The index is a file on disk and may name any folder: only a folder right
// inside the scan-log folder is one of its run folders and may be deleted.
bool IsRunFolderOf(const std::string& scanLog, const std::string& folder) {
  auto normal = [](const std::string& text) {
    fs::path path = fs::path(text).lexically_normal();
    return path.has_filename() ? path : path.parent_path();
  };
  fs::path run = normal(folder);
  return !folder.empty() && !scanLog.empty() && run.filename() != ".." &&
         run.parent_path() == normal(scanLog);
}

void RemoveFolder(const std::string& folder) {
  std::error_code ec;
  if (!folder.empty()) fs::remove_all(folder, ec);
}

}  // namespace

ScanPosition PositionOf(const ScanHistoryEntry& entry) {
  const uint32_t* p = entry.progress;
  return {Join(p[0], p[1]), Join(p[2], p[3]), Join(p[4], p[5]), Join(p[6], p[7]), Join(p[8], p[9])};
}

uint64_t EntryFirstSector(const ScanHistoryEntry& entry) { return Join(entry.key2, entry.key3); }

uint64_t EntrySectorCount(const ScanHistoryEntry& entry) { return Join(entry.key4, entry.key5); }

void SetPosition(ScanHistoryEntry& entry, const ScanPosition& position) {
  const uint64_t values[5] = {position.rangeStart, position.rangeLength, position.offset,
                              position.sectorsDone, position.filesFound};
  for (int i = 0; i < 5; ++i) {
    entry.progress[2 * i] = static_cast<uint32_t>(values[i]);
    entry.progress[2 * i + 1] = static_cast<uint32_t>(values[i] >> 32);
  }
}

std::string EntryImagePath(const ScanHistoryEntry& entry) { return TextOf(entry.imagePath); }

std::string EntryResultFolder(const ScanHistoryEntry& entry) { return TextOf(entry.resultFolder); }

bool SetEntryText(uint16_t (&field)[260], const std::string& utf8) {
  std::memset(field, 0, sizeof field);
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = NextCodePoint(utf8, i);
    size_t need = c >= 0x10000 ? 2 : 1;
    if (units + need > 259) {
      std::memset(field, 0, sizeof field);
      return false;
    }
    if (need == 2) {
      c -= 0x10000;
      field[units++] = static_cast<uint16_t>(0xD800 + (c >> 10));
      field[units++] = static_cast<uint16_t>(0xDC00 + (c & 0x3FF));
    } else {
      field[units++] = static_cast<uint16_t>(c);
    }
  }
  return true;
}

ScanHistory& ScanHistory::Instance() {
  static ScanHistory history;
  return history;
}

void ScanHistory::EnsureLoaded() {
  if (!loaded_ || folder_ != ScanLogFolder().string()) Load();
}

void ScanHistory::Load() {
  folder_ = ScanLogFolder().string();
  loaded_ = true;
  counter_ = 0;
  entries_.clear();
  resume_ = false;
  resumeFolder_.clear();
  std::error_code ec;
  std::string config = folder_ + "/config", temp = folder_ + "/config.tmp";
  if (!fs::exists(config, ec) && fs::exists(temp, ec)) fs::rename(temp, config, ec);
  std::ifstream in(config, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(&counter_), sizeof counter_)) {
    counter_ = 0;
    return;
  }
  ScanHistoryEntry entry;
  while (in.read(reinterpret_cast<char*>(&entry), sizeof entry)) {
    entry.imagePath[259] = 0;
    entry.resultFolder[259] = 0;
    std::string resultFolder = EntryResultFolder(entry);
    // An entry whose folder has gone cannot be resumed.
    if (!resultFolder.empty() && fs::is_directory(resultFolder, ec)) entries_.push_back(entry);
  }
}

int ScanHistory::Save() {
  EnsureLoaded();
  std::error_code ec;
  fs::create_directories(folder_, ec);
  std::string config = folder_ + "/config", temp = folder_ + "/config.tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&counter_), sizeof counter_);
    for (const auto& entry : entries_)
      out.write(reinterpret_cast<const char*>(&entry), sizeof entry);
    out.flush();
    if (!out) return kWriteFault;
  }
  fs::rename(temp, config, ec);
  return ec ? kWriteFault : kOk;
}

bool ScanHistory::FindVolume(const uint32_t (&keys)[5], uint64_t freeBytes,
                             ScanHistoryEntry& found) {
  return FindEntry(
      [&](const ScanHistoryEntry& e) {
        return e.imagePath[0] == 0 && e.key1 == keys[0] && e.key2 == keys[1] && e.key3 == keys[2] &&
               e.key4 == keys[3] && e.key5 == keys[4];
      },
      [&](const ScanHistoryEntry& e) { return e.freeBytes == freeBytes; }, found);
}

bool ScanHistory::FindImage(const std::string& path, uint64_t firstSector, uint64_t writeTime,
                            ScanHistoryEntry& found) {
  return FindEntry(
      [&](const ScanHistoryEntry& e) {
        uint64_t entryFirst = (uint64_t{e.key3} << 32) | e.key2;
        return EntryImagePath(e) == path && entryFirst == firstSector;
      },
      [&](const ScanHistoryEntry& e) { return e.imageWriteTime == writeTime; }, found);
}

// The first entry of the same source is resumable only while the source is
// unchanged; a changed source makes it stale, and it goes with its folder.
bool ScanHistory::FindEntry(const std::function<bool(const ScanHistoryEntry&)>& sameSource,
                            const std::function<bool(const ScanHistoryEntry&)>& unchanged,
                            ScanHistoryEntry& found) {
  EnsureLoaded();
  for (const auto& e : entries_) {
    if (!sameSource(e)) continue;
    if (!unchanged(e)) {
      RemoveEntryWithFolder(EntryResultFolder(e));
      return false;
    }
    found = e;
    resume_ = true;
    resumeFolder_ = EntryResultFolder(e);
    return true;
  }
  return false;
}

int ScanHistory::AddOrUpdate(const ScanHistoryEntry& entry) {
  EnsureLoaded();
  for (auto& e : entries_) {
    bool sameImage = entry.imagePath[0] != 0 && EntryImagePath(e) == EntryImagePath(entry);
    bool sameVolume = entry.imagePath[0] == 0 && e.imagePath[0] == 0 && e.key1 == entry.key1 &&
                      e.key2 == entry.key2 && e.key3 == entry.key3 && e.key4 == entry.key4 &&
                      e.key5 == entry.key5;
    if (sameImage || sameVolume) {
      e = entry;
      return Save();
    }
  }
  entries_.push_back(entry);
  return Save();
}

void ScanHistory::RemoveEntryWithFolder(const std::string& folder) {
  EnsureLoaded();
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (SameFolder(EntryResultFolder(*it), folder)) {
      entries_.erase(it);
      Save();
      break;
    }
  }
  if (IsRunFolderOf(folder_, folder)) RemoveFolder(folder);
}

std::string ScanHistory::RunFolderPath(uint64_t number) const {
  return folder_ + "/" + std::to_string(number) + "/";
}

std::string ScanHistory::NewRunFolder() {
  EnsureLoaded();
  ++counter_;
  resume_ = false;
  resumeFolder_.clear();
  std::string folder = RunFolderPath(counter_);
  RemoveEntryWithFolder(folder);
  return folder;
}

void ScanHistory::UndoNewRunFolder() {
  EnsureLoaded();
  if (counter_ > 0) --counter_;
}

std::string ScanHistory::CurrentRunFolder() {
  EnsureLoaded();
  return resume_ ? resumeFolder_ : RunFolderPath(counter_);
}

void ScanHistory::ClearResume() {
  resume_ = false;
  resumeFolder_.clear();
}

void ScanHistory::RemoveAtExit(const std::string& folder) { temporaryFolders_.push_back(folder); }

void ScanHistory::RemoveTemporaryRunFolders() {
  for (const std::string& folder : temporaryFolders_) RemoveFolder(folder);
  temporaryFolders_.clear();
}

const std::vector<ScanHistoryEntry>& ScanHistory::Entries() {
  EnsureLoaded();
  return entries_;
}

uint64_t ScanHistory::RunCounter() {
  EnsureLoaded();
  return counter_;
}

}  // namespace salvora
