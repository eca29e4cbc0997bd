#include "ui/win32/form_view.h"

#include <algorithm>

#include "ui/win32/chart.h"

namespace dt::win {

std::string FormView::Text(const std::string& control) const {
  return form_.Get<Control>(control)->Text();
}

void FormView::SetText(const std::string& control, const std::string& text) {
  Control* c = form_.Get<Control>(control);
  if (dynamic_cast<Edit*>(c)) {
    const std::wstring old = Wide(c->Text());
    const std::wstring now = Wide(text);
    if (old == now) return;
    if (GetFocus() != c->hwnd()) return c->SetText(text);
    DWORD start = 0, end = 0;
    SendMessageW(c->hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    std::size_t caret = 0;
    for (std::size_t i = 0; i < end && i < old.size(); ++i)
      if (old[i] >= L'0' && old[i] <= L'9') ++caret;
    caret = std::min(caret, now.size());
    SetWindowTextW(c->hwnd(), now.c_str());
    SendMessageW(c->hwnd(), EM_SETSEL, caret, static_cast<LPARAM>(caret));
    return;
  }
  c->SetText(text);
  if (dynamic_cast<Label*>(c)) c->FitText();
}

bool FormView::Checked(const std::string& control) const {
  return form_.Get<Control>(control)->Checked();
}

void FormView::SetItems(const std::string& control, const std::vector<app::ListItem>& items) {
  auto* box = form_.Get<ComboBox>(control);
  box->Clear();
  for (const app::ListItem& item : items) box->Add(item.text, item.data);
  if (box->Count() > 0) box->SetCurrent(0);
}

void FormView::OnClick(const std::string& control, std::function<void()> handler) {
  form_.Get<Control>(control)->onClick = std::move(handler);
}

void FormView::OnChange(const std::string& control, std::function<void()> handler) {
  form_.Get<Control>(control)->onChange = std::move(handler);
}

void FormView::OnLeave(const std::string& control, std::function<void()> handler) {
  form_.Get<Control>(control)->onLeave = std::move(handler);
}

void FormView::StartTimer(const std::string& /*name*/, int ms, std::function<void()> tick) {
  form_.StartTimer(static_cast<unsigned>(ms), std::move(tick));
}

app::Size FormView::OuterSize() const {
  const SIZE s = form_.OuterSize();
  return {s.cx, s.cy};
}

app::Size FormView::ClientSize() const {
  const SIZE s = form_.ClientSize();
  return {s.cx, s.cy};
}

app::Size FormView::ControlSize(const std::string& control) const {
  RECT rc;
  GetClientRect(form_.Get<Control>(control)->hwnd(), &rc);
  return {rc.right, rc.bottom};
}

void FormView::Resize(const std::string& control, int width, int height) {
  SetWindowPos(form_.Get<Control>(control)->hwnd(), nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormView::SetImage(const std::string& control, int width, int height,
                        const std::vector<std::uint8_t>& rgb) {
  auto* chart = form_.Get<LineChart>(control);
  if (rgb.empty())
    chart->ClearImage();
  else
    chart->SetImage(width, height, rgb);
}

void FormView::Refresh(const std::string& control) {
  form_.Get<LineChart>(control)->Refresh();
}

void FormView::ServeEvents() {
  PumpMessages();
  // A worker's step arrives as a sent message, which ends the wait.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
}

void FormView::RepaintAll() {
  RedrawWindow(form_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FormView::Repaint(const std::string& control) {
  RedrawWindow(form_.Get<Control>(control)->hwnd(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_UPDATENOW);
}

}  // namespace dt::win
