#include "foundation/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "foundation/Exceptions.h"

namespace dax {

size_t TStream::Write(const void*, size_t) { throw EStreamWriteError("Stream write error"); }

int64_t TStream::Size() {
  int64_t pos = Position();
  int64_t size = Seek(0, TSeekOrigin::End);
  Seek(pos, TSeekOrigin::Begin);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream does not support SetSize"); }

void TStream::ReadBuffer(void* buffer, size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    size_t n = Read(p, count);
    if (n == 0) throw EStreamReadError("Stream read error");
    p += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  auto* p = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    size_t n = Write(p, count);
    if (n == 0) throw EStreamWriteError("Stream write error");
    p += n;
    count -= n;
  }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  std::vector<uint8_t> buf(64 * 1024);
  int64_t copied = 0;
  bool all = count <= 0;
  while (all || copied < count) {
    size_t want = buf.size();
    if (!all) want = static_cast<size_t>(std::min<int64_t>(want, count - copied));
    size_t n = source.Read(buf.data(), want);
    if (n == 0) {
      if (all) break;
      throw EStreamReadError("Stream read error");
    }
    WriteBuffer(buf.data(), n);
    copied += static_cast<int64_t>(n);
  }
  return copied;
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
  int64_t size = Size();
  if (position_ >= size) return 0;
  size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size - position_));
  if (n) std::memcpy(buffer, data_.data() + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  size_t end = static_cast<size_t>(position_) + count;
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = static_cast<int64_t>(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? position_ : Size();
  int64_t pos = base + offset;
  if (pos < 0) throw EStreamError("Invalid stream position");
  position_ = pos;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EStreamError("Invalid stream size");
  data_.resize(static_cast<size_t>(size));
  position_ = std::min(position_, size);
}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::Read: flags |= O_RDONLY; break;
    case TFileMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case TFileMode::ReadWrite: flags |= O_RDWR; break;
  }
  fd_ = ::open(path.c_str(), flags, 0644);
  if (fd_ < 0) {
    throw EStreamError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  }
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EStreamError("Cannot open file \"" + path + "\". Is a directory");
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) throw EStreamReadError("Stream read error: " + path_);
  }
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::write(fd_, buffer, count);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) throw EStreamWriteError("Stream write error: " + path_);
  }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::Begin ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t pos = ::lseek(fd_, offset, whence);
  if (pos < 0) throw EStreamError("Invalid stream position: " + path_);
  return pos;
}

int64_t TFileStream::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw EStreamError("Cannot read size: " + path_);
  return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(fd_, size) != 0) throw EStreamError("Cannot set size: " + path_);
}

namespace {
std::mutex gHookLock;
TFileOpenHook gHook;
}  // namespace

void SetFileOpenHook(TFileOpenHook hook) {
  std::lock_guard lock(gHookLock);
  gHook = std::move(hook);
}

std::unique_ptr<TStream> OpenFile(const std::string& path, TFileMode mode) {
  TFileOpenHook hook;
  {
    std::lock_guard lock(gHookLock);
    hook = gHook;
  }
  if (hook) return hook(path, mode);
  try {
    return std::make_unique<TFileStream>(path, mode);
  } catch (const EStreamError&) {
    return nullptr;
  }
}

}  // namespace dax
