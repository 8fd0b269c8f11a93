// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/application.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/base/messages.h"
#include "platform/base/platform_options.h"
#include "platform/base/timebase.h"
#include "platform/mm/device_changes.h"
#include "platform/mm/wave_backend.h"
#include "platform/toolkit/form_window.h"

namespace platform {

TApplication* Application = nullptr;

namespace {
// Named in the window's title while the card's device is lost: a desktop
// launch has no terminal to read the card's messages in.
std::string LostDevicesNote() {
  const WaveBackend& card = ActiveWaveBackend();
  const bool in = card.Lost(WaveDir::In), out = card.Lost(WaveDir::Out);
  if (in && out) return "[vstup a výstup nedostupné]";
  if (in) return "[vstup nedostupný]";
  if (out) return "[výstup nedostupný]";
  return {};
}
}  // namespace

TApplication::TApplication(const PlatformOptions& options)
    : TComponent(nullptr), options_(std::make_unique<PlatformOptions>(options)) {
  Application = this;
  // A device that changes on its own thread wakes the resting loop.
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(QThread::currentThread()))
    SetDeviceChangeWaker([d] { d->wakeUp(); });
}

TApplication::~TApplication() {
  SetDeviceChangeWaker({});
  DestroyComponents();
  if (Application == this) Application = nullptr;
}

bool TApplication::Headless() const { return options_->headless; }

void TApplication::ShowException(const std::string& message) {
  errors_.push_back(message);
  if (Headless()) {
    std::fprintf(stderr, "osciloskop: %s\n", message.c_str());
    return;
  }
  QMessageBox::critical(nullptr, QStringLiteral("osciloskop"), QString::fromStdString(message));
}

void TApplication::Guard(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    ShowException(e.what());
  }
}

void TApplication::InitForm(TForm* f, const FormDesc& desc) {
  f->Build(desc);
  if (!main_form_) main_form_ = f;
  if (f->OnCreate) Guard([&] { f->OnCreate(f); });
  f->Show();
}

void TApplication::WatchIdleMemory(const void* p, std::size_t n) { watched_.push_back({p, n}); }

Digest128 TApplication::IdleDigest() {
  digest_.Reset();
  for (const Region& r : watched_) digest_.AddBytes(r.p, r.n);
  if (main_form_) main_form_->AddToDigest(digest_);
  digest_.Add(DeviceChangeCount());
  return digest_.Value();
}

TApplication::Turn TApplication::Step() {
  DeviceScheduler().RunDue(DeviceClock().Now());
  Guard([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
  const Turn turn = IdleTurn();
  if (main_form_) {
    // What this turn's messages changed is what the next paint shows.
    main_form_->Window()->Client()->NoteArrival(TakeFirstDeliveryTime());
    main_form_->SetTitleNote(LostDevicesNote());
  }
  return turn;
}

TApplication::Turn TApplication::IdleTurn() {
  if (main_form_ && main_form_->Closed()) terminated_ = true;
  if (!OnIdle || terminated_) {
    if (main_form_) main_form_->UpdateView();
    return Turn::Done;
  }
  const bool calm = !options_->busy_idle;
  Digest128 before;
  if (calm) {
    before = IdleDigest();
    if (at_rest_ && before == rest_digest_) {
      // Nothing the step reads has changed since it last changed nothing.
      if (main_form_) main_form_->UpdateView();
      return Turn::AtRest;
    }
  }
  bool done = true;
  Guard([&] { OnIdle(this, done); });
  ++idle_steps_;
  if (main_form_) main_form_->UpdateView();
  at_rest_ = false;
  if (done) return Turn::Done;
  if (!calm) return Turn::Again;
  rest_digest_ = IdleDigest();
  at_rest_ = rest_digest_ == before;
  return at_rest_ ? Turn::AtRest : Turn::Again;
}

void TApplication::RunUntil(std::optional<Nanos> until) {
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  while (!terminated_) {
    const Turn turn = Step();
    const Nanos now = DeviceClock().Now();
    if (until && now >= *until) break;
    if (turn == Turn::Again || terminated_) continue;
    // Nothing to do until a message, an input, a device event or the end.
    std::optional<Nanos> next = DeviceScheduler().NextTime();
    if (until) next = next ? std::min(*next, *until) : *until;
    if (next) wake.start(static_cast<int>((std::max<Nanos>(0, *next - now) + 999'999) / 1'000'000));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

int TApplication::Run() {
  if (loop_) return loop_(*this);
  RunUntil(std::nullopt);
  return 0;
}

}  // namespace platform
