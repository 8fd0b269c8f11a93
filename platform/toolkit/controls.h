// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The visible controls of the toolkit. Each wraps a widget; its properties
// live here (not in the widget), so that the firing rules are exactly ours:
// a slider notifies every actual change of its position, also one made by
// the program or by a new minimum or maximum; setting a list's selected item
// notifies nothing; a list's click and change events fire for a user's
// choice. The User* operations are what a user does, used by the widgets'
// own signals and by the headless script runner; they return an empty text
// or the reason the action is impossible. KeyDown is what the focused
// control does with a key (keyboard.cpp), whichever way the key came.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit/formdesc.h"
#include "platform/toolkit/keys.h"
#include "platform/toolkit/wincontrol.h"

class QWidget;
class QAction;

namespace platform {

class JsonWriter;
class StateDigest;
class TForm;

class TControl : public TWinControl {
 public:
  TControl(TComponent* AOwner, ControlClass cls);
  ~TControl() override;

  ControlClass Class() const { return class_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int l, int t, int w, int h);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }

  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);
  void SetVisible(bool v) override;
  // Visible and every parent visible: what a user can reach.
  bool Showing() const;
  void SetParent(TWinControl* p) override;

  TColor Color() const { return color_; }
  void SetColor(TColor c);
  TColor FontColor() const { return font_color_; }
  void SetFontColor(TColor c);
  void SetFontPixelSize(int px, bool bold);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string h);

  // Caption or text.
  const std::string& Text() const { return text_; }
  virtual void SetText(std::string t);

  QWidget* Widget() const { return widget_; }
  TForm* Form() const;

  // Where the control is drawn, in its parent's pixels: its bounds; a menu
  // item's place in the bar (or in its drop-down menu) as laid out.
  struct Place {
    int left, top, width, height;
  };
  virtual Place DrawnPlace() const { return {left_, top_, width_, height_}; }
  // Whether the control shows a caption or text at all.
  virtual bool ShowsText() const { return false; }
  // Whether the whole caption or text fits the room the control's style
  // gives it (its advance width in the control's font against the text
  // area's width): what a user sees whole. True for a control without text.
  virtual bool TextFits() const { return true; }

  // class, place, visible, enabled, text (and textFits where it shows text),
  // colours; subclasses add their own.
  virtual void DumpProperties(JsonWriter& w) const;
  // Every property, into the digest of what an idle step reads.
  virtual void AddToDigest(StateDigest& d) const;

  virtual std::string UserSelect(int index);
  virtual std::string UserPosition(int value);
  virtual std::string UserClick();
  // A key pressed while the control has the focus; `text` is the typed
  // character of Key::Character.
  virtual KeyUse KeyDown(Key key, std::string_view text = {});
  virtual bool CanFocus() const { return Showing() && enabled_; }
  // Whether Tab stops here (a control that can take the focus).
  virtual bool TabStop() const { return true; }
  // Whether the wheel steps it (as Up and Down do) while it has the focus.
  virtual bool TakesWheel() const { return false; }

  TNotifyEvent OnClick;

 protected:
  void AttachWidget(QWidget* w);
  virtual void ApplyPalette();
  std::string ReachableError() const;

  QWidget* widget_ = nullptr;
  std::string text_;

 private:
  ControlClass class_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool enabled_ = true;
  TColor color_ = clDefault;
  TColor font_color_ = clDefault;
  int font_px_ = 11;
  bool bold_ = true;
  std::string hint_;
};

class TComboBox final : public TControl {
 public:
  TComboBox(TComponent* AOwner, bool editable);
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return item_index_; }
  // Program selection: shows the item, notifies nothing.
  void SetItemIndex(int index);
  bool Editable() const { return editable_; }
  int DropDownCount = 8;
  TNotifyEvent OnChange;

  void DumpProperties(JsonWriter& w) const override;
  void AddToDigest(StateDigest& d) const override;
  std::string UserSelect(int index) override;
  KeyUse KeyDown(Key key, std::string_view text = {}) override;
  bool TakesWheel() const override { return true; }
  bool ShowsText() const override { return true; }
  bool TextFits() const override;

 private:
  void SyncWidget();
  // Selects the item `delta` rows away, within the list, as a user's choice.
  void StepBy(int delta);
  std::vector<std::string> items_;
  int item_index_ = -1;
  bool editable_;
};

// Position within [Min, Max]; Min/Max/Position setters keep it there and
// notify OnChange whenever it moves. A maximum below the minimum is refused.
class TSlider : public TControl {
 public:
  TSlider(TComponent* AOwner, ControlClass cls);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMin(int v) { SetParams(position_, v, max_); }
  void SetMax(int v) { SetParams(position_, min_, v); }
  void SetPosition(int v) { SetParams(v, min_, max_); }
  void SetParams(int position, int min, int max);
  int SmallChange = 1;
  int LargeChange = 1;
  TNotifyEvent OnChange;

  void DumpProperties(JsonWriter& w) const override;
  void AddToDigest(StateDigest& d) const override;
  std::string UserPosition(int value) override;
  KeyUse KeyDown(Key key, std::string_view text = {}) override;
  bool TakesWheel() const override { return true; }

 private:
  void SyncWidget();
  int min_ = 0, max_ = 100, position_ = 0;
};

class TScrollBar final : public TSlider {
 public:
  explicit TScrollBar(TComponent* AOwner) : TSlider(AOwner, ControlClass::ScrollBar) {}
};

class TTrackBar final : public TSlider {
 public:
  explicit TTrackBar(TComponent* AOwner) : TSlider(AOwner, ControlClass::TrackBar) {}
};

class TUpDown final : public TControl {
 public:
  explicit TUpDown(TComponent* AOwner);
  int Min = 0, Max = 100, Increment = 1;
  int Position() const { return position_; }
  void SetPosition(int v);
  // Asked before each user step; clearing AllowChange stops it.
  std::function<void(TObject* Sender, bool& AllowChange)> OnChanging;
  void DumpProperties(JsonWriter& w) const override;
  void AddToDigest(StateDigest& d) const override;
  KeyUse KeyDown(Key key, std::string_view text = {}) override;
  bool TakesWheel() const override { return true; }
  // A step up or down, asked of OnChanging first.
  void Step(int direction);

 private:
  int position_ = 0;
};

class TEdit final : public TControl {
 public:
  explicit TEdit(TComponent* AOwner);
  void SetText(std::string t) override;
  bool ReadOnly = false;
  void AddToDigest(StateDigest& d) const override;
  KeyUse KeyDown(Key key, std::string_view text = {}) override;
  bool ShowsText() const override { return true; }
  bool TextFits() const override;
};

class TRadioButton final : public TControl {
 public:
  explicit TRadioButton(TComponent* AOwner);
  bool Checked() const { return checked_; }
  // Marking an unmarked button clears its siblings and fires OnClick;
  // clearing fires nothing.
  void SetChecked(bool v);
  void SetText(std::string t) override;
  void DumpProperties(JsonWriter& w) const override;
  void AddToDigest(StateDigest& d) const override;
  std::string UserClick() override;
  KeyUse KeyDown(Key key, std::string_view text = {}) override;
  // Only the marked button of a group is a tab stop.
  bool TabStop() const override { return checked_; }
  bool ShowsText() const override { return true; }
  bool TextFits() const override;

 private:
  void SyncWidget();
  bool checked_ = false;
};

class TButton final : public TControl {
 public:
  explicit TButton(TComponent* AOwner);
  void SetText(std::string t) override;
  bool Default = false;
  void AddToDigest(StateDigest& d) const override;
  std::string UserClick() override;
  KeyUse KeyDown(Key key, std::string_view text = {}) override;
  bool ShowsText() const override { return true; }
  bool TextFits() const override;
};

class TPanel final : public TControl {
 public:
  explicit TPanel(TComponent* AOwner);
  void SetText(std::string t) override;
  void SetBevel(bool bevel);
  std::string UserClick() override;
  bool CanFocus() const override { return false; }
  bool ShowsText() const override { return true; }
  bool TextFits() const override;
};

class TMenuItem final : public TControl {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  void SetText(std::string t) override;
  void SetEnabled(bool v) override;
  std::string UserClick() override;
  bool CanFocus() const override { return false; }
  QAction* Action() const { return action_; }
  std::vector<TMenuItem*> Items;
  // An item of the bar: its place in the bar, as laid out; an item of a
  // drop-down menu: its place in that menu. Its caption fits when the item
  // is shown whole, not pushed behind the bar's overflow arrow.
  Place DrawnPlace() const override;
  bool ShowsText() const override { return true; }
  bool TextFits() const override;

 private:
  QAction* action_;
};

class TMainMenu final : public TControl {
 public:
  explicit TMainMenu(TComponent* AOwner);
  bool CanFocus() const override { return false; }
  // The bar itself, above the client area.
  Place DrawnPlace() const override;
  std::vector<TMenuItem*> Items;
};

}  // namespace platform
