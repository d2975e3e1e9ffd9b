// SharedHolder: a process-wide object that lives exactly while someone uses it.
//
// Acquire makes and starts the object when there is none and hands out a Reference; the last
// Reference to go stops and deletes it. Starting may fail, and then nothing is held. A holder may
// hold references without an object: a start function that returns no object keeps a place for a
// worker that does not exist yet, counted like any other.
//
// Threads: Acquire and the References' destructors may run on any thread; the start and stop
// functions run with the holder locked, so a second Acquire waits for a start in progress, and
// they must not acquire this holder again. A Reference must not outlive its holder.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "foundation/thread_annotations.h"
#include "platform/error.h"

namespace tw::app {

template <class T>
class SharedHolder {
 public:
  // `start` makes and starts the object (null: nothing to run, still counted); `stop` ends it
  // before it is deleted.
  using StartFunction = std::function<Result<std::unique_ptr<T>>()>;
  using StopFunction = std::function<void(T&)>;

  class Reference {
   public:
    Reference() = default;
    Reference(Reference&& other) noexcept : holder_(std::exchange(other.holder_, nullptr)) {}
    Reference& operator=(Reference&& other) noexcept {
      if (this != &other) {
        Release();
        holder_ = std::exchange(other.holder_, nullptr);
      }
      return *this;
    }
    ~Reference() { Release(); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    explicit operator bool() const { return holder_ != nullptr; }
    // The object, or null when the holder keeps none.
    T* get() const { return holder_ ? holder_->object_unlocked() : nullptr; }
    void Release() {
      if (SharedHolder* holder = std::exchange(holder_, nullptr)) holder->Release();
    }

   private:
    friend class SharedHolder;
    explicit Reference(SharedHolder* holder) : holder_(holder) {}
    SharedHolder* holder_ = nullptr;
  };

  SharedHolder(StartFunction start, StopFunction stop)
      : start_(std::move(start)), stop_(std::move(stop)) {}
  SharedHolder(const SharedHolder&) = delete;
  SharedHolder& operator=(const SharedHolder&) = delete;

  Result<Reference> Acquire() {
    std::lock_guard lock(mutex_);
    if (references_ == 0) {
      Result<std::unique_ptr<T>> made = start_();
      if (!made.ok()) return made.error();
      object_ = std::move(*made);
    }
    ++references_;
    return Reference(this);
  }

  // A further reference while someone holds one, without ever starting the object; an empty
  // Reference when nobody does.
  Reference AcquireExisting() {
    std::lock_guard lock(mutex_);
    if (references_ == 0) return Reference();
    ++references_;
    return Reference(this);
  }

  size_t references() const {
    std::lock_guard lock(mutex_);
    return references_;
  }
  bool has_object() const {
    std::lock_guard lock(mutex_);
    return object_ != nullptr;
  }

 private:
  void Release() {
    std::lock_guard lock(mutex_);
    if (references_ == 0 || --references_ > 0) return;
    if (object_) {
      if (stop_) stop_(*object_);
      object_.reset();
    }
  }
  // While a Reference lives the object stays, so its holder may read the pointer unlocked.
  T* object_unlocked() const TW_NO_THREAD_SAFETY_ANALYSIS { return object_.get(); }

  const StartFunction start_;
  const StopFunction stop_;
  mutable std::mutex mutex_;
  size_t references_ TW_GUARDED_BY(mutex_) = 0;
  std::unique_ptr<T> object_ TW_GUARDED_BY(mutex_);
};

}  // namespace tw::app
