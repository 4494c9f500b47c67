#include "imaging/jpeg_library.h"

#include <algorithm>
#include <chrono>

#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kJpegError = "JPEG error #%d: %s";
constexpr int64_t kProgressIntervalMs = 500;
const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};
// libjpeg's level of a warning (as against trace messages).
constexpr int kWarningLevel = -1;

std::string LibraryText(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  info->err->format_message(info, text);
  return text;
}

[[noreturn]] void ErrorExit(j_common_ptr info) {
  throw EJPEG(Format(kJpegError, info->err->msg_code, LibraryText(info).c_str()));
}

// The warnings after which some blocks of the picture hold no data or wrong data: the
// entropy-coded data was cut, could not be decoded, or was not all used.
bool MeansLostPixels(int code) {
  switch (code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
      return true;
    default:
      return false;
  }
}

// Extraneous bytes between header segments cost no pixels, hence only warnings once the
// scan data has begun count.
void KeepDamage(j_common_ptr info, int level) {
  auto& error = *reinterpret_cast<TJpegErrorManager*>(info->err);
  if (level != kWarningLevel || !error.inScanData || !error.damage.empty() ||
      !MeansLostPixels(error.pub.msg_code))
    return;
  error.damage = LibraryText(info);
}

void DiscardOutput(j_common_ptr) {}

void ResetErrorManager(j_common_ptr info) {
  info->err->num_warnings = 0;
  info->err->msg_code = 0;
}

jpeg_error_mgr* InstallErrorManager(TJpegErrorManager& error) {
  jpeg_std_error(&error.pub);
  error.pub.error_exit = ErrorExit;
  error.pub.emit_message = KeepDamage;
  error.pub.output_message = DiscardOutput;
  error.pub.reset_error_mgr = ResetErrorManager;
  return &error.pub;
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TJpegProgress::TJpegProgress(std::function<void(uint8_t Percent)> notify)
    : hook_{{Monitor, 0, 0, 0, 0}, this}, notify_(std::move(notify)) {}

void TJpegProgress::Monitor(j_common_ptr info) {
  TJpegProgress& self = *reinterpret_cast<Hook*>(info->progress)->owner;
  const int64_t now = NowMs();
  if (!self.started_) {
    self.started_ = true;
    self.lastTime_ = now;
    return;
  }
  if (now - self.lastTime_ < kProgressIntervalMs) return;
  self.lastTime_ = now;
  const jpeg_progress_mgr& p = self.hook_.pub;
  if (p.pass_limit <= 0 || p.total_passes <= 0) return;
  const double done = static_cast<double>(p.pass_counter) / p.pass_limit + p.completed_passes;
  const int percent = static_cast<int>(done * 100 / p.total_passes);
  if (percent == self.lastPercent_) return;
  self.lastPercent_ = percent;
  self.notify_(static_cast<uint8_t>(std::clamp(percent, 0, 100)));
}

TJpegDecompressor::TJpegDecompressor(const std::vector<uint8_t>& bytes) {
  info_.err = InstallErrorManager(error_);
  jpeg_create_decompress(&info_);
  source_.pub.init_source = InitSource;
  source_.pub.fill_input_buffer = FillInputBuffer;
  source_.pub.skip_input_data = SkipInputData;
  source_.pub.resync_to_restart = jpeg_resync_to_restart;
  source_.pub.term_source = TermSource;
  source_.pub.next_input_byte = nullptr;
  source_.pub.bytes_in_buffer = 0;
  source_.data = bytes.data();
  source_.size = bytes.size();
  info_.src = &source_.pub;
}

TJpegDecompressor::~TJpegDecompressor() {
  jpeg_destroy_decompress(&info_);
}

// All the bytes at once, as libjpeg's own memory source gives them: its decoder takes its
// fast path only while enough bytes lie ahead in the buffer. After the last one an
// end-of-image marker, so that a cut file ends like a whole one (the library's warning
// about it is discarded).
boolean TJpegDecompressor::FillInputBuffer(j_decompress_ptr info) {
  Source& source = *reinterpret_cast<Source*>(info->src);
  if (!source.taken && source.size > 0) {
    source.pub.next_input_byte = source.data;
    source.pub.bytes_in_buffer = source.size;
    source.taken = true;
    return TRUE;
  }
  if (source.size == 0) ERREXIT(info, JERR_INPUT_EMPTY);
  WARNMS(info, JWRN_JPEG_EOF);
  source.endedEarly = true;
  source.pub.next_input_byte = kEndOfImage;
  source.pub.bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void TJpegDecompressor::SkipInputData(j_decompress_ptr info, long count) {
  jpeg_source_mgr& source = *info->src;
  if (count <= 0) return;
  while (count > static_cast<long>(source.bytes_in_buffer)) {
    count -= static_cast<long>(source.bytes_in_buffer);
    FillInputBuffer(info);
  }
  source.next_input_byte += count;
  source.bytes_in_buffer -= count;
}

TJpegCompressor::TJpegCompressor(std::vector<uint8_t>& target) {
  info_.err = InstallErrorManager(error_);
  jpeg_create_compress(&info_);
  destination_.pub.init_destination = InitDestination;
  destination_.pub.empty_output_buffer = EmptyOutputBuffer;
  destination_.pub.term_destination = TermDestination;
  destination_.bytes = &target;
  info_.dest = &destination_.pub;
}

TJpegCompressor::~TJpegCompressor() {
  jpeg_destroy_compress(&info_);
}

void TJpegCompressor::InitDestination(j_compress_ptr info) {
  Destination& destination = *reinterpret_cast<Destination*>(info->dest);
  destination.pub.next_output_byte = destination.buffer;
  destination.pub.free_in_buffer = kJpegBufferSize;
}

void TJpegCompressor::Append(j_compress_ptr info, size_t count) {
  Destination& destination = *reinterpret_cast<Destination*>(info->dest);
  destination.bytes->insert(destination.bytes->end(), destination.buffer,
                            destination.buffer + count);
}

boolean TJpegCompressor::EmptyOutputBuffer(j_compress_ptr info) {
  Append(info, kJpegBufferSize);
  InitDestination(info);
  return TRUE;
}

void TJpegCompressor::TermDestination(j_compress_ptr info) {
  Append(info, kJpegBufferSize - info->dest->free_in_buffer);
}
