#pragma once

// Values made in order on a thread of their own, a bounded number ahead of the one taking them:
// while the export writes one card, the next contacts are read and their cards formed. The
// values are taken in the order they are made, each once; what making one threw is thrown by
// taking it, so that a failure shows at the item it belongs to.
//
// Whatever `make` reads belongs to the making thread while it runs: the taker must not touch it
// until the last value is taken or Stop() returned.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace tarnvex::standin {

struct ReadAheadLimits {
  std::size_t items = 64;                // values made but not yet taken, at most
  std::size_t bytes = 16 * 1024 * 1024;  // their weight, at most; one value may weigh more
};

template <typename T>
class ReadAhead {
 public:
  using Make = std::function<T(std::size_t index)>;
  using Weigh = std::function<std::size_t(const T&)>;

  // Makes the values of the indexes 0 to count - 1; the thread starts at the first Take.
  ReadAhead(std::size_t count, Make make, Weigh weigh, ReadAheadLimits limits = {})
      : count_(count), make_(std::move(make)), weigh_(std::move(weigh)), limits_(limits) {}
  ~ReadAhead() { Stop(); }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next value, waiting until it is made; empty after the last. Throws what making it threw.
  std::optional<T> Take() {
    if (taken_ == count_ || stopped_)
      return std::nullopt;
    if (!thread_.joinable() && !alone_) {
      try {
        thread_ = std::thread([this] { MakeAll(); });
      } catch (const std::system_error&) {
        alone_ = true;  // no thread to be had (a limit of the machine): made here, one by one
      }
    }
    if (alone_)
      return make_(taken_++);
    Slot slot;
    bool wakeMaker = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (queue_.empty()) {
        takerWaits_ = true;
        made_.wait(lock, [&] { return !queue_.empty(); });
      }
      slot = std::move(queue_.front());
      queue_.pop_front();
      weight_ -= slot.weight;
      // The maker is woken once half the room is free, not at every value: waking it costs two
      // system calls, as much as reading a small item.
      if (makerWaits_ && HasHalfRoom()) {
        makerWaits_ = false;
        wakeMaker = true;
      }
    }
    if (wakeMaker)
      room_.notify_one();
    if (++taken_ == count_)
      Stop();  // the thread has made its last value; nothing it read is in use any more
    if (slot.error)
      std::rethrow_exception(slot.error);
    return std::move(slot.value);
  }

  // Ends the making and waits for the thread; the values made and not taken are dropped, and
  // Take gives no more.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    room_.notify_one();
    if (thread_.joinable())
      thread_.join();
    queue_.clear();
    stopped_ = true;
  }

 private:
  struct Slot {
    std::optional<T> value;
    std::exception_ptr error;
    std::size_t weight = 0;
  };

  void MakeAll() {
    for (std::size_t index = 0; index < count_; ++index) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!stopping_ && !HasRoom()) {
          makerWaits_ = true;
          room_.wait(lock, [&] { return stopping_ || !makerWaits_; });
        }
        if (stopping_)
          return;
      }
      Slot slot;
      try {
        slot.value.emplace(make_(index));
        slot.weight = weigh_(*slot.value);
      } catch (...) {
        slot.error = std::current_exception();
      }
      bool wakeTaker = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        weight_ += slot.weight;
        queue_.push_back(std::move(slot));
        std::swap(wakeTaker, takerWaits_);
      }
      if (wakeTaker)
        made_.notify_one();
    }
  }

  bool HasRoom() const {
    return queue_.empty() || (queue_.size() < limits_.items && weight_ < limits_.bytes);
  }
  bool HasHalfRoom() const {
    return queue_.empty() || (queue_.size() <= limits_.items / 2 && weight_ <= limits_.bytes / 2);
  }

  const std::size_t count_;
  Make make_;
  Weigh weigh_;
  const ReadAheadLimits limits_;
  std::size_t taken_ = 0;  // by the taker alone
  bool stopped_ = false;   // by the taker alone
  bool alone_ = false;     // by the taker alone: the values are made by Take
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable made_;  // a value was queued
  std::condition_variable room_;  // a value was taken, or the making is to stop
  std::deque<Slot> queue_;
  std::size_t weight_ = 0;
  bool stopping_ = false;
  bool takerWaits_ = false;  // for a value
  bool makerWaits_ = false;  // for room
};

}  // namespace tarnvex::standin
