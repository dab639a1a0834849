// The base classes of the toolkit: objects, components that own components,
// event types, and a property that reports its changes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "toolkit/Types.h"

namespace formstream {
struct Property;
}
class TReader;

class TObject {
 public:
  virtual ~TObject() = default;
  virtual std::string_view ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// A handler found by name in a form's table of published methods.
using TMethod = std::variant<std::monostate, TNotifyEvent, TMouseEvent, TMouseMoveEvent>;

// A component owns the components created with it as their owner and
// destroys them, last created first, when it is destroyed.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string_view ClassName() const override { return "TComponent"; }

  std::string Name;
  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index).get(); }
  TComponent* FindComponent(std::string_view name) const;

  // Sets one property read from a window definition. Throws Exception for a
  // property this class does not have or a value of the wrong kind.
  virtual void ReadProperty(const formstream::Property& property, TReader& reader);

 private:
  TComponent* owner_;
  std::vector<std::unique_ptr<TComponent>> components_;
};

// A value that tells its owner before and after it changes, so that setting
// it reads like a plain assignment (Image->Left = 358).
template <class T>
class TProperty {
 public:
  TProperty(T initial, std::function<void()> changing, std::function<void()> changed)
      : value_(std::move(initial)), changing_(std::move(changing)), changed_(std::move(changed)) {}
  TProperty(const TProperty&) = delete;
  TProperty& operator=(const TProperty& other) { return *this = other.value_; }
  TProperty& operator=(T value) {
    if (value == value_) return *this;
    if (changing_) changing_();
    value_ = std::move(value);
    if (changed_) changed_();
    return *this;
  }
  operator T() const { return value_; }
  const T& get() const { return value_; }

 private:
  T value_;
  std::function<void()> changing_;
  std::function<void()> changed_;
};
