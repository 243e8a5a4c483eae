// The lock and the wake-up the engine's threads share. On Windows they are the system's
// slim reader/writer lock and condition variable, which wait in the process itself;
// std::mutex and std::condition_variable come from winpthreads in this toolchain, which
// waits on kernel semaphores and events. Under Wine every such wait and release is a round
// trip to its server: packing and extracting measured about four of them per file, more
// than the file's own opening, reading and closing.
#pragma once

#include <condition_variable>
#include <mutex>

namespace archive {

#ifdef _WIN32

// Meets the standard's Lockable: use it with std::lock_guard and std::unique_lock.
class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock();
  void unlock();
  bool try_lock();

 private:
  friend class ConditionVariable;
  void* lock_ = nullptr;  // an SRWLOCK: one pointer, all zero when free
};

class ConditionVariable {
 public:
  ConditionVariable() = default;
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;

  void notify_one();
  void notify_all();
  // Waits until notified (or woken spuriously), the lock released meanwhile.
  void wait(std::unique_lock<Mutex>& lock);
  template <typename Ready>
  void wait(std::unique_lock<Mutex>& lock, Ready ready) {
    while (!ready()) wait(lock);
  }

 private:
  void* variable_ = nullptr;  // a CONDITION_VARIABLE, all zero when new
};

#else

using Mutex = std::mutex;
using ConditionVariable = std::condition_variable;

#endif

}  // namespace archive
