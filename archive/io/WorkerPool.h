// The engine's worker threads, shared by packing and extraction.
#pragma once

#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "archive/io/Sync.h"

namespace archive {

// A fixed set of worker threads taking tasks in order of submission. Tasks receive the
// index of the worker that runs them, so that per-worker state needs no locking.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned workers);
  ~WorkerPool();  // finishes the queued tasks, then joins
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned size() const { return static_cast<unsigned>(threads_.size()); }
  void Submit(std::function<void(unsigned worker)> task);
  // Runs `task` on worker `lane` modulo size(), after the tasks given to that lane before.
  void SubmitTo(unsigned lane, std::function<void(unsigned worker)> task);

  // Cores to compress on: at least one, at most eight (more do not pay for their memory
  // at deflate's speed).
  static unsigned Cores();
  // Workers worth starting for extraction: twice the cores, at least four, at most eight.
  // Threads beyond the cores pay where creating and writing files waits on something else
  // than the CPU, as every file system call does under Wine (a round trip to its server).
  static unsigned DefaultWorkers();
  // Workers worth starting for packing: one per core, at least two so that reading
  // overlaps with compressing. More were slower: the 212 MB corpus through the 32-bit DLL
  // under Wine took 3.8 to 4.1 s with two workers on two cores and 4.2 to 4.5 s with four
  // (their opens and closes queue on Wine's server), natively the same with either.
  static unsigned PackingWorkers();

 private:
  void Run(unsigned worker);

  Mutex mutex_;
  ConditionVariable wake_;
  std::deque<std::function<void(unsigned)>> tasks_;
  std::vector<std::deque<std::function<void(unsigned)>>> lanes_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace archive
