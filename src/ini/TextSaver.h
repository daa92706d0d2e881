// Writers that turn documents into text: a buffered byte sink with stream, memory and
// escaped single-line (value text) variants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/RefObject.h"

namespace dax {
class TStream;
}

namespace dax::ini {

class TTextSaver;

// Anything that can write itself to a TTextSaver.
class TTextWriter : public TRefObject {
 public:
  virtual void WriteTo(TTextSaver& saver) const = 0;
};

// A byte buffer with a write position. Text is UTF-8; line ends are CR LF.
class TTextSaver : public TRefObject {
 public:
  // Writes what is buffered to the destination (or makes room); called when the buffer is full.
  virtual void FlushBuffer() = 0;
  // Flushes everything; later calls do nothing. Raises what the destination raises.
  virtual void Finish();
  virtual void WriteWriter(const TTextWriter& writer) { writer.WriteTo(*this); }
  virtual void WriteByteOrderMark();
  virtual void WriteIndent(int count);
  virtual void WriteText(std::string_view text);
  virtual void WriteLine(std::string_view text);
  virtual void WriteLineEnd();
  virtual void WriteBytes(const void* bytes, size_t count);

  bool Finished() const { return finished_; }

 protected:
  explicit TTextSaver(size_t bufferSize);
  ~TTextSaver() override;
  // Finishes when the caller did not; a failure there is reported by TRefObject.
  void Dispose() override;

  char* buffer_ = nullptr;
  size_t position_ = 0;
  size_t size_ = 0;
  bool finished_ = false;
};

// Writes through a 32768-byte buffer to a stream, freeing it at the end when it owns it.
class TStreamTextSaver : public TTextSaver {
 public:
  static constexpr size_t kBufferSize = 32768;
  TStreamTextSaver(TStream* stream, bool ownsStream);

  void FlushBuffer() override;
  void Finish() override;
  void WriteBytes(const void* bytes, size_t count) override;

 protected:
  ~TStreamTextSaver() override;

 private:
  TStream* stream_;
  bool ownsStream_;
};

// Collects the text in memory; the buffer starts at 4096 bytes and doubles.
class TBytesTextSaver : public TTextSaver {
 public:
  static constexpr size_t kInitialSize = 4096;
  TBytesTextSaver();

  void FlushBuffer() override;
  void Finish() override;
  // What was written so far (all of it after Finish).
  std::string Bytes() const { return std::string(buffer_, position_); }
  std::string_view View() const { return std::string_view(buffer_, position_); }
};

// The single-line form of a document: "\" is written as "\\", every line end as "\n", and
// there is no byte order mark.
class TValueTextSaver : public TBytesTextSaver {
 public:
  void WriteByteOrderMark() override {}
  void WriteLineEnd() override;
  void WriteBytes(const void* bytes, size_t count) override;
};

}  // namespace dax::ini
