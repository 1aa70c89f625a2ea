#include "carving/JpegDecode.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace salvora {
namespace {

constexpr uint32_t kFeedBytes = 4096;
// Progressive pictures keep every coefficient; beyond this the decoder
// gives up instead of allocating.
constexpr long kDecoderMemory = 96l << 20;
const JOCTET kFakeEnd[] = {0xFF, JPEG_EOI};

struct Decoder {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_source_mgr source{};
  std::jmp_buf escape;
  const StitchedFile* file = nullptr;
  uint64_t next = 0;   // file offset of the next byte to hand out
  uint64_t limit = 0;  // bytes that may be handed out
  bool failed = false;
  bool unjudged = false;
  uint64_t faultAt = 0;
  JOCTET feed[kFeedBytes];

  uint64_t Position() const { return info.src ? next - info.src->bytes_in_buffer : next; }
};

Decoder& Of(j_common_ptr info) { return *reinterpret_cast<Decoder*>(info->client_data); }
Decoder& Of(j_decompress_ptr info) { return *reinterpret_cast<Decoder*>(info->client_data); }

bool GaveUp(int code) {
  return code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE ||
         code == JERR_IMAGE_TOO_BIG || code == JERR_WIDTH_OVERFLOW;
}

// Any error or warning ends the decode where it stands.
[[noreturn]] void Escape(j_common_ptr info) {
  Decoder& decoder = Of(info);
  decoder.failed = true;
  decoder.unjudged = GaveUp(info->err->msg_code);
  decoder.faultAt = decoder.Position();
  std::longjmp(decoder.escape, 1);
}

void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Escape(info);
}

void OnOutput(j_common_ptr) {}

void OnInit(j_decompress_ptr) {}
void OnTerm(j_decompress_ptr) {}

boolean OnFill(j_decompress_ptr info) {
  Decoder& decoder = Of(info);
  uint64_t left = decoder.limit > decoder.next ? decoder.limit - decoder.next : 0;
  uint32_t n = static_cast<uint32_t>(left < kFeedBytes ? left : kFeedBytes);
  if (n == 0 || !decoder.file->Read(decoder.next, n, decoder.feed)) {
    // The file ends before the picture does.
    info->src->next_input_byte = kFakeEnd;
    info->src->bytes_in_buffer = sizeof kFakeEnd;
    Escape(reinterpret_cast<j_common_ptr>(info));
  }
  decoder.next += n;
  info->src->next_input_byte = decoder.feed;
  info->src->bytes_in_buffer = n;
  return TRUE;
}

void OnSkip(j_decompress_ptr info, long count) {
  while (count > 0) {
    long held = static_cast<long>(info->src->bytes_in_buffer);
    if (count <= held) {
      info->src->next_input_byte += count;
      info->src->bytes_in_buffer -= static_cast<size_t>(count);
      return;
    }
    count -= held;
    info->src->bytes_in_buffer = 0;
    OnFill(info);
  }
}

// The decode proper; returns through the escape on the first complaint.
// Only plain values live in this frame, so the jump leaves nothing behind.
void Run(Decoder& decoder, JpegDecodeReport& report) {
  jpeg_decompress_struct& info = decoder.info;
  if (setjmp(decoder.escape) != 0) return;
  info.client_data = &decoder;
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kDecoderMemory;
  info.src = &decoder.source;
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return;
  report.readable = true;
  report.dataStart = decoder.Position();
  report.progressive = info.progressive_mode != 0;
  info.scale_num = 1;
  info.scale_denom = 8;
  info.dct_method = JDCT_IFAST;
  info.do_fancy_upsampling = FALSE;
  info.do_block_smoothing = FALSE;
  if (!jpeg_start_decompress(&info)) return;
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * info.output_components, 1);
  while (info.output_scanline < info.output_height)
    if (jpeg_read_scanlines(&info, row, 1) != 1) return;
  jpeg_finish_decompress(&info);
  report.clean = true;
  report.end = decoder.Position();
}

}  // namespace

JpegDecodeReport DecodeJpeg(const StitchedFile& file, uint64_t maxBytes) {
  JpegDecodeReport report;
  auto decoder = std::make_unique<Decoder>();
  decoder->file = &file;
  decoder->limit = maxBytes < file.Size() ? maxBytes : file.Size();
  decoder->info.err = jpeg_std_error(&decoder->errors);
  decoder->errors.error_exit = Escape;
  decoder->errors.emit_message = OnMessage;
  decoder->errors.output_message = OnOutput;
  decoder->source.init_source = OnInit;
  decoder->source.fill_input_buffer = OnFill;
  decoder->source.skip_input_data = OnSkip;
  decoder->source.resync_to_restart = jpeg_resync_to_restart;
  decoder->source.term_source = OnTerm;
  Run(*decoder, report);
  if (!report.clean) {
    report.unjudged = decoder->unjudged;
    report.fault = decoder->failed ? decoder->faultAt : decoder->Position();
  }
  report.bytesRead = decoder->next;
  jpeg_destroy_decompress(&decoder->info);
  return report;
}

}  // namespace salvora
