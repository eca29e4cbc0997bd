// A Notifier that records every message and answers questions from a script.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "base/notify.h"

namespace dt {

class RecordingNotifier : public Notifier {
 public:
  struct Message {
    std::string caption;
    std::string text;
  };
  RecordingNotifier() { SetNotifier(this); }
  ~RecordingNotifier() override { SetNotifier(nullptr); }

  void ShowMessage(const std::string& caption, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mu);
    messages.push_back({caption, text});
  }
  bool Confirm(const std::string& caption, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mu);
    questions.push_back({caption, text});
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }

  std::mutex mu;
  std::vector<Message> messages;
  std::vector<Message> questions;
  std::deque<bool> answers;
};

}  // namespace dt
