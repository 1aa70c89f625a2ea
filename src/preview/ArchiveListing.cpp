#include "preview/ArchiveListing.h"

#include <archive.h>
#include <archive_entry.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "preview/TextSanitizer.h"
#include "previewclient/PreviewLimits.h"

namespace salvora::preview {
namespace {

constexpr size_t kMaxNameBytes = 1024;
// Half of what the caller accepts, so that the closing line always fits.
constexpr size_t kMaxListingBytes = kPreviewTextBytes / 2;

void EnableFilters(archive* reader) {
  archive_read_support_filter_gzip(reader);
  archive_read_support_filter_bzip2(reader);
  archive_read_support_filter_xz(reader);
  archive_read_support_filter_lzma(reader);
  archive_read_support_filter_lzip(reader);
  archive_read_support_filter_zstd(reader);
  archive_read_support_filter_compress(reader);
  archive_read_support_filter_uu(reader);
}

// How a container is opened: first as a whole archive (a zip from its
// central directory); a zip whose end is lost is then read member by member
// from the start, and last a lone compressed file is listed as one member.
enum class Attempt { kContainer, kStreamedZip, kCompressedFile };

// Container formats only: libarchive's catch-all set also takes text files
// as mtree specifications, which would list any text as an archive.
void EnableContainerFormats(archive* reader) {
  archive_read_support_format_zip_seekable(reader);
  archive_read_support_format_7zip(reader);
  archive_read_support_format_rar(reader);
  archive_read_support_format_rar5(reader);
  archive_read_support_format_tar(reader);
  archive_read_support_format_iso9660(reader);
  archive_read_support_format_cab(reader);
  archive_read_support_format_lha(reader);
  archive_read_support_format_cpio(reader);
  archive_read_support_format_ar(reader);
  archive_read_support_format_xar(reader);
}

ArchivePtr OpenAs(const ArchiveSource& source, Attempt attempt) {
  ArchivePtr reader = NewArchiveReader();
  EnableFilters(reader.get());
  if (attempt == Attempt::kContainer) EnableContainerFormats(reader.get());
  if (attempt == Attempt::kStreamedZip) archive_read_support_format_zip_streamable(reader.get());
  // Raw takes any bytes, so it counts only behind a recognised compression
  // filter; otherwise arbitrary data would be listed as a file called "data".
  if (attempt == Attempt::kCompressedFile) archive_read_support_format_raw(reader.get());
  bool opened = source.OpenInto(reader.get()) == ARCHIVE_OK;
  if (!opened || (attempt == Attempt::kCompressedFile && archive_filter_count(reader.get()) < 2))
    return ArchivePtr(nullptr, archive_read_free);
  return reader;
}

std::string MemberLine(archive_entry* entry) {
  char size[24] = "?";
  if (archive_entry_size_is_set(entry))
    std::snprintf(size, sizeof size, "%" PRId64, static_cast<int64_t>(archive_entry_size(entry)));
  char date[20] = "";
  time_t mtime = archive_entry_mtime(entry);
  tm local{};
  if (archive_entry_mtime_is_set(entry) && localtime_r(&mtime, &local))
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", &local);
  const char* name = archive_entry_pathname_utf8(entry);
  if (!name) name = archive_entry_pathname(entry);
  char line[64];
  std::snprintf(line, sizeof line, "%12s  %-16s  ", size, date);
  return line + SanitizeText(name ? name : "", kMaxNameBytes, LineBreaks::kReplace) + "\n";
}

// Whether passing a member reads through its data rather than seeking past
// it: compressed streams (tar.gz), solid or streamed containers.
bool SkippingDecompresses(archive* reader, Attempt attempt) {
  if (attempt == Attempt::kStreamedZip || archive_filter_count(reader) > 1) return true;
  int format = archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK;
  return format == ARCHIVE_FORMAT_7ZIP || format == ARCHIVE_FORMAT_RAR ||
         format == ARCHIVE_FORMAT_RAR_V5 || format == ARCHIVE_FORMAT_CAB;
}

class Lister {
 public:
  Lister(archive* reader, Attempt attempt) : reader_(reader), attempt_(attempt) {}

  HelperResult Run() {
    text_ = std::string(kListingSeparator) + "\n";
    for (;;) {
      archive_entry* entry = nullptr;
      int result = archive_read_next_header(reader_, &entry);
      if (result == ARCHIVE_EOF) break;
      if (result < ARCHIVE_WARN) return Damaged();
      if (members_ == kMaxListedMembers)
        return Stopped("listing stopped after " + std::to_string(members_) + " members");
      std::string line = MemberLine(entry);
      if (text_.size() + line.size() > kMaxListingBytes)
        return Stopped("listing stopped after " + std::to_string(members_) +
                       " members: the listing is longer than a preview shows");
      text_ += line;
      ++members_;
      if (!WithinSkipBudget(entry))
        return Stopped("listing stopped: going on would mean decompressing too much data");
    }
    if (members_ == 0) return HelperResult::Failure("the archive holds no members");
    return HelperResult::Success(std::move(text_));
  }

 private:
  // The size a header claims stops the listing before decompressing; the
  // bytes actually passed are counted too, since a member's size may be
  // unknown (streamed zip) or false.
  bool WithinSkipBudget(archive_entry* entry) {
    if (!SkippingDecompresses(reader_, attempt_)) return true;
    int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
    if (size > 0 && skipped_ + static_cast<uint64_t>(size) > kMaxSkippedBytes) return false;
    return PassMemberData();
  }

  bool PassMemberData() {
    char chunk[64 * 1024];
    for (;;) {
      la_ssize_t got = archive_read_data(reader_, chunk, sizeof chunk);
      // The end of the member, or damage that the next header reports.
      if (got <= 0) return true;
      skipped_ += static_cast<uint64_t>(got);
      if (skipped_ > kMaxSkippedBytes) return false;
    }
  }

  HelperResult Damaged() {
    const char* why = archive_error_string(reader_);
    std::string reason = why ? why : "unreadable archive";
    if (members_ == 0)
      return HelperResult::Failure(SanitizeText(reason, 200, LineBreaks::kReplace));
    return Stopped("listing stopped: " + reason);
  }

  HelperResult Stopped(const std::string& why) {
    text_ += "... " + SanitizeText(why, 200, LineBreaks::kReplace) + "\n";
    return HelperResult::Success(std::move(text_));
  }

  archive* reader_;
  Attempt attempt_;
  std::string text_;
  size_t members_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace

HelperResult ListArchive(const ArchiveSource& source) {
  for (Attempt attempt : {Attempt::kContainer, Attempt::kStreamedZip, Attempt::kCompressedFile}) {
    ArchivePtr reader = OpenAs(source, attempt);
    if (reader) return Lister(reader.get(), attempt).Run();
  }
  return HelperResult::Failure("not an archive this program can list");
}

}  // namespace salvora::preview
