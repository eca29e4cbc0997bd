// Helpers of the Windows window tests: a simulated machine, message loops
// that wait for a condition, and a watcher that answers the modal windows
// and message boxes that a handler opens.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "ui/win32/notifier.h"
#include "ui/win32/wingui.h"

namespace dt::win::test {

// A simulated machine with a virtual clock, from a JSON descriptor.
inline std::unique_ptr<SimPlatform> Machine(const std::string& json) {
  std::string error;
  auto m = ParseSimMachine(json, DT_TESTDATA_DIR "/ata-captures", "test machine", &error);
  if (!m) throw std::runtime_error("bad test machine: " + error);
  return m;
}

// Two disks and two volumes: disk 0 of 64 MiB reads cleanly, disk 1 of
// 8 MiB has unreadable sectors; C is on disk 0, D on disk 1.
inline const char* kTwoDisks = R"json({
  "perf_frequency": 10000000,
  "disks": [
    {"size": 67108864, "speed": {"start_mbps": 100, "end_mbps": 50, "latency_ms": 0.1},
     "capture": "builtin:st9100821as"},
    {"size": 8388608, "speed": {"start_mbps": 40, "end_mbps": 40, "latency_ms": 0.1},
     "unreadable": [[2048, 2055], [9000, 9000]]}
  ],
  "volumes": [
    {"name": "C", "label": "SYSTEM", "fs": "NTFS", "disk": 0, "offset": 0, "size": 67108864},
    {"name": "D", "label": "DATA", "fs": "FAT32", "disk": 1, "offset": 0, "size": 8388608}
  ]
})json";

// The program's message boxes for the life of a test.
class ScopedWinNotifier {
 public:
  ScopedWinNotifier() : previous_(&Notify()) { SetNotifier(&notifier_); }
  ~ScopedWinNotifier() { SetNotifier(previous_); }
  ScopedWinNotifier(const ScopedWinNotifier&) = delete;
  ScopedWinNotifier& operator=(const ScopedWinNotifier&) = delete;

 private:
  Notifier* previous_;
  WinNotifier notifier_;
};

// Serves messages until `done` holds or `timeoutMs` has passed; true when it
// holds.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return done();
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
  return true;
}

// Adds `h` to the windows at `p` when it is a visible, enabled message box or
// dialog of this process (a named CALLBACK: a lambda has the wrong calling
// convention in 32-bit code).
inline BOOL CALLBACK AddDialogBox(HWND h, LPARAM p) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  if (pid == GetCurrentProcessId() && IsWindowVisible(h) && IsWindowEnabled(h) &&
      std::wstring(cls) == L"#32770")
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
  return TRUE;
}

// The visible, enabled top-level windows of this process that are message
// boxes or dialogs (class #32770), newest first as the system orders them.
inline std::vector<HWND> DialogBoxes() {
  std::vector<HWND> found;
  EnumWindows(&AddDialogBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The text of a message box.
inline std::string BoxText(HWND box) {
  return WindowText(GetDlgItem(box, 0xFFFF));
}

// Presses a message box's button (IDOK, IDCANCEL, IDYES, IDNO) from any
// thread.
inline void Answer(HWND box, int id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Calls `act` once with every new window that `find` finds, from a timer of
// the test's thread, so that it also runs inside the modal loops of the
// windows under test. By default it finds message boxes and dialogs.
class ModalWatcher {
 public:
  explicit ModalWatcher(
      std::function<void(HWND)> act, std::function<HWND()> find =
                                         [] {
                                           const auto boxes = DialogBoxes();
                                           return boxes.empty() ? HWND{} : boxes.front();
                                         })
      : act_(std::move(act)), find_(std::move(find)) {
    Current() = this;
    timer_ = SetTimer(nullptr, 0, 5, &Tick);
  }
  ~ModalWatcher() {
    KillTimer(nullptr, timer_);
    if (Current() == this) Current() = nullptr;
  }
  ModalWatcher(const ModalWatcher&) = delete;
  ModalWatcher& operator=(const ModalWatcher&) = delete;

  int Seen() const { return seen_; }

 private:
  static ModalWatcher*& Current() {
    static ModalWatcher* current = nullptr;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalWatcher* self = Current();
    if (!self || self->busy_) return;
    HWND w = self->find_();
    if (!w) self->last_ = nullptr;
    if (!w || w == self->last_) return;
    self->last_ = w;
    ++self->seen_;
    self->busy_ = true;
    self->act_(w);
    self->busy_ = false;
  }

  std::function<void(HWND)> act_;
  std::function<HWND()> find_;
  UINT_PTR timer_ = 0;
  HWND last_ = nullptr;
  int seen_ = 0;
  bool busy_ = false;
};

// Clicks a control as the user does: BM_CLICK for buttons and check boxes.
inline void Click(const Control* c) {
  SendMessageW(c->hwnd(), BM_CLICK, 0, 0);
}

// Checks every control of `form` against its description: text, place,
// size (auto-sized ones: their place; `sized`: the controls whose size a
// window rule sets), visible and enabled state, and the hint as a tooltip.
void ExpectMatchesDescription(const Form& form, const std::vector<std::string>& sized = {});

}  // namespace dt::win::test
