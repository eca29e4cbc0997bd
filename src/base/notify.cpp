#include "base/notify.h"

#include <atomic>
#include <cstdio>

namespace dt {

namespace {

class StderrNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  bool Confirm(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s (answered No)\n", caption.c_str(), text.c_str());
    return false;
  }
};

StderrNotifier g_stderrNotifier;
std::atomic<Notifier*> g_notifier{nullptr};

}  // namespace

Notifier& Notify() {
  Notifier* n = g_notifier.load();
  return n ? *n : g_stderrNotifier;
}

void SetNotifier(Notifier* n) { g_notifier.store(n); }

MessageStyle StyleOf(const std::string& caption, const std::string& text) {
  if (caption.rfind("System error ", 0) == 0 || caption == "Data Error") return MessageStyle::OkCancel;
  if (text == kBusyText) return MessageStyle::Information;
  return MessageStyle::Warning;
}

}  // namespace dt
