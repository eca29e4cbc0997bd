// The windows of a desktop program, created once at start in a fixed order
// and kept until it ends. Windows reach each other through this table, as the
// forms of a desktop program reach each other by name. Each toolkit declares
// its window classes with DT_DECLARE_FORMS and owns them with a FormsTable.
#pragma once

#include <memory>

#include "base/notify.h"
#include "base/worker.h"

namespace dt::app {

// The table of windows; `K` names the toolkit's window classes.
template <class K>
struct FormsOf {
  typename K::Form1* Form1 = nullptr;
  typename K::Form2* Form2 = nullptr;
  typename K::DataModule1* DataModule1 = nullptr;
  typename K::Form3* Form3 = nullptr;
  typename K::RangeForm* RangeForm = nullptr;
  typename K::Form4* Form4 = nullptr;
  typename K::SMARTinfo* SMARTinfo = nullptr;
  typename K::SmartRep* SmartRep = nullptr;
  typename K::SMARTrepLandscape* SMARTrepLandscape = nullptr;
  typename K::ErrListFrm* ErrListFrm = nullptr;
  typename K::SurfaceTest* SurfaceTest = nullptr;
};

// Owns the windows: the notifier is installed first, the windows are created
// in their order and the main window is connected to the others; at the end a
// run under way is finished before any window goes, and the notifier last.
template <class K>
class FormsTable {
 public:
  FormsTable(MainThread& mainThread, Notifier& notifier) {
    SetNotifier(&notifier);
    form1_ = std::make_unique<typename K::Form1>(mainThread);
    form2_ = std::make_unique<typename K::Form2>();
    dataModule1_ = std::make_unique<typename K::DataModule1>();
    form3_ = std::make_unique<typename K::Form3>();
    rangeForm_ = std::make_unique<typename K::RangeForm>();
    form4_ = std::make_unique<typename K::Form4>();
    smartInfo_ = std::make_unique<typename K::SMARTinfo>();
    smartRep_ = std::make_unique<typename K::SmartRep>(&dataModule1_->RxMemoryData2);
    smartRepLandscape_ =
        std::make_unique<typename K::SMARTrepLandscape>(&dataModule1_->RxMemoryData2);
    smartInfo_->SetReports(smartRep_.get(), smartRepLandscape_.get(), &dataModule1_->RxMemoryData2);
    errListFrm_ = std::make_unique<typename K::ErrListFrm>();
    surfaceTest_ =
        std::make_unique<typename K::SurfaceTest>(mainThread, errListFrm_.get(), form1_.get());
    forms_ = {form1_.get(),      form2_.get(),      dataModule1_.get(),
              form3_.get(),      rangeForm_.get(),  form4_.get(),
              smartInfo_.get(),  smartRep_.get(),   smartRepLandscape_.get(),
              errListFrm_.get(), surfaceTest_.get()};
    form1_->FormCreate(forms_);
  }

  ~FormsTable() {
    // The worker may still hand steps to the windows: end its run first.
    form1_->FinishRun();
    surfaceTest_.reset();
    form1_.reset();
    errListFrm_.reset();
    smartRepLandscape_.reset();
    smartRep_.reset();
    smartInfo_.reset();
    form4_.reset();
    rangeForm_.reset();
    form3_.reset();
    dataModule1_.reset();
    form2_.reset();
    SetNotifier(nullptr);
  }

  FormsTable(const FormsTable&) = delete;
  FormsTable& operator=(const FormsTable&) = delete;

  const FormsOf<K>& forms() const { return forms_; }

 private:
  std::unique_ptr<typename K::Form1> form1_;
  std::unique_ptr<typename K::Form2> form2_;
  std::unique_ptr<typename K::DataModule1> dataModule1_;
  std::unique_ptr<typename K::Form3> form3_;
  std::unique_ptr<typename K::RangeForm> rangeForm_;
  std::unique_ptr<typename K::Form4> form4_;
  std::unique_ptr<typename K::SMARTinfo> smartInfo_;
  std::unique_ptr<typename K::SmartRep> smartRep_;
  std::unique_ptr<typename K::SMARTrepLandscape> smartRepLandscape_;
  std::unique_ptr<typename K::ErrListFrm> errListFrm_;
  std::unique_ptr<typename K::SurfaceTest> surfaceTest_;
  FormsOf<K> forms_;
};

}  // namespace dt::app

// Declares a toolkit's window classes in the current namespace, their kinds
// for the table, and its `Forms`.
#define DT_DECLARE_FORMS                          \
  class TForm1;                                   \
  class TForm2;                                   \
  class TDataModule1;                             \
  class TForm3;                                   \
  class TRangeForm;                               \
  class TForm4;                                   \
  class TSMARTinfo;                               \
  class TSmartRep;                                \
  class TSMARTrepLandscape;                       \
  class TErrListFrm;                              \
  class TSurfaceTest;                             \
  struct FormKinds {                              \
    using Form1 = TForm1;                         \
    using Form2 = TForm2;                         \
    using DataModule1 = TDataModule1;             \
    using Form3 = TForm3;                         \
    using RangeForm = TRangeForm;                 \
    using Form4 = TForm4;                         \
    using SMARTinfo = TSMARTinfo;                 \
    using SmartRep = TSmartRep;                   \
    using SMARTrepLandscape = TSMARTrepLandscape; \
    using ErrListFrm = TErrListFrm;               \
    using SurfaceTest = TSurfaceTest;             \
  };                                              \
  using Forms = ::dt::app::FormsOf<FormKinds>
