// A window for the window logic's tests: the controls of a description as
// texts, checks and lists, the handlers the logic hooked, and a record of
// what it asked of the window.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/view.h"
#include "base/worker.h"

namespace dt::app {

class FakeView : public View {
 public:
  // The controls start as the window's description has them; `main` is
  // served while the logic waits for the window's thread.
  explicit FakeView(const form::FormSpec& form, QueuedMainThread* main = nullptr) : main_(main) {
    const form::FormState start(form);
    for (const form::ControlSpec& c : form.controls) {
      texts[c.name] = start[c.name].text;
      checks[c.name] = start[c.name].checked;
    }
  }

  std::map<std::string, std::string> texts;
  std::map<std::string, bool> checks;
  std::map<std::string, std::vector<ListItem>> lists;
  std::map<std::string, std::function<void()>> clicks, leaves;
  std::function<void()> timer;
  std::string startText;  // Button1 as Apply showed it last
  // Runs while the window is shown modally; the window then closes unless
  // the logic closed it.
  std::function<void()> whileModal;
  int modalShows = 0, closes = 0;
  std::vector<std::string> sizes;  // "control WxH" for every Resize
  int left = -1, top = -1;

  void Click(const std::string& control) { clicks.at(control)(); }
  void Check(const std::string& control, bool on) {
    checks[control] = on;
    if (clicks.count(control)) clicks[control]();
  }
  // Types `text` into an edit and leaves it.
  void Enter(const std::string& edit, const std::string& text) {
    texts[edit] = text;
    leaves.at(edit)();
  }

  std::string Text(const std::string& c) const override {
    const auto list = lists.find(c);
    if (list != lists.end()) return list->second.empty() ? "" : list->second.front().text;
    const auto t = texts.find(c);
    return t == texts.end() ? "" : t->second;
  }
  void SetText(const std::string& c, const std::string& text) override { texts[c] = text; }
  bool Checked(const std::string& c) const override {
    const auto it = checks.find(c);
    return it != checks.end() && it->second;
  }
  void SetItems(const std::string& c, const std::vector<ListItem>& items) override {
    lists[c] = items;
  }
  void Apply(const form::FormState& s) override { startText = s["Button1"].text; }
  void OnClick(const std::string& c, std::function<void()> handler) override {
    clicks[c] = std::move(handler);
  }
  void OnChange(const std::string&, std::function<void()>) override {}
  void OnLeave(const std::string& c, std::function<void()> handler) override {
    leaves[c] = std::move(handler);
  }
  void ShowModal() override {
    ++modalShows;
    if (whileModal) whileModal();
  }
  void Close() override { ++closes; }
  void StartTimer(const std::string&, int, std::function<void()> tick) override {
    timer = std::move(tick);
  }
  void MoveTo(int x, int y) override {
    left = x;
    top = y;
  }
  Size OuterSize() const override { return {800, 600}; }
  Size ClientSize() const override { return {792, 573}; }
  Size ControlSize(const std::string&) const override { return {400, 300}; }
  void Resize(const std::string& c, int width, int height) override {
    sizes.push_back(c + " " + std::to_string(width) + "x" + std::to_string(height));
  }
  void SetImage(const std::string&, int, int, const std::vector<std::uint8_t>&) override {}
  void Refresh(const std::string&) override {}
  void RepaintAll() override {}
  void Repaint(const std::string&) override {}
  void ServeEvents() override {
    if (main_) main_->Pump(1);
  }

 private:
  QueuedMainThread* main_;
};

}  // namespace dt::app
