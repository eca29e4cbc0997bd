// The window logic's view of a Win32 window: its controls by name.
#pragma once

#include "app/view.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class FormView : public app::View {
 public:
  explicit FormView(Form& form) : form_(form) {}

  std::string Text(const std::string& control) const override;
  void SetText(const std::string& control, const std::string& text) override;
  bool Checked(const std::string& control) const override;
  void SetItems(const std::string& control, const std::vector<app::ListItem>& items) override;
  void Apply(const form::FormState& state) override { form_.Apply(state); }
  void OnClick(const std::string& control, std::function<void()> handler) override;
  void OnChange(const std::string& control, std::function<void()> handler) override;
  void OnLeave(const std::string& control, std::function<void()> handler) override;
  void StartTimer(const std::string& name, int ms, std::function<void()> tick) override;
  void ShowModal() override { form_.ShowModal(); }
  void Close() override { form_.Hide(); }
  void MoveTo(int x, int y) override { form_.Move(x, y); }
  app::Size OuterSize() const override;
  app::Size ClientSize() const override;
  app::Size ControlSize(const std::string& control) const override;
  void Resize(const std::string& control, int width, int height) override;
  void SetImage(const std::string& control, int width, int height,
                const std::vector<std::uint8_t>& rgb) override;
  void Refresh(const std::string& control) override;
  void RepaintAll() override;
  void Repaint(const std::string& control) override;
  void ServeEvents() override;

 private:
  Form& form_;
};

}  // namespace dt::win
