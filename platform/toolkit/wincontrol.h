// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A control with a window handle of its own. Without a widget it is a hidden
// child window that only receives messages (the streams' callback windows);
// the visible controls of the toolkit derive from it and add a widget.
#include "platform/base/messages.h"
#include "platform/toolkit/classes.h"

namespace platform {

class TWinControl : public TComponent, public MessageTarget {
 public:
  explicit TWinControl(TComponent* AOwner) : TComponent(AOwner) {}

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* p) { parent_ = p; }
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v) { visible_ = v; }

  // Messages a subclass does not handle are ignored.
  void WndProc(TMessage& Message) override { (void)Message; }

 private:
  TWinControl* parent_ = nullptr;
  bool visible_ = true;
};

}  // namespace platform
