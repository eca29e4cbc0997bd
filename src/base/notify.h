// How the toolkit-free core tells or asks the user something. Each front end
// implements it: Qt message boxes, CLI prompts and --yes answers, a
// recording fake in tests.
#pragma once

#include <string>

namespace dt {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // A message box in the style StyleOf gives; the button pressed is not
  // used. May be called from a worker thread, which then waits until the
  // box is closed.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool Confirm(const std::string& caption, const std::string& text) = 0;
};

// The message a second test gets while one holds the disk.
inline constexpr const char* kBusyText =
    "A read-speed test is running. Stop it before you start another test.";

// How a message box shows a message, the same in every window program: a
// system or data error offers OK and Cancel without an icon, as the Windows
// program's error boxes always have; the busy notice informs; any other
// message warns, with OK alone.
enum class MessageStyle { OkCancel, Information, Warning };
MessageStyle StyleOf(const std::string& caption, const std::string& text);

// The notifier of the running front end. Until one is set, messages go to
// standard error and every question is answered No.
Notifier& Notify();
void SetNotifier(Notifier* n);

}  // namespace dt
