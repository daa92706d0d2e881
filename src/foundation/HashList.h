// Hash lists with a bucket count fixed by the user (251, 9997, ...), and growable lists.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dax {

// Keyed by exact bytes; callers that need case-insensitive keys fold or upper-case them first.
template <class V>
class THashList {
 public:
  explicit THashList(size_t bucketCount) : buckets_(bucketCount ? bucketCount : 1) {}

  V* Find(std::string_view key) {
    for (Node* n = buckets_[Bucket(key)].get(); n; n = n->next.get())
      if (n->key == key) return &n->value;
    return nullptr;
  }
  const V* Find(std::string_view key) const { return const_cast<THashList*>(this)->Find(key); }

  // The existing value, or a value-initialised one added under key.
  V& FindOrAdd(std::string_view key) {
    if (V* v = Find(key)) return *v;
    auto& head = buckets_[Bucket(key)];
    auto node = std::make_unique<Node>();
    node->key = std::string(key);
    node->next = std::move(head);
    head = std::move(node);
    ++count_;
    return head->value;
  }

  bool Remove(std::string_view key) {
    for (std::unique_ptr<Node>* link = &buckets_[Bucket(key)]; *link; link = &(*link)->next) {
      if ((*link)->key == key) {
        *link = std::move((*link)->next);
        --count_;
        return true;
      }
    }
    return false;
  }

  template <class F>
  void ForEach(F&& f) {
    for (auto& head : buckets_)
      for (Node* n = head.get(); n; n = n->next.get()) f(std::string_view(n->key), n->value);
  }

  void Clear() {
    for (auto& head : buckets_) {
      // Unlink iteratively so a long chain cannot overflow the stack.
      while (head) head = std::move(head->next);
    }
    count_ = 0;
  }

  ~THashList() { Clear(); }
  THashList(const THashList&) = delete;
  THashList& operator=(const THashList&) = delete;

  size_t Count() const { return count_; }
  size_t BucketCount() const { return buckets_.size(); }

  static uint32_t Hash(std::string_view key) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : key) h = (h ^ c) * 16777619u;
    return h;
  }

 private:
  struct Node {
    std::string key;
    V value{};
    std::unique_ptr<Node> next;
  };
  size_t Bucket(std::string_view key) const { return Hash(key) % buckets_.size(); }

  std::vector<std::unique_ptr<Node>> buckets_;
  size_t count_ = 0;
};

// A growable array whose capacity starts at kInitial and doubles when full.
template <class T, size_t kInitial = 8>
class TGrowList {
 public:
  void Add(T value) {
    if (items_.size() == items_.capacity())
      items_.reserve(items_.empty() ? kInitial : items_.capacity() * 2);
    items_.push_back(std::move(value));
  }
  size_t Count() const { return items_.size(); }
  size_t Capacity() const { return items_.capacity(); }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }
  void Insert(size_t index, T value) {
    if (items_.size() == items_.capacity())
      items_.reserve(items_.empty() ? kInitial : items_.capacity() * 2);
    items_.insert(items_.begin() + static_cast<ptrdiff_t>(index), std::move(value));
  }
  void Delete(size_t index) { items_.erase(items_.begin() + static_cast<ptrdiff_t>(index)); }
  void Clear() { items_.clear(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<T> items_;
};

}  // namespace dax
