#pragma once
// Byte streams: the common interface of files and memory buffers. Parsers take a TStream
// (never a file name), so tests and fuzzers can hand them memory.

#include <cstdint>
#include <string>
#include <vector>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Both return the number of bytes actually moved, which may be fewer than asked.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }

  // Move exactly count bytes or raise EReadError "Stream read error" /
  // EWriteError with WriteFailure().
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from the source's position; count 0 copies the whole source from
  // its start. Returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
  // Says that about count bytes are to be written from the position on, as a download's
  // length is known before its body: a file takes disk room for them ahead of the writes.
  // Only a hint; the size does not change until they are written.
  virtual void ExpectWrite(int64_t count) { (void)count; }

 protected:
  // The text of a failed write: what the stream knows of where and why.
  virtual std::string WriteFailure() const { return "Stream write error"; }
  // The system's error number of the last failed write; 0 when none is known.
  virtual int WriteErrorNumber() const { return 0; }
};

enum TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

// A file opened for the stream's lifetime. fmCreate creates or truncates; failures raise
// EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  void ExpectWrite(int64_t count) override;

  const std::string& FileName() const { return fileName_; }
  // Forces the bytes to the disk; raises EWriteError when that fails.
  void Flush();
  // The system's reason for the last failed write ("No space left on device"), or "".
  std::string WriteErrorReason() const;
  int WriteErrorNumber() const override { return writeErrno_; }

 protected:
  // "Cannot write <file name>: <the system's reason>".
  std::string WriteFailure() const override;

 private:
  void ReserveAhead(int64_t writeStart, int64_t writeEnd);
  void ReleaseUnwritten();

  std::string fileName_;
  int fd_ = -1;
  int writeErrno_ = 0;
  // Disk room taken ahead of the writes, up to the end ExpectWrite announced.
  int64_t expectedEnd_ = 0;
  int64_t reservedEnd_ = 0;
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  void SetSize(int64_t size) override;

  uint8_t* Memory() { return bytes_.data(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  void Clear();
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& target) const;
  void LoadFromFile(const std::string& fileName);
  // Replaces the file atomically (see SaveFileAtomically).
  void SaveToFile(const std::string& fileName) const;

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};
