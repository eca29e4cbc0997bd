// The windows of the program and their table (app/forms_table.h).
#pragma once

#include "app/forms_table.h"

namespace dt::ui {

DT_DECLARE_FORMS;

}  // namespace dt::ui
