#include "ui/win32/get_smart.h"

#include "base/text.h"
#include "device/device.h"
#include "ui/win32/data_module.h"
#include "ui/win32/smart_report_pages.h"
#include "ui/win32/smart_window.h"

namespace dt::win {

void AddSmartLine(const Forms& forms, const std::string& line) {
  forms.SMARTinfo->SMARTinfoTEXT->AppendLine(line);
  forms.DataModule1->RxMemoryData2.push_back(LeftChars(line, kSmartRecordChars));
}

void ShowSmartReport(const Forms& forms, int drive, const SmartOptions& options) {
  TSMARTinfo& window = *forms.SMARTinfo;
  window.SMARTinfoTEXT->Clear();
  forms.DataModule1->RxMemoryData2.clear();
  // The drive is closed when the report is complete.
  const std::string title = BuildSmartReport(
      drive, options, [&forms](const std::string& line) { AddSmartLine(forms, line); });
  // The window opens at the top of the report.
  window.ScrollToTop();
  forms.SmartRep->QRLabel1.Caption = title;
  forms.SMARTrepLandscape->QRLabel1.Caption = title;

  window.PrintReserved = options.reserved;
  window.ShowModal();
}

}  // namespace dt::win
