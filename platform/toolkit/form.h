// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window built from its stored description: a menu bar over a client
// area whose canvas image stays between paints and is shown under the
// controls. Outer sizes are those of a framed window (a 4-pixel border on
// each side, caption and menu bar on top), so a width of 800 gives a client
// width of 792; the client area itself is exact in pixels.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit/canvas.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/formdesc.h"
#include "platform/toolkit/keys.h"

namespace platform {

class FormWindow;
class JsonWriter;
class StateDigest;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// What a picture is drawn from: a capture buffer of interleaved frames (the
// card's left input, then its right) at `rate` frames per second.
struct CaptureView {
  const std::int32_t* samples = nullptr;
  std::int32_t count = 0;
  int rate = 0;
};

// A readout as the window shows it: its label and its text.
struct ShownReadout {
  std::string label, text;
};

inline constexpr int kFrameBorder = 4;
inline constexpr int kCaptionHeight = 19;
inline constexpr int kMenuHeight = 19;

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  // Builds the window and its controls from the description, binding the
  // events to the form's methods by name; then Loaded() runs.
  void Build(const FormDesc& desc);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string c);
  // A note of the platform's put before the caption in the window's title
  // (a lost sound device); the caption itself stays as it is.
  void SetTitleNote(std::string note);
  // What the window's title shows.
  std::string Title() const;
  TColor Color() const { return color_; }

  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }
  void SetClientWidth(int w) { SetClientSize(w, client_height_); }
  void SetClientHeight(int h) { SetClientSize(client_width_, h); }
  void SetClientSize(int w, int h);
  int Width() const { return client_width_ + 2 * kFrameBorder; }
  int Height() const { return client_height_ + NonClientHeight(); }
  void SetWidth(int w) { SetClientSize(w - 2 * kFrameBorder, client_height_); }
  void SetHeight(int h) { SetClientSize(client_width_, h - NonClientHeight()); }
  int Left() const { return left_; }
  int Top() const { return top_; }
  void SetLeft(int v);
  void SetTop(int v);

  TCanvas Canvas;
  // Fills the client area with the window colour and repaints at once.
  void Refresh();
  void Show();
  // Asks OnClose; unless it answers caNone the window closes.
  void Close();
  bool Closed() const { return closed_; }

  TControl* Control(std::string_view name) const;
  template <class T>
  T* Find(std::string_view name) const {
    return dynamic_cast<T*>(Control(name));
  }
  const std::vector<TControl*>& Controls() const { return controls_; }

  // The control with the keyboard focus, as the window has it (none while
  // the menu bar has it).
  TControl* ActiveControl() const;
  std::string FocusControl(TControl* c);
  // A key pressed in the window (keyboard.cpp): the focused control's own
  // first; else the form's: Tab and Shift+Tab through the tab stops in the
  // stored order, Enter to the default button, an arrow to the previous or
  // next control of the same parent. True when the key is left to the
  // focused widget (a text field's caret and typing, a list opening).
  bool KeyDown(Key key, std::string_view text = {});
  // The wheel turned by `notches` (positive: towards the user) anywhere over
  // the window: it steps the focused list or slider, as Down and Up do.
  void WheelTurned(int notches);

  // Repaints the visible window if the canvas changed since the last paint.
  void UpdateView();
  FormWindow* Window() const { return window_.get(); }

  // The form's own part of a dump (instrument state, streams).
  virtual void DumpState(JsonWriter& w) const;
  // The window as an idle step reads it: caption, place, size, focus, the
  // canvas (but its pixels) and every control.
  void AddToDigest(StateDigest& d) const;

  // The form's capture buffer, and its readouts with their labels, for
  // saving what the screen shows as data; none by default.
  virtual CaptureView Capture() const { return {}; }
  virtual std::vector<ShownReadout> Readouts() const { return {}; }
  // The capture buffer as it was when the canvas was last drawn on, which
  // is what the screen shows (a single shot's picture stays while new
  // buffers come), and its rate.
  const std::vector<std::int32_t>& ShownSamples() const { return shown_samples_; }
  int ShownRate() const { return shown_rate_; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnResize;
  std::function<void(TObject* Sender, TCloseAction& Action)> OnClose;

 protected:
  // Event handlers by method name, as the description binds them.
  using NotifyTable = std::map<std::string_view, TNotifyEvent>;
  virtual TNotifyEvent FindNotify(std::string_view method);
  virtual std::function<void(TObject*, TCloseAction&)> FindCloseHandler(std::string_view method);
  virtual std::function<void(TObject*, bool&)> FindChangingHandler(std::string_view method);
  // After the controls exist: bind typed fields, create components.
  virtual void Loaded() {}

 private:
  int NonClientHeight() const;
  void KeepShownCapture();
  // The next control after `from` (from the start without one) in the
  // stored order, or the previous one, round and back to `from`: with
  // `tab_stops` the next tab stop; else the next control of from's parent
  // that can take the focus.
  TControl* NextControl(TControl* from, bool forward, bool tab_stops) const;
  // Gives `c` the focus from the keyboard: by Tab (forward or back) or an arrow.
  void FocusFromKeyboard(TControl* c, bool tab, bool forward);
  void BindEvent(TControl* c, const EventBinding& b);
  TControl* CreateControl(const ControlDesc& d);

  std::unique_ptr<FormWindow> window_;
  std::string caption_;
  std::string title_note_;
  TColor color_ = clBtnFace;
  int client_width_ = 0, client_height_ = 0;
  int left_ = 0, top_ = 0;
  bool has_menu_ = false;
  bool closed_ = false;
  std::uint64_t painted_generation_ = ~0ull;
  std::vector<TControl*> controls_;
  std::map<std::string, TControl*, std::less<>> by_name_;
  std::vector<std::int32_t> shown_samples_;
  int shown_rate_ = 0;
  std::uint64_t shown_at_message_ = ~0ull;
};

}  // namespace platform
