// The application object: creates the forms, runs the message loop of the
// main form and shows exceptions.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "toolkit/Backend.h"
#include "toolkit/Classes.h"
#include "toolkit/Exception.h"
#include "toolkit/Graphics.h"

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  std::string_view ClassName() const override { return "TApplication"; }

  // Prepares the toolkit: the program's title and icon, and on systems
  // without Win32 the stand-ins' routes to the windows.
  void Initialize();

  // Creates a form owned by the application, stores it in *reference before
  // its window definition is read, reads the definition and runs OnCreate.
  // The first form created becomes the main form. On a fault the form is
  // destroyed, *reference is reset to null, and the Exception propagates.
  template <class FormClass>
  void CreateForm(FormClass** reference) {
    auto* form = new FormClass(this);
    *reference = form;
    try {
      form->InitializeFromResource();
    } catch (...) {
      *reference = nullptr;
      delete form;
      throw;
    }
    if (!MainForm) MainForm = form;
  }

  // Shows the main form and handles its events until it closes. An
  // exception that escapes an event handler is shown, and the loop goes on.
  void Run();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  // The application's exception display: a message box with the message,
  // titled with the application's title; the message also goes to standard
  // error, so a machine without a display still says why.
  void ShowException(const Exception* e);

  TForm* MainForm = nullptr;
  std::string Title;
  const TBitmap* Icon() const { return icon_.Empty() ? nullptr : &icon_; }

  // The backend for a new window: the platform's, unless tests set another.
  std::unique_ptr<toolkit::Backend> NewBackend();
  using BackendFactory = std::function<std::unique_ptr<toolkit::Backend>()>;
  void SetBackendFactory(BackendFactory factory) { factory_ = std::move(factory); }

 private:
  BackendFactory factory_;
  TBitmap icon_;
  bool terminated_ = false;
};

extern TApplication* Application;
