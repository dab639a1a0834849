// Tables of a form class's published fields and methods, by name, through
// which a window definition binds its components and wires its events.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "toolkit/Classes.h"
#include "toolkit/Exception.h"

template <class Form>
struct TPublishedMethod {
  using Notify = void (Form::*)(TObject*);
  using Mouse = void (Form::*)(TObject*, TMouseButton, TShiftState, int, int);
  using MouseMove = void (Form::*)(TObject*, TShiftState, int, int);

  std::string_view name;
  std::variant<Notify, Mouse, MouseMove> method;
};

template <class Form, class Control>
struct TPublishedField {
  std::string_view name;
  Control* Form::*field;
};

// The handler of that name bound to the form, or an empty TMethod.
template <class Form>
TMethod FindPublishedMethod(Form* form, std::span<const TPublishedMethod<Form>> table, std::string_view name) {
  using Entry = TPublishedMethod<Form>;
  for (const Entry& e : table) {
    if (e.name != name) continue;
    if (auto* m = std::get_if<typename Entry::Notify>(&e.method))
      return TNotifyEvent([form, m = *m](TObject* s) { (form->*m)(s); });
    if (auto* m = std::get_if<typename Entry::Mouse>(&e.method))
      return TMouseEvent([form, m = *m](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        (form->*m)(s, b, sh, x, y);
      });
    if (auto* m = std::get_if<typename Entry::MouseMove>(&e.method))
      return TMouseMoveEvent([form, m = *m](TObject* s, TShiftState sh, int x, int y) { (form->*m)(s, sh, x, y); });
  }
  return {};
}

// Stores the component in the field of that name; false when there is none.
// Throws Exception when the component is not of the field's class.
template <class Form, class Control>
bool BindPublishedField(Form* form, std::span<const TPublishedField<Form, Control>> table, std::string_view name,
                        TComponent* component) {
  for (const auto& e : table) {
    if (e.name != name) continue;
    auto* control = dynamic_cast<Control*>(component);
    if (!control)
      throw Exception("Error reading " + std::string(name) + ": the field " + std::string(name) + " of " +
                      std::string(form->ClassName()) + " does not take a " + std::string(component->ClassName()));
    if (form->*e.field) throw Exception("Error reading " + std::string(name) + ": the field is bound twice");
    form->*e.field = control;
    return true;
  }
  return false;
}

template <class Form, class Control>
void CheckPublishedFields(const Form* form, std::span<const TPublishedField<Form, Control>> table) {
  for (const auto& e : table)
    if (!(form->*e.field))
      throw Exception("The window definition of " + std::string(form->ClassName()) + " has no component " +
                      std::string(e.name));
}

template <class Form, class Control>
void ClearPublishedFields(Form* form, std::span<const TPublishedField<Form, Control>> table) {
  for (const auto& e : table) form->*e.field = nullptr;
}
