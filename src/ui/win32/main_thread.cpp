#include "ui/win32/main_thread.h"

#include <stdexcept>

#include "ui/win32/wingui.h"

namespace dt::win {

namespace {

constexpr wchar_t kClass[] = L"DtMainThread";
constexpr UINT kRunStep = WM_APP + 1;

}  // namespace

LRESULT CALLBACK WinMainThread::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kRunStep) {
    (*reinterpret_cast<const std::function<void()>*>(lp))();
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

WinMainThread::WinMainThread() : thread_(GetCurrentThreadId()) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = Instance();
  wc.lpfnWndProc = &Proc;
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);  // fails harmlessly when it is registered already
  hwnd_ =
      CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance(), nullptr);
  if (!hwnd_) throw std::runtime_error("cannot create the main thread's message window");
}

WinMainThread::~WinMainThread() {
  DestroyWindow(hwnd_);
}

void WinMainThread::Synchronize(const std::function<void()>& step) {
  if (GetCurrentThreadId() == thread_) {
    step();
    return;
  }
  SendMessageW(hwnd_, kRunStep, 0, reinterpret_cast<LPARAM>(&step));
}

}  // namespace dt::win
