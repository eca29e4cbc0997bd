// The windows of the Windows program, created once at start in this order
// and kept until it ends. Windows reach each other through this table, as
// the forms of a desktop program reach each other by name.
#pragma once

namespace dt::win {

class TForm1;
class TForm2;
class TDataModule1;
class TForm3;
class TRangeForm;
class TForm4;
class TSMARTinfo;
class TSmartRep;
class TSMARTrepLandscape;
class TErrListFrm;
class TSurfaceTest;

struct Forms {
  TForm1* Form1 = nullptr;
  TForm2* Form2 = nullptr;
  TDataModule1* DataModule1 = nullptr;
  TForm3* Form3 = nullptr;
  TRangeForm* RangeForm = nullptr;
  TForm4* Form4 = nullptr;
  TSMARTinfo* SMARTinfo = nullptr;
  TSmartRep* SmartRep = nullptr;
  TSMARTrepLandscape* SMARTrepLandscape = nullptr;
  TErrListFrm* ErrListFrm = nullptr;
  TSurfaceTest* SurfaceTest = nullptr;
};

}  // namespace dt::win
