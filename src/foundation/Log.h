// The process-wide log sink: none, stderr (switch "log") or a file (switch "filelog").
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace dax {

class IClock;

enum class TLogKind { None, Stderr, File };

class TLogSink {
 public:
  ~TLogSink();

  void OpenNone();
  void OpenStderr();
  // Creates the file anew; UTF-8 byte order mark at the start. False when it cannot be made.
  bool OpenFile(const std::string& path);
  void Close();

  TLogKind Kind() const { return kind_; }
  bool Enabled() const { return kind_ != TLogKind::None; }

  void SetPrefix(std::string prefix);
  void SetThreadIds(bool on) { threadIds_ = on; }
  // "[ms since start] " before each line; the start is when this is switched on.
  void SetTimes(bool on, IClock* clock = nullptr);

  // Writes one line (the prefixes, the text, CR LF for files) under the sink's lock.
  void Write(std::string_view text);

  // `now` is the local time of day; `exePath` the program's path.
  void WriteStartBanner(const std::string& exePath, const std::tm& now);
  void WriteStopBanner(const std::tm& now, int64_t workMs);

 private:
  std::mutex lock_;
  std::atomic<TLogKind> kind_{TLogKind::None};
  std::FILE* file_ = nullptr;
  std::string prefix_;
  bool threadIds_ = false;
  bool times_ = false;
  IClock* clock_ = nullptr;
  int64_t startMs_ = 0;
};

TLogSink& Log();

// "DD.MM.YYYY HH:MM:SS"
std::string FormatLogDateTime(const std::tm& t);
// The program's path with its extension replaced by ".log" (added when it has none).
std::string LogFileNameFor(const std::string& exePath);

// Builds one log line with the format's helpers and writes it when destroyed.
class TLogLine {
 public:
  explicit TLogLine(std::string_view text = {}) : text_(text) {}
  ~TLogLine();
  TLogLine(const TLogLine&) = delete;
  TLogLine& operator=(const TLogLine&) = delete;

  TLogLine& Add(std::string_view text);
  TLogLine& Int(int64_t value);
  TLogLine& Float(double value);
  TLogLine& Bool(bool value);
  TLogLine& IntList(const std::vector<int64_t>& values);
  TLogLine& Rect(int64_t left, int64_t top, int64_t right, int64_t bottom);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace dax
