#pragma once
// The plumbing between libjpeg and our memory: an error manager that raises EJPEG, a
// source manager over bytes in memory, a destination manager that appends to bytes in
// 4096-byte pieces, a progress hook, and owners that destroy the (de)compressor in every
// case.
//
// libjpeg reports fatal errors through a callback that must not return; ours throws.
// The exception unwinds through libjpeg's frames, which Debian builds with unwind tables,
// and the owners below then destroy the library object.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>
// clang-format off: jpeglib.h needs <cstdio> first
#include <jerror.h>
#include <jpeglib.h>
// clang-format on

inline constexpr size_t kJpegBufferSize = 4096;

// Percent done, reported at most every 500 ms and only when it changed.
class TJpegProgress {
 public:
  explicit TJpegProgress(std::function<void(uint8_t Percent)> notify);
  jpeg_progress_mgr* Manager() { return &hook_.pub; }

 private:
  struct Hook {
    jpeg_progress_mgr pub;  // first, so the library's pointer is ours
    TJpegProgress* owner;
  };
  static void Monitor(j_common_ptr info);

  Hook hook_;
  std::function<void(uint8_t)> notify_;
  bool started_ = false;
  int64_t lastTime_ = 0;
  int lastPercent_ = -1;
};

// The library's error manager, which raises EJPEG "JPEG error #<code>: <the library's
// text>" on fatal errors and, once told that the scan data has begun, keeps the first
// warning that means pixel data was lost.
struct TJpegErrorManager {
  jpeg_error_mgr pub;  // first, so the library's pointer is ours
  bool inScanData = false;
  std::string damage;
};

class TJpegDecompressor {
 public:
  // Reads from the bytes from their start; the bytes must outlive the decompressor.
  explicit TJpegDecompressor(const std::vector<uint8_t>& bytes);
  // Set once the data ran out and an end-of-image marker stood in for the rest.
  bool EndedEarly() const { return source_.endedEarly; }
  // The bytes the library has not taken yet.
  size_t BytesLeft() const { return source_.taken ? source_.pub.bytes_in_buffer : source_.size; }
  // Warnings from here on that mean lost pixel data ("Corrupt JPEG data: ...") are kept.
  void ScanDataStarts() { error_.inScanData = true; }
  // The library's text of the first such warning; empty when there was none.
  const std::string& Damage() const { return error_.damage; }
  ~TJpegDecompressor();
  TJpegDecompressor(const TJpegDecompressor&) = delete;
  TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

  jpeg_decompress_struct& Info() { return info_; }

 private:
  struct Source {
    jpeg_source_mgr pub;
    const uint8_t* data;
    size_t size;
    bool taken = false;  // the bytes were handed to the library
    bool endedEarly = false;
  };
  static void InitSource(j_decompress_ptr) {}
  static boolean FillInputBuffer(j_decompress_ptr info);
  static void SkipInputData(j_decompress_ptr info, long count);
  static void TermSource(j_decompress_ptr) {}

  TJpegErrorManager error_;
  Source source_;
  jpeg_decompress_struct info_;
};

class TJpegCompressor {
 public:
  // Appends the compressed bytes to Target.
  explicit TJpegCompressor(std::vector<uint8_t>& target);
  ~TJpegCompressor();
  TJpegCompressor(const TJpegCompressor&) = delete;
  TJpegCompressor& operator=(const TJpegCompressor&) = delete;

  jpeg_compress_struct& Info() { return info_; }

 private:
  struct Destination {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* bytes;
    JOCTET buffer[kJpegBufferSize];
  };
  static void InitDestination(j_compress_ptr info);
  static boolean EmptyOutputBuffer(j_compress_ptr info);
  static void TermDestination(j_compress_ptr info);
  static void Append(j_compress_ptr info, size_t count);

  TJpegErrorManager error_;
  Destination destination_;
  jpeg_compress_struct info_;
};
