#include "ui/qt/get_smart.h"

#include "base/text.h"
#include "device/device.h"
#include "health/smart_flow.h"
#include "ui/qt/data_module.h"
#include "ui/qt/smart_report_pages.h"
#include "ui/qt/smart_window.h"
#include "ui/qt/widgets.h"

namespace dt::ui {

void AddSmartLine(const Forms& forms, const std::string& line) {
  forms.SMARTinfo->SMARTinfoTEXT->appendPlainText(QString::fromStdString(line));
  forms.DataModule1->RxMemoryData2.push_back(LeftChars(line, kSmartRecordChars));
}

void ShowSmartReport(const Forms& forms, int drive, const SmartOptions& options) {
  forms.SMARTinfo->SMARTinfoTEXT->clear();
  forms.DataModule1->RxMemoryData2.clear();
  // The drive is closed when the report is complete.
  const std::string title = BuildSmartReport(
      drive, options, [&forms](const std::string& line) { AddSmartLine(forms, line); });
  // The window opens at the top of the report.
  forms.SMARTinfo->SMARTinfoTEXT->moveCursor(QTextCursor::Start);
  forms.SmartRep->QRLabel1.Caption = QString::fromStdString(title);
  forms.SMARTrepLandscape->QRLabel1.Caption = forms.SmartRep->QRLabel1.Caption;

  forms.SMARTinfo->PrintReserved = options.reserved;
  forms.SMARTinfo->ShowModal();
}

}  // namespace dt::ui
