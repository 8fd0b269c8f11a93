// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object: the idle callback with its Done flag, the message
// loop and the error display. In a GUI run the loop runs on real time; in a
// headless run the script runner drives the same steps on the virtual clock.
//
// An idle handler that leaves Done false runs again as soon as the queue is
// empty, back to back, until a step leaves everything the next step reads as
// it found it: the memory handed over with WatchIdleMemory, the window and
// its controls (form.h), the devices (mm/device_changes.h). The next step
// could only repeat that one, so the loop rests until a message, a device
// event, an input or a resize changes something. With --busy-idle it never
// rests.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/toolkit/classes.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/state_digest.h"

namespace platform {

struct PlatformOptions;
class ScriptRunner;

class TApplication final : public TComponent {
 public:
  using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;

  explicit TApplication(const PlatformOptions& options);
  ~TApplication() override;

  void Initialize() {}

  // Builds the form from its stored description, runs its creation handler
  // (an exception there is shown and the window is still created) and shows
  // it; the first form becomes the main form.
  template <class T>
  void CreateForm(T*& ref) {
    T* f = new T(this);
    ref = f;
    InitForm(f, f->StoredForm());
  }

  // The message loop, until the main form closes; or the loop the program
  // frame put in its place (the script runner). Returns the exit status.
  int Run();
  void SetLoop(std::function<int(TApplication&)> loop) { loop_ = std::move(loop); }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  // What one turn of the loop leaves to do.
  enum class Turn {
    Again,   // the idle step changed something: run it again at once
    AtRest,  // the last step changed nothing: wait until something else does
    Done,    // no idle handler, or it left Done true: wait for a message
  };
  // One turn without waiting: device events that are due, all posted
  // messages and window events, then the idle handler unless at rest.
  Turn Step();
  // The loop on the wall clock until the main form closes or the device
  // clock reaches `until`; it sleeps while there is nothing to do.
  void RunUntil(std::optional<std::int64_t> until_ns);

  // The memory the idle handler reads and writes, handed over once at start.
  void WatchIdleMemory(const void* p, std::size_t n);
  // Idle steps run so far (the steps the loop did not need are not counted).
  std::uint64_t IdleSteps() const { return idle_steps_; }

  // The toolkit's error display: a message box, or stderr in a headless run.
  void ShowException(const std::string& message);
  // Runs fn; an exception escaping it is shown, as for any event handler.
  void Guard(const std::function<void()>& fn);
  const std::vector<std::string>& Errors() const { return errors_; }

  TForm* MainForm() const { return main_form_; }
  bool Headless() const;
  const PlatformOptions& Options() const { return *options_; }

  TIdleEvent OnIdle;

 private:
  void InitForm(TForm* f, const FormDesc& desc);
  Turn IdleTurn();
  Digest128 IdleDigest();

  std::unique_ptr<PlatformOptions> options_;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  std::function<int(TApplication&)> loop_;
  std::vector<std::string> errors_;

  struct Region {
    const void* p;
    std::size_t n;
  };
  std::vector<Region> watched_;
  StateDigest digest_;
  // Set when the last step left the state as it found it, with that state.
  bool at_rest_ = false;
  Digest128 rest_digest_;
  std::uint64_t idle_steps_ = 0;
};

// The application of this process.
extern TApplication* Application;

}  // namespace platform
