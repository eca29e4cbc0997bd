// The logic of the range dialog (TRangeForm) without a toolkit: the first
// and the last byte of the range to test, each in bytes and in per cent of
// the disk. Byte values are aligned to 512-byte sectors when a field is
// left. The Qt dialog keeps its edit texts in the Edit fields below, calls
// the Exit handler of a field when it is left and shows the texts again;
// a front end without a dialog (the CLI) fills the fields and calls the same
// handlers.
#pragma once

#include <cstdint>
#include <string>

namespace dt {

// Text-to-number conversions with the standard error texts of the program
// ("'x' is not a valid integer value"). Leading and trailing blanks are
// allowed; an integer is decimal with an optional sign.
bool TextToInt64(const std::string& text, std::int64_t* value);
bool TextToInt32(const std::string& text, std::int32_t* value);
// A floating-point number with the locale's decimal separator (a point is
// taken as well when the locale does not group with it).
bool TextToFloat(const std::string& text, double* value);
std::string InvalidIntegerText(const std::string& text);
std::string InvalidFloatText(const std::string& text);
// Shows the conversion error box.
void ShowConversionError(const std::string& message);

// Aligns down to a multiple of 512 (toward minus infinity).
std::int64_t AlignDown(std::int64_t v);
// The last byte of the sector before the one that holds v + 1.
std::int64_t AlignToSectorEnd(std::int64_t v);

class RangeModel {
 public:
  bool RangeAccepted = false;
  std::int64_t RangeStart = 0;
  std::int64_t RangeEnd = 0;
  std::int64_t RangeMax = 0;  // the largest byte offset and the base of the per cent values

  // Texts of the controls: Label4 is the total, Edit1/Edit2 the first byte
  // (bytes, per cent), Edit3/Edit4 the last byte (bytes, per cent).
  std::string Label4 = "0";
  std::string Edit1 = "0";
  std::string Edit2 = "0";
  std::string Edit3 = "1";
  std::string Edit4 = "1";

  // What the read-speed start sets before it shows the dialog: the whole
  // disk as the range, nothing accepted yet.
  void Prepare(std::int64_t diskSize);

  void FormShow();
  // Leaving a field: takes the field's text. False when the text is not a
  // number; the conversion error has then been shown and the stored value
  // and the other field of the pair are unchanged.
  bool Edit1Exit();
  bool Edit2Exit();
  bool Edit3Exit();
  bool Edit4Exit();
  // "Ok": true when the range is valid and accepted (the dialog closes);
  // otherwise the "Invalid range" box has been shown and the dialog stays.
  bool Button1Click();
  // "Cancel".
  void Button2Click();

  // The per cent text of a byte value: 7 decimals of RangeMax.
  std::string PercentText(std::int64_t v) const;

  // Whether the range as it stands would be accepted by "Ok".
  bool RangeValid() const;

 private:
  bool fromGuard_ = false;
  bool toGuard_ = false;
};

}  // namespace dt
