// The hand-over of worker steps to the GUI thread of the Windows program.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "base/worker.h"

namespace dt::win {

// Synchronize() from a worker sends a message to a hidden window of the
// thread that created this object: SendMessage blocks the worker until the
// GUI thread has run the step, inside whatever message loop it is in
// (modal windows and message boxes included). A call from the GUI thread
// itself runs the step at once.
class WinMainThread : public MainThread {
 public:
  WinMainThread();
  ~WinMainThread() override;
  WinMainThread(const WinMainThread&) = delete;
  WinMainThread& operator=(const WinMainThread&) = delete;
  void Synchronize(const std::function<void()>& step) override;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
  DWORD thread_ = 0;
};

}  // namespace dt::win
