#include "rtl/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "resources/rtl_texts.h"
#include "rtl/exception.h"
#include "rtl/format.h"
#include "rtl/paths.h"

namespace tavo::rtl {

int64_t TStream::Size() {
  const int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  auto* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t n = Read(p + done, count - done);
    if (n <= 0) throw EReadError("Stream read error");
    done += n;
  }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  const auto* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t n = Write(p + done, count - done);
    if (n <= 0) throw EWriteError("Stream write error");
    done += n;
  }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<char> chunk(static_cast<size_t>(std::min<int64_t>(count > 0 ? count : 1, 65536)));
  int64_t copied = 0;
  while (copied < count) {
    const int64_t n = std::min<int64_t>(count - copied, static_cast<int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    copied += n;
  }
  return copied;
}

// ---------------------------------------------------------------------------------------------

namespace {

// The file's absolute path, so the user sees which file wherever the program was started from.
std::string FullPath(const std::string& path) {
  std::error_code ec;
  std::string full = Utf8FromPath(std::filesystem::absolute(PathFromUtf8(path), ec));
  return ec ? path : full;
}

// The system's words for an error; a failure that left no error number is an I/O error.
std::string Reason(int error) { return std::strerror(error != 0 ? error : EIO); }

}  // namespace

TFileStream::TFileStream(const std::string& path, uint32_t mode) : path_(path), mode_(mode) {
  std::ios_base::openmode om = std::ios_base::binary;
  if (mode == fmCreate) {
    om |= std::ios_base::in | std::ios_base::out | std::ios_base::trunc;
  } else {
    switch (mode & 0x3) {
      case fmOpenWrite: om |= std::ios_base::out | std::ios_base::in; break;  // no truncation
      case fmOpenReadWrite: om |= std::ios_base::in | std::ios_base::out; break;
      default: om |= std::ios_base::in; break;
    }
  }
  errno = 0;
  if (file_.open(PathFromUtf8(path), om) == nullptr) {
    const int err = errno;
    if (mode == fmCreate)
      throw EFCreateError(Format(res::kFCreateError, {FullPath(path), Reason(err)}));
    throw EFOpenError(Format(res::kFOpenError, {FullPath(path), Reason(err)}));
  }
}

TFileStream::~TFileStream() {
  // A reader, or a writer given up on (it failed already, or keeps nothing), gets here with
  // the file open; there is nobody to tell about a failure now.
  file_.close();
}

void TFileStream::RaiseWriteError(int error) const {
  throw EWriteError(Format(res::kFWriteError, {FullPath(path_), Reason(error)}));
}

void TFileStream::Flush() {
  if (!unflushed_) return;
  errno = 0;
  if (file_.pubsync() != 0) RaiseWriteError(errno);
  unflushed_ = false;
}

void TFileStream::Close() {
  if (!file_.is_open()) return;
  int error = 0;
  errno = 0;
  // The buffer's last bytes go out here, and some file systems (network, quota) report a
  // full disk only when the file is closed.
  if (unflushed_ && file_.pubsync() != 0) error = errno != 0 ? errno : EIO;
  unflushed_ = false;
  errno = 0;
  if (file_.close() == nullptr && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) RaiseWriteError(error);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(file_.sgetn(static_cast<char*>(buffer), count));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (mode_ != fmCreate && (mode_ & 0x3) == fmOpenRead) return 0;
  if (!file_.is_open()) RaiseWriteError(EBADF);
  unflushed_ = true;
  errno = 0;
  // The file buffer writes through the system in a loop, so fewer bytes than asked means the
  // system refused the rest; errno says why.
  const int64_t written =
      static_cast<int64_t>(file_.sputn(static_cast<const char*>(buffer), count));
  if (written != count) RaiseWriteError(errno);
  return written;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  // Seeking writes the buffer out, and its result would otherwise say only "no position".
  Flush();
  const std::ios_base::seekdir dir = origin == TSeekOrigin::soBeginning ? std::ios_base::beg
                                     : origin == TSeekOrigin::soCurrent ? std::ios_base::cur
                                                                        : std::ios_base::end;
  const auto pos = file_.pubseekoff(offset, dir, std::ios_base::in | std::ios_base::out);
  return static_cast<int64_t>(static_cast<std::streamoff>(pos));
}

void TFileStream::SetSize(int64_t new_size) {
  const int64_t pos = Position();
  std::error_code ec;
  std::filesystem::resize_file(PathFromUtf8(path_), static_cast<uintmax_t>(new_size), ec);
  if (ec) throw EWriteError("Cannot set the size of \"" + path_ + "\". " + ec.message());
  Seek(std::min(pos, new_size), TSeekOrigin::soBeginning);
}

// ---------------------------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = static_cast<int64_t>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > static_cast<int64_t>(data_.size())) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(data_.size());
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TMemoryStream::SetSize(int64_t new_size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, new_size)));
  position_ = std::min(position_, static_cast<int64_t>(data_.size()));
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  const int64_t size = source.Size();
  SetSize(size);
  position_ = 0;
  if (size > 0) source.ReadBuffer(data_.data(), size);
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  TFileStream f(path, fmOpenRead);
  LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  if (!data_.empty()) dest.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TMemoryStream::SaveToFile(const std::string& path) const {
  TFileStream f(path, fmCreate);
  SaveToStream(f);
  f.Close();
}

}  // namespace tavo::rtl
