#include "app/smart_window.h"

#include "base/text.h"

namespace dt::app {

SmartWindow::SmartWindow(View& view, SmartWindowHost& host) : view_(view), host_(host) {
  view_.OnClick("Button1", [this] { host_.CopyMemo(); });
  view_.OnClick("Button2", [this] { host_.Preview(Chosen()); });
  view_.OnClick("Button3", [this] { host_.Print(Chosen()); });
  view_.OnClick("Button4", [this] { host_.ChooseMemoFont(); });
  view_.OnClick("Button5", [this] { host_.PrinterSetup(Chosen()); });
}

void SmartWindow::AddLine(const std::string& line) {
  host_.AppendMemo(line);
  if (lines_) lines_->push_back(LeftChars(line, kSmartRecordChars));
}

void SmartWindow::ShowReport(int drive, const SmartOptions& options) {
  host_.ClearMemo();
  if (lines_) lines_->clear();
  // The drive is closed when the report is complete.
  const std::string title =
      BuildSmartReport(drive, options, [this](const std::string& line) { AddLine(line); });
  // The window opens at the top of the report.
  host_.MemoToTop();
  for (page::ReportLabel* label : titles_)
    if (label) label->Caption = title;
  PrintReserved = options.reserved;
  view_.ShowModal();
}

void SmartWindow::FormShow() {
  view_.MoveTo(smart_window::kShowLeft, smart_window::kShowTop);
}

void SmartWindow::FormResize() {
  const Size client = view_.ClientSize();
  const form::Rect r = smart_window::MemoRect(client.width, client.height);
  view_.Resize("SMARTinfoTEXT", r.width, r.height);
}

}  // namespace dt::app
