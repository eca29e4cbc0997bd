#include "base/worker.h"

namespace dt {

void DirectMainThread::Synchronize(const std::function<void()>& step) {
  std::lock_guard<std::mutex> lock(mu_);
  step();
}

void QueuedMainThread::BindToCurrentThread() {
  std::lock_guard<std::mutex> lock(mu_);
  main_ = std::this_thread::get_id();
}

void QueuedMainThread::Synchronize(const std::function<void()>& step) {
  std::unique_lock<std::mutex> lock(mu_);
  if (std::this_thread::get_id() == main_) {
    lock.unlock();
    step();
    return;
  }
  Item item{&step};
  queue_.push_back(&item);
  cv_.notify_all();
  cv_.wait(lock, [&] { return item.done; });
}

int QueuedMainThread::Pump(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mu_);
  if (queue_.empty())
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
  int n = 0;
  while (!queue_.empty()) {
    Item* item = queue_.front();
    queue_.pop_front();
    lock.unlock();
    (*item->step)();
    lock.lock();
    item->done = true;
    ++n;
    cv_.notify_all();
  }
  return n;
}

Worker::~Worker() { Terminate(); }

void Worker::Start() {
  std::lock_guard<std::mutex> lock(mu_);
  if (thread_.joinable()) return;
  terminated_ = false;
  thread_ = std::thread([this] { Execute(); });
}

void Worker::Wake() {
  std::lock_guard<std::mutex> lock(mu_);
  pending_ = true;
  cv_.notify_all();
}

void Worker::Terminate() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    terminated_ = true;
    cv_.notify_all();
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool Worker::Terminated() const {
  std::lock_guard<std::mutex> lock(mu_);
  return terminated_;
}

void Worker::WaitForWake() {
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait(lock, [&] { return pending_ || terminated_; });
  pending_ = false;
}

}  // namespace dt
