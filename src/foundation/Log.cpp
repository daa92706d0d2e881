#include "foundation/Log.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "foundation/Clock.h"
#include "foundation/Numbers.h"

namespace dax {

TLogSink::~TLogSink() { Close(); }

void TLogSink::Close() {
  std::lock_guard guard(lock_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
  kind_ = TLogKind::None;
}

void TLogSink::OpenNone() { Close(); }

void TLogSink::OpenStderr() {
  Close();
  std::lock_guard guard(lock_);
  kind_ = TLogKind::Stderr;
}

bool TLogSink::OpenFile(const std::string& path) {
  Close();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite("\xEF\xBB\xBF", 1, 3, f);
  std::fflush(f);
  std::lock_guard guard(lock_);
  file_ = f;
  kind_ = TLogKind::File;
  return true;
}

void TLogSink::SetPrefix(std::string prefix) {
  std::lock_guard guard(lock_);
  prefix_ = std::move(prefix);
}

void TLogSink::SetTimes(bool on, IClock* clock) {
  std::lock_guard guard(lock_);
  times_ = on;
  clock_ = clock;
  startMs_ = (clock_ ? clock_ : &ProgramClock())->NowMs();
}

void TLogSink::Write(std::string_view text) {
  if (kind_ == TLogKind::None) return;
  std::lock_guard guard(lock_);
  std::string line = prefix_;
  if (threadIds_) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "#%04lX ", static_cast<long>(::syscall(SYS_gettid)));
    line += buf;
  }
  if (times_) {
    int64_t ms = (clock_ ? clock_ : &ProgramClock())->NowMs() - startMs_;
    line += "[" + FormatInt(ms) + "] ";
  }
  line += text;
  if (kind_ == TLogKind::File && file_) {
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
  } else if (kind_ == TLogKind::Stderr) {
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
}

std::string FormatLogDateTime(const std::tm& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

void TLogSink::WriteStartBanner(const std::string& exePath, const std::tm& now) {
  Write("");
  Write(std::string(64, '='));
  Write("Program : " + exePath);
  Write("started : " + FormatLogDateTime(now));
  Write(std::string(64, '='));
}

void TLogSink::WriteStopBanner(const std::tm& now, int64_t workMs) {
  Write("");
  Write(std::string(64, '-'));
  Write("Program stoped : " + FormatLogDateTime(now) + " (work time : " + FormatInt(workMs) +
        " ms)");
  Write(std::string(64, '-'));
}

TLogSink& Log() {
  static TLogSink sink;
  return sink;
}

std::string LogFileNameFor(const std::string& exePath) {
  auto slash = exePath.find_last_of('/');
  auto dot = exePath.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    return exePath.substr(0, dot) + ".log";
  }
  return exePath + ".log";
}

TLogLine::~TLogLine() { Log().Write(text_); }

TLogLine& TLogLine::Add(std::string_view text) {
  text_ += text;
  return *this;
}

TLogLine& TLogLine::Int(int64_t value) { return Add(FormatInt(value)); }

TLogLine& TLogLine::Float(double value) { return Add(FormatFloat(value, 16)); }

TLogLine& TLogLine::Bool(bool value) { return Add(value ? "True" : "False"); }

TLogLine& TLogLine::IntList(const std::vector<int64_t>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) text_ += ", ";
    text_ += FormatInt(values[i]);
  }
  return *this;
}

TLogLine& TLogLine::Rect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  return Add("(" + FormatInt(left) + ", " + FormatInt(top) + ", " + FormatInt(right) + ", " +
             FormatInt(bottom) + ")");
}

}  // namespace dax
