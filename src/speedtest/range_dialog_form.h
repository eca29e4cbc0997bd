// The range dialog TRangeForm as data: its form record, its controls in the
// order the dialog lists them, and what it shows of its RangeModel when it
// opens and when a field is left. Every front end builds the dialog from
// this description.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "forms/form.h"
#include "speedtest/range_model.h"

namespace dt {

// TRangeForm: "Range Select", 488 x 163, a fixed dialog frame.
const form::FormSpec& RangeDialogForm();

namespace range_dialog {

// Control texts by control name.
using Texts = std::vector<std::pair<std::string, std::string>>;

// The model's texts: the total (Label4) always, the first byte (Edit1 in
// bytes, Edit2 in per cent) with `from`, the last byte (Edit3, Edit4) with
// `to`. FormShow shows them all.
Texts ModelTexts(const RangeModel& model, bool from, bool to);

// Leaving the field `name` with `text` in it: the model takes the text (a
// text that is no number shows the conversion error), and the texts to show
// again are the total and the pair of the field left; a field of the other
// pair keeps whatever was typed into it.
Texts FieldLeft(RangeModel& model, const std::string& name, const std::string& text);

}  // namespace range_dialog
}  // namespace dt
