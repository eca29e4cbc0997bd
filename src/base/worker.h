// Worker threads and the hand-over of steps to the front end's main thread.
//
// A worker is a thread that runs Execute() for the life of its owner. It
// sleeps in WaitForWake() until Wake() is called; the wake-up is a pending
// flag under a mutex, so a Wake() that comes just before the worker goes to
// sleep is never lost. Window updates go through Synchronize(), which runs a
// step on the main thread and waits until it has run.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace dt {

// Runs steps on the front end's main thread.
class MainThread {
 public:
  virtual ~MainThread() = default;
  // Runs `step` on the main thread and returns when it has run. Called from
  // a worker thread.
  virtual void Synchronize(const std::function<void()>& step) = 0;
};

// Runs every step at once on the calling thread, one at a time (tests, and
// front ends without an event loop).
class DirectMainThread : public MainThread {
 public:
  void Synchronize(const std::function<void()>& step) override;

 private:
  std::mutex mu_;
};

// A queue that the main thread serves: workers post a step and wait; the
// main thread calls Pump() in its loop (the CLI).
class QueuedMainThread : public MainThread {
 public:
  void Synchronize(const std::function<void()>& step) override;
  // Runs the steps waiting now, or waits up to `timeoutMs` for one. Returns
  // the number of steps run.
  int Pump(int timeoutMs);
  // Main-thread id: a Synchronize() from the main thread itself runs inline.
  void BindToCurrentThread();

 private:
  struct Item {
    const std::function<void()>* step;
    bool done = false;
  };
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<Item*> queue_;
  std::thread::id main_ = std::this_thread::get_id();
};

class Worker {
 public:
  Worker() = default;
  virtual ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Starts the thread (not suspended).
  void Start();
  // Wakes the thread if it sleeps in WaitForWake().
  void Wake();
  // Asks Execute() to end, wakes it and waits for it. A derived class calls
  // this in its destructor, before its own members go away.
  void Terminate();

 protected:
  virtual void Execute() = 0;
  bool Terminated() const;
  // Sleeps until Wake() or Terminate(); consumes the wake-up.
  void WaitForWake();

 private:
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool pending_ = false;
  bool terminated_ = false;
  std::thread thread_;
};

}  // namespace dt
