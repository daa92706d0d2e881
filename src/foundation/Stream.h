// Byte streams: the base every reader and writer works on, memory and file streams.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dax {

enum class TSeekOrigin { Begin, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;

  // Read and Write return the number of bytes transferred; short counts are not errors.
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count);
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  // Cuts or extends the stream; EStreamError when the stream cannot.
  virtual void SetSize(int64_t size);

  int64_t Position() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Begin); }

  // All or nothing: EStreamReadError / EStreamWriteError on a short transfer.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  // Copies count bytes (all that is left when count <= 0) from source; returns the count.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
  explicit TMemoryStream(const std::string& data) : data_(data.begin(), data.end()) {}

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<uint8_t>& Data() { return data_; }
  std::string AsString() const { return std::string(data_.begin(), data_.end()); }

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

enum class TFileMode { Read, Create, ReadWrite };

class TFileStream : public TStream {
 public:
  // EStreamError with the file name when the file cannot be opened.
  TFileStream(const std::string& path, TFileMode mode);
  ~TFileStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

  int Handle() const { return fd_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

// How a file name becomes a stream for LoadFromFile/SaveToFile style operations; null when
// the file cannot be opened. Replaceable (tests, virtual file systems).
using TFileOpenHook = std::function<std::unique_ptr<TStream>(const std::string& path, TFileMode)>;
void SetFileOpenHook(TFileOpenHook hook);  // empty restores the default
std::unique_ptr<TStream> OpenFile(const std::string& path, TFileMode mode);

}  // namespace dax
