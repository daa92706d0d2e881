// A lock-protected FIFO of (event number, owned data) between threads, with post and send.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace dax {

// Base of the data objects carried by events; the handler owns it once it gets it.
class TEventData {
 public:
  virtual ~TEventData() = default;
};

class TThreadEventList {
 public:
  using THandler = std::function<void(int32_t event, std::unique_ptr<TEventData> data)>;

  TThreadEventList() = default;
  ~TThreadEventList();
  TThreadEventList(const TThreadEventList&) = delete;
  TThreadEventList& operator=(const TThreadEventList&) = delete;

  // Queues and returns. False (and the data freed) when the list is closed.
  bool Post(int32_t event, std::unique_ptr<TEventData> data = nullptr);
  // Queues and waits until the owner has handled the event. False when the list was closed
  // before the event was handled.
  bool Send(int32_t event, std::unique_ptr<TEventData> data = nullptr);

  // On the owner's thread: hands queued events to the handler one by one, front first.
  // Returns the number handled.
  size_t Process(const THandler& handler);
  // Waits up to timeoutMs for an event to arrive (or the list to close); true when one waits.
  bool WaitForEvent(int64_t timeoutMs);

  // Releases waiting senders and frees posted data; later posts and sends are refused.
  void Close();
  bool Closed() const;
  size_t Pending() const;

  // Called (outside the lock) after each post or send, e.g. to wake an event loop.
  void SetWakeup(std::function<void()> wakeup);

 private:
  struct TItem {
    int32_t event;
    std::unique_ptr<TEventData> data;
    uint64_t sendTicket = 0;  // non-zero for sends
  };
  bool Enqueue(TItem item);

  mutable std::mutex lock_;
  std::condition_variable arrived_;
  std::condition_variable handled_;
  std::deque<TItem> items_;
  bool closed_ = false;
  uint64_t nextTicket_ = 1;
  uint64_t handledUpTo_ = 0;  // tickets are handled in order, so one counter suffices
  std::function<void()> wakeup_;
};

}  // namespace dax
