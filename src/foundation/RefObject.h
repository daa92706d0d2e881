// Base of shared objects: an intrusive, atomic reference count and a smart pointer over it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

namespace dax {

// Created with count 1. Releasing to zero calls Dispose once, then destroys the object.
// Overrides of Dispose must call TRefObject::Dispose.
class TRefObject {
 public:
  TRefObject();
  TRefObject(const TRefObject&) = delete;
  TRefObject& operator=(const TRefObject&) = delete;

  void AddRef() noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
  void Release();
  int32_t RefCount() const noexcept { return count_.load(std::memory_order_acquire); }

  // The dynamic class name without namespaces, as the misuse reports name it.
  std::string ClassName() const;

 protected:
  virtual ~TRefObject();
  virtual void Dispose();

 private:
  static constexpr uint32_t kAliveMagic = 0x52454F42;  // "REOB"
  std::atomic<int32_t> count_{1};
  uint32_t magic_ = kAliveMagic;
  bool disposeReached_ = false;
};

// Owning pointer to a TRefObject. Adopt takes over the creation reference.
template <class T>
class TRef {
 public:
  TRef() = default;
  TRef(std::nullptr_t) {}
  TRef(const TRef& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  template <class U>
  TRef(const TRef<U>& other) : p_(other.Get()) {
    if (p_) p_->AddRef();
  }
  TRef(TRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
  TRef(TRef<U>&& other) noexcept : p_(other.Detach()) {}
  ~TRef() { Reset(); }

  TRef& operator=(TRef other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  static TRef Adopt(T* p) {
    TRef r;
    r.p_ = p;
    return r;
  }
  // Shares an object the caller keeps its own reference on.
  static TRef Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  friend bool operator==(const TRef& a, const TRef& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
TRef<T> MakeRef(Args&&... args) {
  return TRef<T>::Adopt(new T(std::forward<Args>(args)...));
}

}  // namespace dax
