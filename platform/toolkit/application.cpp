#include "platform/toolkit/application.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "platform/headless/timebase.h"
#include "platform/options.h"
#include "platform/headless/headless.h"

namespace platform {

TApplication* Application = nullptr;

TApplication::TApplication(const PlatformOptions& options)
    : TComponent(nullptr), options_(std::make_unique<PlatformOptions>(options)) {
  Application = this;
}

TApplication::~TApplication() {
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

bool TApplication::Step() {
  DeviceScheduler().RunDue(DeviceClock().Now());
  Guard([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
  if (main_form_ && main_form_->Closed()) terminated_ = true;
  bool done = true;
  if (OnIdle && !terminated_) Guard([&] { OnIdle(this, done); });
  if (main_form_) main_form_->UpdateView();
  return done;
}

void TApplication::WaitForMessages(std::int64_t timeout_ns) {
  if (timeout_ns <= 0) return;
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(static_cast<int>(std::max<std::int64_t>(1, timeout_ns / 1'000'000)));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int TApplication::Run() {
  if (Headless()) return RunScript(*this, options_->script);
  QTimer wake;
  wake.setSingleShot(true);
  while (!terminated_) {
    if (!Step() && !terminated_) continue;
    // Nothing to do until a message or the next device event.
    if (auto next = DeviceScheduler().NextTime()) {
      Nanos wait = *next - DeviceClock().Now();
      wake.start(static_cast<int>(std::max<Nanos>(0, wait) / 1'000'000));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return 0;
}

}  // namespace platform
