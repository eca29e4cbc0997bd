// How the toolkit-free core tells or asks the user something. Each front end
// implements it: Qt message boxes, CLI prompts and --yes answers, a
// recording fake in tests.
#pragma once

#include <string>

namespace dt {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // A message box with OK and Cancel; the button pressed is not used. May be
  // called from a worker thread, which then waits until the box is closed.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Confirm(const std::string& caption, const std::string& text) = 0;
};

// The notifier of the running front end. Until one is set, messages go to
// standard error and every question is answered No.
Notifier& Notify();
void SetNotifier(Notifier* n);

}  // namespace dt
