// The launcher's window: the product picture with its menu items.
#pragma once

#include <span>

#include "toolkit/Form.h"
#include "toolkit/Image.h"
#include "toolkit/Published.h"

class TForm1 : public TForm {
 public:  // published: bound by name from the window definition
  TImage* UI_BackGround = nullptr;
  TImage* MANUAL = nullptr;
  TImage* INSTALL = nullptr;
  TImage* ACROBAT = nullptr;
  TImage* EXIT = nullptr;
  TImage* Pre_EXIT = nullptr;
  TImage* EXIT_C = nullptr;
  TImage* Pre_MANUAL = nullptr;
  TImage* MANUAL_C = nullptr;
  TImage* Pre_INSTALL = nullptr;
  TImage* INSTALL_C = nullptr;
  TImage* Pre_ACROBAT = nullptr;
  TImage* ACROBAT_C = nullptr;
  TImage* SAFETY = nullptr;
  TImage* Pre_SAFETY = nullptr;
  TImage* SAFETY_C = nullptr;
  void FormCreate(TObject* Sender);
  void UI_BackGroundMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void UI_BackGroundMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void MANUALMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void INSTALLMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ACROBATMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void EXITMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void EXITMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void MANUALMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void INSTALLMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ACROBATMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void SAFETYMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void SAFETYMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);

 public:
  explicit TForm1(TComponent* Owner);
  std::string_view ClassName() const override { return "TForm1"; }

  static std::span<const TPublishedField<TForm1, TImage>> PublishedFields();
  static std::span<const TPublishedMethod<TForm1>> PublishedMethods();

 protected:
  TMethod FindMethod(std::string_view name) override;
  bool BindField(std::string_view name, TComponent* component) override;
  void CheckFieldsBound() override;
  void ClearFields() override;
};

extern TForm1* Form1;

// The highlight flags, one byte per menu item (0 normal, 1 highlighted), in
// this order, which is also the order in which lit items are restored.
enum THighlightItem { hiMANUAL, hiINSTALL, hiSAFETY, hiACROBAT, hiEXIT };
extern unsigned char HighlightFlags[5];
