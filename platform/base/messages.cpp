// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/base/messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <unordered_map>

#include "platform/base/timebase.h"

namespace platform {

namespace {

const QEvent::Type kWindowMessage = static_cast<QEvent::Type>(QEvent::User + 17);

std::atomic<int> pending{0};

// Pending from its posting until Qt deletes it, delivered or not.
class MessageEvent final : public QEvent {
 public:
  MessageEvent(HWND h, UINT m, WPARAM w, LPARAM l)
      : QEvent(kWindowMessage), hwnd(h), msg{m, w, l, 0} {
    pending.fetch_add(1);
  }
  ~MessageEvent() override { pending.fetch_sub(1); }
  HWND hwnd;
  TMessage msg;
};

std::unordered_map<HWND, MessageTarget*>& Registry() {
  static std::unordered_map<HWND, MessageTarget*> registry;
  return registry;
}

std::atomic<HWND> next_handle{1};

class Dispatcher final : public QObject {
 public:
  std::uint64_t delivered = 0;
  std::int64_t first_delivery = -1;

 protected:
  void customEvent(QEvent* e) override {
    if (e->type() != kWindowMessage) return;
    auto* me = static_cast<MessageEvent*>(e);
    auto it = Registry().find(me->hwnd);
    if (it == Registry().end()) return;  // window destroyed: drop
    if (first_delivery < 0) first_delivery = SteadyNanos();
    it->second->WndProc(me->msg);
    // Counted once handled: what the handler changed is then in place.
    ++delivered;
  }
};

// Created on first use from the GUI thread (a target's constructor), so it
// lives in that thread and its events are handled there.
Dispatcher& TheDispatcher() {
  static Dispatcher* d = new Dispatcher;
  return *d;
}

}  // namespace

MessageTarget::MessageTarget() : handle_(next_handle.fetch_add(1)) {
  TheDispatcher();
  Registry().emplace(handle_, this);
}

MessageTarget::~MessageTarget() { Registry().erase(handle_); }

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd == NullWindow) return false;
  QCoreApplication::postEvent(&TheDispatcher(), new MessageEvent(hwnd, msg, wParam, lParam));
  return true;
}

int DispatchPostedMessages() {
  Dispatcher& d = TheDispatcher();
  const std::uint64_t before = d.delivered;
  QCoreApplication::sendPostedEvents(&d, kWindowMessage);
  return static_cast<int>(d.delivered - before);
}

std::uint64_t DeliveredMessageCount() { return TheDispatcher().delivered; }

int PendingMessageCount() { return pending.load(); }

std::int64_t TakeFirstDeliveryTime() {
  Dispatcher& d = TheDispatcher();
  const std::int64_t t = d.first_delivery;
  d.first_delivery = -1;
  return t;
}

int LiveWindowCount() { return static_cast<int>(Registry().size()); }

}  // namespace platform
