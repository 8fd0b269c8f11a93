// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The component model the instrument is written against: objects with a
// sender identity, components with an owner and a name that own their
// children, and the event types the handlers use.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A component owns the components created with it as owner and destroys
// them, newest first, when it is destroyed.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  TComponent* FindComponent(const std::string& name) const;
  const std::vector<TComponent*>& Components() const { return owned_; }

 protected:
  // Destroys the owned components now, newest first.
  void DestroyComponents();

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<TComponent*> owned_;
};

}  // namespace platform
