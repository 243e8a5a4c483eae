#include "archive/io/WorkerPool.h"

#include <algorithm>

namespace archive {

WorkerPool::WorkerPool(unsigned workers) : lanes_(workers) {
  threads_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this, i] { Run(i); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<Mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

unsigned WorkerPool::Cores() { return std::clamp(std::thread::hardware_concurrency(), 1u, 8u); }

unsigned WorkerPool::DefaultWorkers() { return std::clamp(2 * Cores(), 4u, 8u); }

unsigned WorkerPool::PackingWorkers() { return std::max(2u, Cores()); }

void WorkerPool::Submit(std::function<void(unsigned)> task) {
  {
    std::lock_guard<Mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void WorkerPool::SubmitTo(unsigned lane, std::function<void(unsigned)> task) {
  {
    std::lock_guard<Mutex> lock(mutex_);
    lanes_[lane % lanes_.size()].push_back(std::move(task));
  }
  wake_.notify_all();
}

void WorkerPool::Run(unsigned worker) {
  auto& lane = lanes_[worker];
  for (;;) {
    std::function<void(unsigned)> task;
    {
      std::unique_lock<Mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !tasks_.empty() || !lane.empty(); });
      auto& queue = !lane.empty() ? lane : tasks_;
      if (queue.empty()) return;
      task = std::move(queue.front());
      queue.pop_front();
    }
    task(worker);  // tasks catch their own exceptions
  }
}

}  // namespace archive
