// The errors window: a memo of error lines shared by the read-speed test and
// the surface test, built from its description.
#pragma once

#include <string>
#include <vector>

#include "speedtest/errors_list.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TErrListFrm : public Form, public ErrorLines {
 public:
  TErrListFrm();

  Clock* RxClock1;
  Memo* Memo1;

  // The memo's lines; called on the GUI thread.
  void Clear() override;
  void AppendLine(const std::string& line) override;
  std::vector<std::string> Lines() const;
  // Shows the window without blocking (ShowModal() blocks).
  void ShowModeless();

 protected:
  void FormShow() override;
  void FormResize() override;
};

}  // namespace dt::win
