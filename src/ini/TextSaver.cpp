#include "ini/TextSaver.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/Stream.h"

namespace dax::ini {
namespace {
constexpr int kIndentRun = 96;
constexpr char kSpaces[kIndentRun + 1] =
    "                                                                                              "
    "  ";
}  // namespace

TTextSaver::TTextSaver(size_t bufferSize) : size_(bufferSize) {
  buffer_ = static_cast<char*>(std::malloc(size_));
  if (!buffer_) throw std::bad_alloc();
}

TTextSaver::~TTextSaver() {
  std::free(buffer_);
}

void TTextSaver::Dispose() {
  if (!finished_) Finish();
  TRefObject::Dispose();
}

void TTextSaver::Finish() {
  finished_ = true;
}

void TTextSaver::WriteByteOrderMark() {
  WriteBytes("\xEF\xBB\xBF", 3);
}

void TTextSaver::WriteIndent(int count) {
  while (count > 0) {
    int run = count < kIndentRun ? count : kIndentRun;
    WriteBytes(kSpaces, static_cast<size_t>(run));
    count -= run;
  }
}

void TTextSaver::WriteText(std::string_view text) {
  WriteBytes(text.data(), text.size());
}

void TTextSaver::WriteLine(std::string_view text) {
  WriteText(text);
  WriteLineEnd();
}

void TTextSaver::WriteLineEnd() {
  WriteBytes("\r\n", 2);
}

void TTextSaver::WriteBytes(const void* bytes, size_t count) {
  const char* src = static_cast<const char*>(bytes);
  while (count > 0) {
    if (position_ == size_) FlushBuffer();
    size_t room = size_ - position_;
    size_t n = count < room ? count : room;
    std::memcpy(buffer_ + position_, src, n);
    position_ += n;
    src += n;
    count -= n;
  }
}

TStreamTextSaver::TStreamTextSaver(TStream* stream, bool ownsStream)
    : TTextSaver(kBufferSize), stream_(stream), ownsStream_(ownsStream) {}

TStreamTextSaver::~TStreamTextSaver() {
  if (ownsStream_) delete stream_;
}

void TStreamTextSaver::FlushBuffer() {
  if (position_ == 0) return;
  size_t n = position_;
  position_ = 0;
  stream_->WriteBuffer(buffer_, n);
}

void TStreamTextSaver::Finish() {
  if (finished_) return;
  finished_ = true;
  FlushBuffer();
  if (ownsStream_) {
    delete stream_;
    stream_ = nullptr;
    ownsStream_ = false;
  }
}

void TStreamTextSaver::WriteBytes(const void* bytes, size_t count) {
  if (count >= size_) {
    // Large blocks go straight through, in order after what is buffered.
    FlushBuffer();
    stream_->WriteBuffer(bytes, count);
    return;
  }
  TTextSaver::WriteBytes(bytes, count);
}

TBytesTextSaver::TBytesTextSaver() : TTextSaver(kInitialSize) {}

void TBytesTextSaver::FlushBuffer() {
  size_t grown = size_ * 2;
  char* p = static_cast<char*>(std::realloc(buffer_, grown));
  if (!p) throw std::bad_alloc();
  buffer_ = p;
  size_ = grown;
}

void TBytesTextSaver::Finish() {
  if (finished_) return;
  finished_ = true;
  if (position_ > 0 && position_ < size_) {
    if (char* p = static_cast<char*>(std::realloc(buffer_, position_))) {
      buffer_ = p;
      size_ = position_;
    }
  }
}

void TValueTextSaver::WriteLineEnd() {
  TBytesTextSaver::WriteBytes("\\n", 2);
}

void TValueTextSaver::WriteBytes(const void* bytes, size_t count) {
  const char* p = static_cast<const char*>(bytes);
  const char* end = p + count;
  while (p < end) {
    const char* slash =
        static_cast<const char*>(std::memchr(p, '\\', static_cast<size_t>(end - p)));
    if (!slash) {
      TBytesTextSaver::WriteBytes(p, static_cast<size_t>(end - p));
      return;
    }
    TBytesTextSaver::WriteBytes(p, static_cast<size_t>(slash - p));
    TBytesTextSaver::WriteBytes("\\\\", 2);
    p = slash + 1;
  }
}

}  // namespace dax::ini
