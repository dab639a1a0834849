#include "toolkit/Classes.h"

#include <algorithm>

#include "toolkit/Exception.h"
#include "toolkit/FormStream.h"

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
  if (owner_) owner_->components_.emplace_back(this);
}

TComponent::~TComponent() {
  while (!components_.empty()) {
    // Detach before destroying, so the child's own destructor does not look
    // back into this list.
    std::unique_ptr<TComponent> child = std::move(components_.back());
    components_.pop_back();
    child->owner_ = nullptr;
  }
  if (owner_) {
    auto& siblings = owner_->components_;
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [this](const std::unique_ptr<TComponent>& c) { return c.get() == this; });
    if (it != siblings.end()) {
      it->release();
      siblings.erase(it);
    }
  }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  for (const auto& c : components_)
    if (c->Name == name) return c.get();
  return nullptr;
}

void TComponent::ReadProperty(const formstream::Property& property, TReader&) {
  throw Exception("Error reading " + (Name.empty() ? std::string(ClassName()) : Name) + "." + property.name +
                  ": Property " + property.name + " does not exist");
}
