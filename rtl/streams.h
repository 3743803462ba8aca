#pragma once
// Byte streams: a file on disk, or a growable block of memory. Positions and sizes are 64-bit.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tavo::rtl {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t new_size) = 0;
  // Hands what the stream still buffers to where it goes; raises when that fails. Nothing to
  // do for a stream without a buffer of its own.
  virtual void Flush() {}

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  int64_t Size();

  // All-or-nothing forms: raise EReadError / EWriteError when fewer bytes move.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies count bytes from source's position (count 0: all of source, from its start).
  // Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Open modes. No share modes: the file streams open files as the C++ library does, and no
// caller of ours needs to lock others out.
enum TFileMode : uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,  // create anew, or empty an existing file; read and write
};

// Every write is checked, the buffered ones too: a write the system takes only in part or
// refuses (a full disk, a quota, a file-size limit, an I/O error) raises EWriteError
// 'Datei "<full path>" kann nicht geschrieben werden. <reason>' at the call that finds it out,
// which may be a later Write, Seek, Flush or Close. Whoever keeps what was written must call
// Close: some file systems report a full disk only there, and a destructor cannot raise.
class TFileStream : public TStream {
 public:
  // Raises EFCreateError 'Datei "<full path>" kann nicht erstellt werden. <reason>' or
  // EFOpenError "Datei <full path> kann nicht geöffnet werden. <reason>".
  TFileStream(const std::string& path, uint32_t mode);
  // Closes the file if Close has not; a failure there goes unreported.
  ~TFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  // Returns count, or raises EWriteError.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t new_size) override;

  // Hands everything written so far to the system.
  void Flush() override;
  // Flushes and closes; the stream cannot be used afterwards. Calling it again does nothing.
  void Close();

  const std::string& FileName() const { return path_; }

 private:
  [[noreturn]] void RaiseWriteError(int error) const;

  std::string path_;
  std::filebuf file_;
  uint32_t mode_;
  bool unflushed_ = false;
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t new_size) override;

  void Clear();
  const uint8_t* Memory() const { return data_.data(); }
  uint8_t* Memory() { return data_.data(); }
  // The whole content as 8-bit text, independent of the position.
  std::string DataString() const { return std::string(data_.begin(), data_.end()); }

  void LoadFromStream(TStream& source);
  void LoadFromFile(const std::string& path);
  void SaveToStream(TStream& dest) const;
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace tavo::rtl
