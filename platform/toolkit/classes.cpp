// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/classes.h"

#include <algorithm>

namespace platform {

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
  if (owner_) owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (owner_) {
    auto& v = owner_->owned_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

void TComponent::DestroyComponents() {
  while (!owned_.empty()) {
    TComponent* child = owned_.back();
    owned_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : owned_)
    if (c->name_ == name) return c;
  return nullptr;
}

}  // namespace platform
