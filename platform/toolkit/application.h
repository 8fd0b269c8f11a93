#pragma once
// The application object: the idle callback with its Done flag, the message
// loop and the error display. In a GUI run the loop runs on real time; in a
// headless run the script runner drives the same steps on the virtual clock.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/toolkit/classes.h"
#include "platform/toolkit/form.h"

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

  // The message loop, until the main form closes. Returns the exit status.
  int Run();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  // One turn of the loop without waiting: device events that are due, all
  // posted messages and window events, then the idle handler. Returns the
  // handler's Done (true when no handler is installed).
  bool Step();
  // Waits at most `timeout` for a message or window event (real time only).
  void WaitForMessages(std::int64_t timeout_ns);

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
  std::unique_ptr<PlatformOptions> options_;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  std::vector<std::string> errors_;
};

// The application of this process.
extern TApplication* Application;

}  // namespace platform
