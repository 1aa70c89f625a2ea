#include "imaging/RescueMap.h"

#include <cinttypes>
#include <cstdio>

namespace salvora {
namespace {

void AppendBlock(std::string& text, uint64_t position, uint64_t size, char status) {
  if (size == 0) return;
  char line[80];
  std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", position, size,
                status);
  text += line;
}

}  // namespace

void RescueMap::MarkUnreadable(uint64_t offset, uint64_t length) {
  if (length == 0) return;
  if (!unreadable_.empty()) {
    ByteRange& last = unreadable_.back();
    if (last.offset + last.length == offset) {
      last.length += length;
      return;
    }
  }
  unreadable_.push_back({offset, length});
}

uint64_t RescueMap::UnreadableBytes() const {
  uint64_t bytes = 0;
  for (const ByteRange& range : unreadable_) bytes += range.length;
  return bytes;
}

std::string RescueMap::Render(uint64_t origin, uint64_t copied, uint64_t total) const {
  bool finished = copied >= total;
  std::string text = "# Mapfile. Created by salvora image --skip-errors\n";
  text += finished ? "# Finished\n" : "# Interrupted\n";
  text += "# current_pos  current_status  current_pass\n";
  char status[80];
  std::snprintf(status, sizeof status, "0x%08" PRIX64 "     %c               1\n", origin + copied,
                finished ? '+' : '?');
  text += status;
  text += "#      pos        size  status\n";
  // ddrescue wants the map to begin at position 0 of its input.
  AppendBlock(text, 0, origin, '?');
  uint64_t cursor = 0;
  for (const ByteRange& range : unreadable_) {
    AppendBlock(text, origin + cursor, range.offset - cursor, '+');
    AppendBlock(text, origin + range.offset, range.length, '-');
    cursor = range.offset + range.length;
  }
  AppendBlock(text, origin + cursor, copied > cursor ? copied - cursor : 0, '+');
  AppendBlock(text, origin + copied, total > copied ? total - copied : 0, '?');
  return text;
}

}  // namespace salvora
