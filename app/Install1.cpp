#include "app/Install1.h"

#include "device/StackVersion.h"
#include "rapi/Rapi.h"
#include "winapi/winapi.h"

TForm1* Form1 = nullptr;
unsigned char HighlightFlags[5] = {0, 0, 0, 0, 0};

namespace {

// Each menu item with the holders of its normal and its highlighted picture,
// in the order of HighlightFlags.
struct MenuItem {
  TImage* TForm1::*item;
  TImage* TForm1::*normal;
  TImage* TForm1::*lit;
};
constexpr MenuItem kMenuItems[5] = {
    {&TForm1::MANUAL, &TForm1::Pre_MANUAL, &TForm1::MANUAL_C},
    {&TForm1::INSTALL, &TForm1::Pre_INSTALL, &TForm1::INSTALL_C},
    {&TForm1::SAFETY, &TForm1::Pre_SAFETY, &TForm1::SAFETY_C},
    {&TForm1::ACROBAT, &TForm1::Pre_ACROBAT, &TForm1::ACROBAT_C},
    {&TForm1::EXIT, &TForm1::Pre_EXIT, &TForm1::EXIT_C},
};

constexpr TPublishedField<TForm1, TImage> kFields[] = {
    {"UI_BackGround", &TForm1::UI_BackGround}, {"MANUAL", &TForm1::MANUAL},
    {"INSTALL", &TForm1::INSTALL},             {"ACROBAT", &TForm1::ACROBAT},
    {"EXIT", &TForm1::EXIT},                   {"Pre_EXIT", &TForm1::Pre_EXIT},
    {"EXIT_C", &TForm1::EXIT_C},               {"Pre_MANUAL", &TForm1::Pre_MANUAL},
    {"MANUAL_C", &TForm1::MANUAL_C},           {"Pre_INSTALL", &TForm1::Pre_INSTALL},
    {"INSTALL_C", &TForm1::INSTALL_C},         {"Pre_ACROBAT", &TForm1::Pre_ACROBAT},
    {"ACROBAT_C", &TForm1::ACROBAT_C},         {"SAFETY", &TForm1::SAFETY},
    {"Pre_SAFETY", &TForm1::Pre_SAFETY},       {"SAFETY_C", &TForm1::SAFETY_C},
};

const TPublishedMethod<TForm1> kMethods[] = {
    {"FormCreate", &TForm1::FormCreate},
    {"UI_BackGroundMouseDown", &TForm1::UI_BackGroundMouseDown},
    {"UI_BackGroundMouseMove", &TForm1::UI_BackGroundMouseMove},
    {"MANUALMouseMove", &TForm1::MANUALMouseMove},
    {"INSTALLMouseMove", &TForm1::INSTALLMouseMove},
    {"ACROBATMouseMove", &TForm1::ACROBATMouseMove},
    {"EXITMouseMove", &TForm1::EXITMouseMove},
    {"EXITMouseUp", &TForm1::EXITMouseUp},
    {"MANUALMouseUp", &TForm1::MANUALMouseUp},
    {"INSTALLMouseUp", &TForm1::INSTALLMouseUp},
    {"ACROBATMouseUp", &TForm1::ACROBATMouseUp},
    {"SAFETYMouseUp", &TForm1::SAFETYMouseUp},
    {"SAFETYMouseMove", &TForm1::SAFETYMouseMove},
};

// Puts every lit item but `except` back to its normal picture.
void RestoreItems(TForm1* form, int except) {
  for (int i = 0; i < 5; ++i) {
    if (i == except || !HighlightFlags[i]) continue;
    HighlightFlags[i] = 0;
    (form->*kMenuItems[i].item)->Picture->Assign((form->*kMenuItems[i].normal)->Picture);
  }
}

void HighlightItem(TForm1* form, int index) {
  if (HighlightFlags[index]) return;
  (form->*kMenuItems[index].item)->Picture->Assign((form->*kMenuItems[index].lit)->Picture);
  HighlightFlags[index] = 1;
  RestoreItems(form, index);
}

void Launch(LPCSTR path) { ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW); }

void ShowError(LPCSTR text) { MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR); }

}  // namespace

TForm1::TForm1(TComponent* Owner) : TForm(Owner) {}

std::span<const TPublishedField<TForm1, TImage>> TForm1::PublishedFields() { return kFields; }
std::span<const TPublishedMethod<TForm1>> TForm1::PublishedMethods() { return kMethods; }

TMethod TForm1::FindMethod(std::string_view name) { return FindPublishedMethod<TForm1>(this, kMethods, name); }
bool TForm1::BindField(std::string_view name, TComponent* component) {
  return BindPublishedField<TForm1, TImage>(this, kFields, name, component);
}
void TForm1::CheckFieldsBound() { CheckPublishedFields<TForm1, TImage>(this, kFields); }
void TForm1::ClearFields() { ClearPublishedFields<TForm1, TImage>(this, kFields); }

void TForm1::FormCreate(TObject*) {
  Form1->ClientWidth = 640;
  Form1->ClientHeight = 480;
  UI_BackGround->Width = 640;
  UI_BackGround->Height = 480;
  MANUAL->Left = 358;
  MANUAL->Top = 110;
  INSTALL->Left = 358;
  INSTALL->Top = 140;
  SAFETY->Left = 358;
  SAFETY->Top = 170;
  ACROBAT->Left = 358;
  ACROBAT->Top = 200;
  EXIT->Left = 543;
  EXIT->Top = 425;
}

void TForm1::UI_BackGroundMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  ReleaseCapture();
  SendMessageA(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void TForm1::UI_BackGroundMouseMove(TObject*, TShiftState, int, int) { RestoreItems(this, -1); }
void TForm1::MANUALMouseMove(TObject*, TShiftState, int, int) { HighlightItem(this, hiMANUAL); }
void TForm1::INSTALLMouseMove(TObject*, TShiftState, int, int) { HighlightItem(this, hiINSTALL); }
void TForm1::SAFETYMouseMove(TObject*, TShiftState, int, int) { HighlightItem(this, hiSAFETY); }
void TForm1::ACROBATMouseMove(TObject*, TShiftState, int, int) { HighlightItem(this, hiACROBAT); }
void TForm1::EXITMouseMove(TObject*, TShiftState, int, int) { HighlightItem(this, hiEXIT); }

void TForm1::EXITMouseUp(TObject*, TMouseButton, TShiftState, int, int) { Form1->Close(); }
void TForm1::MANUALMouseUp(TObject*, TMouseButton, TShiftState, int, int) { Launch("DriverKit\\UserGuide.pdf"); }
void TForm1::ACROBATMouseUp(TObject*, TMouseButton, TShiftState, int, int) { Launch("DriverKit\\ar500enu.exe"); }
void TForm1::SAFETYMouseUp(TObject*, TMouseButton, TShiftState, int, int) { Launch("DriverKit\\SafetyGuide.pdf"); }

void TForm1::INSTALLMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  RAPIINIT init{};
  init.cbSize = sizeof(init);
  if (CeRapiInitEx(&init) != 0) {
    ShowError("Rapi Initialization failed.");
    return;
  }
  switch (WaitForSingleObject(init.heRapiInit, 2000)) {
    case WAIT_OBJECT_0:
      if (init.hrRapiInit != 0) {
        CeRapiUninit();  // ends the failed attempt, so nothing is left behind
        ShowError("Rapi Initialization failed.");
        return;
      }
      break;
    case WAIT_TIMEOUT:
      CeRapiUninit();  // cancels the attempt still pending
      ShowError("Can not connect PDA.");
      return;
    default:
      break;  // the wait itself failed: go on as when connected
  }
  StackVersion version;
  ReadStackVersion(version);
  CeRapiUninit();
  if (version == StackVersion{1, 4, 1, 75})
    Launch("DriverKit\\Tessera_W.exe");
  else
    Launch("DriverKit\\Tessera.exe");
}
