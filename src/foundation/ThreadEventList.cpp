#include "foundation/ThreadEventList.h"

#include <chrono>

namespace dax {

TThreadEventList::~TThreadEventList() { Close(); }

bool TThreadEventList::Enqueue(TItem item) {
  std::function<void()> wakeup;
  {
    std::lock_guard guard(lock_);
    if (closed_) return false;
    items_.push_back(std::move(item));
    wakeup = wakeup_;
  }
  arrived_.notify_all();
  if (wakeup) wakeup();
  return true;
}

bool TThreadEventList::Post(int32_t event, std::unique_ptr<TEventData> data) {
  return Enqueue(TItem{event, std::move(data), 0});
}

bool TThreadEventList::Send(int32_t event, std::unique_ptr<TEventData> data) {
  std::unique_lock guard(lock_);
  if (closed_) return false;
  // Tickets are taken and queued under one lock, so queue order is ticket order.
  const uint64_t ticket = nextTicket_++;
  items_.push_back(TItem{event, std::move(data), ticket});
  std::function<void()> wakeup = wakeup_;
  guard.unlock();
  arrived_.notify_all();
  if (wakeup) wakeup();
  guard.lock();
  handled_.wait(guard, [&] { return closed_ || handledUpTo_ >= ticket; });
  return handledUpTo_ >= ticket;
}

size_t TThreadEventList::Process(const THandler& handler) {
  size_t count = 0;
  for (;;) {
    TItem item;
    {
      std::lock_guard guard(lock_);
      if (items_.empty()) break;
      item = std::move(items_.front());
      items_.pop_front();
    }
    try {
      handler(item.event, std::move(item.data));
    } catch (...) {
      if (item.sendTicket) {
        std::lock_guard guard(lock_);
        handledUpTo_ = std::max(handledUpTo_, item.sendTicket);
        handled_.notify_all();
      }
      throw;
    }
    ++count;
    if (item.sendTicket) {
      std::lock_guard guard(lock_);
      handledUpTo_ = std::max(handledUpTo_, item.sendTicket);
      handled_.notify_all();
    }
  }
  return count;
}

bool TThreadEventList::WaitForEvent(int64_t timeoutMs) {
  std::unique_lock guard(lock_);
  arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                    [&] { return closed_ || !items_.empty(); });
  return !items_.empty();
}

void TThreadEventList::Close() {
  std::deque<TItem> dropped;
  {
    std::lock_guard guard(lock_);
    closed_ = true;
    dropped.swap(items_);
  }
  handled_.notify_all();
  arrived_.notify_all();
  // `dropped` frees the posted data here, outside the lock.
}

bool TThreadEventList::Closed() const {
  std::lock_guard guard(lock_);
  return closed_;
}

size_t TThreadEventList::Pending() const {
  std::lock_guard guard(lock_);
  return items_.size();
}

void TThreadEventList::SetWakeup(std::function<void()> wakeup) {
  std::lock_guard guard(lock_);
  wakeup_ = std::move(wakeup);
}

}  // namespace dax
