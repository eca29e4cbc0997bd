// The window logic's view of a Qt window: its built controls by name.
#pragma once

#include <QWidget>

#include "app/view.h"
#include "ui/qt/form_builder.h"

namespace dt::ui {

class QtView : public app::View {
 public:
  // `window` holds the controls that `form` built on it.
  QtView(QWidget* window, BuiltForm& form) : window_(window), form_(form) {}

  std::string Text(const std::string& control) const override;
  void SetText(const std::string& control, const std::string& text) override;
  bool Checked(const std::string& control) const override;
  void SetItems(const std::string& control, const std::vector<app::ListItem>& items) override;
  void Apply(const form::FormState& state) override { form_.Apply(state); }
  void OnClick(const std::string& control, std::function<void()> handler) override;
  void OnChange(const std::string& control, std::function<void()> handler) override;
  void OnLeave(const std::string& control, std::function<void()> handler) override;
  void StartTimer(const std::string& name, int ms, std::function<void()> tick) override;
  void ShowModal() override;
  void Close() override { window_->close(); }
  void MoveTo(int x, int y) override { window_->move(x, y); }
  app::Size OuterSize() const override;
  app::Size ClientSize() const override { return {window_->width(), window_->height()}; }
  app::Size ControlSize(const std::string& control) const override;
  void Resize(const std::string& control, int width, int height) override;
  void SetImage(const std::string& control, int width, int height,
                const std::vector<std::uint8_t>& rgb) override;
  void Refresh(const std::string& control) override;
  void RepaintAll() override { window_->repaint(); }
  void Repaint(const std::string& control) override;
  void ServeEvents() override;

 private:
  QWidget* window_;
  BuiltForm& form_;
};

}  // namespace dt::ui
