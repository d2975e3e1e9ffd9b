// OwnedList: the doubly linked list that every list of the system uses.
//
// Nodes carry their links in themselves: a node type derives from ListNode<T>. When the owning
// flag is set the list owns its nodes: unlinking with Remove, Clear and destruction release them
// (the release routine first, then delete). A list that does not own its nodes only forgets
// them. A node is in at most one list at a time; StringNode and RefNode wrap a string or a
// pointer to a record kept elsewhere, for a list of strings or a second list over existing records.
//
// A list has no lock: it is touched by one thread, or guarded by its owner's mutex.
#pragma once

#include <cassert>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

namespace tw {

template <class T>
struct ListNode {
  T* next = nullptr;
  T* prev = nullptr;

 protected:
  ListNode() = default;
  // Copying a node copies its data, never its place in a list.
  ListNode(const ListNode&) {}
  ListNode& operator=(const ListNode&) { return *this; }
  ~ListNode() = default;
};

template <class T>
class OwnedList {
 public:
  using ReleaseRoutine = std::function<void(T&)>;

  explicit OwnedList(bool owning = true, ReleaseRoutine release = nullptr)
      : owning_(owning), release_(std::move(release)) {}
  ~OwnedList() { Clear(); }
  OwnedList(const OwnedList&) = delete;
  OwnedList& operator=(const OwnedList&) = delete;
  OwnedList(OwnedList&& other) noexcept { TakeFrom(other); }
  OwnedList& operator=(OwnedList&& other) noexcept {
    if (this != &other) {
      Clear();
      TakeFrom(other);
    }
    return *this;
  }

  uint32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  T* first() const { return first_; }
  T* last() const { return last_; }
  bool owning() const { return owning_; }

  T* Append(T* node) { return InsertAfter(nullptr, node); }
  T* Append(std::unique_ptr<T> node) { return Append(node.release()); }

  // Inserts before `where`; at the head when `where` is null.
  T* InsertBefore(T* where, T* node) {
    node->prev = where ? where->prev : nullptr;
    node->next = where ? where : first_;
    Link(node);
    return node;
  }
  T* InsertBefore(T* where, std::unique_ptr<T> node) { return InsertBefore(where, node.release()); }

  // Inserts after `where`; at the tail when `where` is null.
  T* InsertAfter(T* where, T* node) {
    node->prev = where ? where : last_;
    node->next = where ? where->next : nullptr;
    Link(node);
    return node;
  }
  T* InsertAfter(T* where, std::unique_ptr<T> node) { return InsertAfter(where, node.release()); }

  // Takes the node out of the list and hands it to the caller; the list no longer knows it.
  T* Unlink(T* node) {
    (node->prev ? node->prev->next : first_) = node->next;
    (node->next ? node->next->prev : last_) = node->prev;
    node->next = node->prev = nullptr;
    --count_;
    return node;
  }

  // Unlinks the node and releases it when the list owns its nodes.
  void Remove(T* node) { Release(Unlink(node)); }

  // Releases every node from first to last (owning) or forgets them; the list is then empty.
  void Clear() {
    T* node = first_;
    first_ = last_ = nullptr;
    count_ = 0;
    while (node) {
      T* next = node->next;
      node->next = node->prev = nullptr;
      Release(node);
      node = next;
    }
  }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = T*;
    using reference = T&;
    Iterator() = default;
    explicit Iterator(T* node) : node_(node) {}
    T& operator*() const { return *node_; }
    T* operator->() const { return node_; }
    Iterator& operator++() {
      node_ = node_->next;
      return *this;
    }
    Iterator operator++(int) {
      Iterator old = *this;
      node_ = node_->next;
      return old;
    }
    bool operator==(const Iterator&) const = default;

   private:
    T* node_ = nullptr;
  };
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(); }

 private:
  void Link(T* node) {
    (node->prev ? node->prev->next : first_) = node;
    (node->next ? node->next->prev : last_) = node;
    ++count_;
  }
  void Release(T* node) {
    if (!owning_) return;
    if (release_) release_(*node);
    delete node;
  }
  void TakeFrom(OwnedList& other) {
    count_ = std::exchange(other.count_, 0);
    first_ = std::exchange(other.first_, nullptr);
    last_ = std::exchange(other.last_, nullptr);
    owning_ = other.owning_;
    release_ = std::move(other.release_);
  }

  uint32_t count_ = 0;
  bool owning_ = true;
  T* first_ = nullptr;
  T* last_ = nullptr;
  ReleaseRoutine release_;
};

// A list of strings.
struct StringNode : ListNode<StringNode> {
  explicit StringNode(std::string v) : value(std::move(v)) {}
  std::string value;
};

// A second list over records that another list owns.
template <class T>
struct RefNode : ListNode<RefNode<T>> {
  explicit RefNode(T* t) : target(t) {}
  T* target;
};

// A new owning list holding copies of the nodes of `source`, in order.
template <class T>
OwnedList<T> CloneList(const OwnedList<T>& source) {
  OwnedList<T> copy;
  for (const T& node : source) copy.Append(std::make_unique<T>(node));
  return copy;
}

}  // namespace tw
