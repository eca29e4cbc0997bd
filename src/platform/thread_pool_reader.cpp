#include "platform/thread_pool_reader.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace dt {

namespace {

class ThreadPoolReader : public AsyncReader {
 public:
  ThreadPoolReader(Platform& p, Handle h, std::uint32_t depth) : p_(p), h_(h), depth_(depth) {
    threads_.reserve(depth);
    for (std::uint32_t i = 0; i < depth; ++i) threads_.emplace_back([this] { Serve(); });
  }
  ~ThreadPoolReader() override {
    {
      std::lock_guard<std::mutex> lock(mu_);
      quit_ = true;
    }
    work_.notify_all();
    // Reads under way end first: their buffers belong to the caller.
    for (std::thread& t : threads_) t.join();
  }

  bool Submit(const AsyncReadRequest* reqs, std::size_t n) override {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (outstanding_ + n > depth_) {
        Platform::SetLastError(kErrInvalidParameter);
        return false;
      }
      for (std::size_t i = 0; i < n; ++i) queue_.push_back(reqs[i]);
      outstanding_ += n;
    }
    if (n == 1) {
      work_.notify_one();
    } else {
      work_.notify_all();
    }
    return true;
  }

  std::size_t Reap(AsyncReadCompletion* out, std::size_t max, std::size_t min) override {
    std::unique_lock<std::mutex> lock(mu_);
    // Reads still queued or under way, besides those completed.
    const std::size_t pending = outstanding_;
    const std::size_t want = std::min({min, max, pending});
    done_.wait(lock, [&] { return completed_.size() >= want; });
    std::size_t n = 0;
    while (n < max && !completed_.empty()) {
      out[n++] = completed_.front();
      completed_.pop_front();
    }
    outstanding_ -= n;
    return n;
  }

  const char* Kind() const override { return "threads"; }

 private:
  void Serve() {
    for (;;) {
      AsyncReadRequest r;
      {
        std::unique_lock<std::mutex> lock(mu_);
        work_.wait(lock, [&] { return quit_ || !queue_.empty(); });
        if (queue_.empty()) return;
        r = queue_.front();
        queue_.pop_front();
      }
      AsyncReadCompletion c;
      c.tag = r.tag;
      if (!p_.ReadAt(h_, r.offset, r.buf, r.len, &c.done)) c.error = Platform::LastError();
      c.counter = p_.PerfCounter();
      {
        std::lock_guard<std::mutex> lock(mu_);
        completed_.push_back(c);
      }
      done_.notify_one();
    }
  }

  Platform& p_;
  const Handle h_;
  const std::size_t depth_;
  std::mutex mu_;
  std::condition_variable work_, done_;
  std::deque<AsyncReadRequest> queue_;
  std::deque<AsyncReadCompletion> completed_;
  std::size_t outstanding_ = 0;  // submitted and not yet reaped
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace

std::unique_ptr<AsyncReader> MakeThreadPoolReader(Platform& p, Handle h, std::uint32_t depth) {
  if (depth == 0) {
    Platform::SetLastError(kErrInvalidParameter);
    return nullptr;
  }
  return std::make_unique<ThreadPoolReader>(p, h, depth);
}

std::unique_ptr<AsyncReader> Platform::OpenAsyncReader(Handle h, std::uint32_t depth) {
  return MakeThreadPoolReader(*this, h, depth);
}

}  // namespace dt
