// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/controls.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <stdexcept>

#include "platform/base/json.h"
#include "platform/toolkit/fonts.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/qt_bridge.h"
#include "platform/toolkit/state_digest.h"

namespace platform {

namespace {
// A line edit begins its text this far inside its frame (Qt's own
// constant, not a style metric); the text is clipped only at the frame.
constexpr int kLineEditMargin = 2;

// The advance width of a caption in a widget's font, in fractions of a
// pixel as the letters are laid out (text wider than its room by any
// fraction is clipped), up to its last letter: trailing blanks show
// nothing. With `mnemonic` an '&' marks the access key and takes no room
// ("&&" is one '&').
qreal TextAdvance(const QWidget* w, const std::string& text, bool mnemonic = false) {
  QString s = QString::fromStdString(text);
  while (!s.isEmpty() && s.back() == u' ') s.chop(1);
  if (mnemonic) {
    QString shown;
    for (qsizetype i = 0; i < s.size(); ++i) {
      if (s[i] == u'&' && i + 1 < s.size()) ++i;
      shown += s[i];
    }
    s = shown;
  }
  return QFontMetricsF(w->font()).horizontalAdvance(s);
}
}  // namespace

std::string_view ClassName(ControlClass c) {
  switch (c) {
    case ControlClass::ComboBox: return "TComboBox";
    case ControlClass::ScrollBar: return "TScrollBar";
    case ControlClass::TrackBar: return "TTrackBar";
    case ControlClass::UpDown: return "TUpDown";
    case ControlClass::Edit: return "TEdit";
    case ControlClass::RadioButton: return "TRadioButton";
    case ControlClass::Button: return "TButton";
    case ControlClass::Panel: return "TPanel";
    case ControlClass::MainMenu: return "TMainMenu";
    case ControlClass::MenuItem: return "TMenuItem";
  }
  return "TControl";
}

// ---- TControl --------------------------------------------------------------

TControl::TControl(TComponent* AOwner, ControlClass cls) : TWinControl(AOwner), class_(cls) {}

TControl::~TControl() {
  // The form destroys its controls (children first) before its window, so
  // the widget is still alive here and is ours to delete.
  if (widget_) {
    widget_->disconnect();
    delete widget_;
  }
}

void TControl::AttachWidget(QWidget* w) {
  widget_ = w;
  MarkControlWidget(widget_, this);
  widget_->setAutoFillBackground(true);
  SetFontPixelSize(font_px_, bold_);
}

TForm* TControl::Form() const {
  for (TComponent* o = Owner(); o; o = o->Owner())
    if (auto* f = dynamic_cast<TForm*>(o)) return f;
  return nullptr;
}

void TControl::SetBounds(int l, int t, int w, int h) {
  left_ = l;
  top_ = t;
  width_ = w;
  height_ = h;
  if (widget_) widget_->setGeometry(l, t, std::max(0, w), std::max(0, h));
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  if (widget_) widget_->setEnabled(v);
}

void TControl::SetVisible(bool v) {
  if (v == Visible()) return;
  TWinControl::SetVisible(v);
  if (widget_) widget_->setVisible(v);
}

bool TControl::Showing() const {
  if (!Visible()) return false;
  auto* p = dynamic_cast<TControl*>(Parent());
  return p ? p->Showing() : true;
}

void TControl::SetParent(TWinControl* p) {
  TWinControl::SetParent(p);
  if (!widget_) return;
  if (auto* pc = dynamic_cast<TControl*>(p); pc && pc->Widget()) {
    widget_->setParent(pc->Widget());
  } else if (auto* f = dynamic_cast<TForm*>(p)) {
    widget_->setParent(ClientWidgetOf(f));
  }
  widget_->setGeometry(left_, top_, std::max(0, width_), std::max(0, height_));
  widget_->setVisible(Visible());
}

void TControl::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  ApplyPalette();
}

void TControl::SetFontColor(TColor c) {
  if (c == font_color_) return;
  font_color_ = c;
  ApplyPalette();
}

void TControl::SetFontPixelSize(int px, bool bold) {
  font_px_ = px;
  bold_ = bold;
  if (widget_) widget_->setFont(UiFont(px, bold));
}

void TControl::ApplyPalette() {
  if (widget_) ApplyColors(widget_, color_, font_color_);
}

void TControl::SetHint(std::string h) {
  hint_ = std::move(h);
  if (widget_) widget_->setToolTip(QString::fromStdString(hint_));
}

void TControl::SetText(std::string t) { text_ = std::move(t); }

std::string TControl::ReachableError() const {
  if (!Showing()) return Name() + " is hidden";
  if (!enabled_) return Name() + " is disabled";
  return {};
}

std::string TControl::UserSelect(int) { return Name() + " is not a list"; }
std::string TControl::UserPosition(int) { return Name() + " is not a slider"; }
std::string TControl::UserClick() { return Name() + " cannot be clicked"; }

void TControl::DumpProperties(JsonWriter& w) const {
  w.Value("class", ClassName(class_));
  const Place p = DrawnPlace();
  w.Value("left", p.left).Value("top", p.top).Value("width", p.width).Value("height", p.height);
  w.Value("visible", Visible()).Value("enabled", enabled_);
  w.Value("text", text_);
  if (ShowsText()) w.Value("textFits", TextFits());
  if (color_ != clDefault) w.Value("colour", ColorName(color_));
  if (font_color_ != clDefault) w.Value("fontColour", ColorName(font_color_));
}

void TControl::AddToDigest(StateDigest& d) const {
  d.Add(left_), d.Add(top_), d.Add(width_), d.Add(height_);
  d.Add(Visible()), d.Add(enabled_), d.Add(color_), d.Add(font_color_), d.Add(font_px_),
      d.Add(bold_);
  d.Add(text_);
  d.Add(hint_);
}

// ---- TComboBox -------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner, bool editable)
    : TControl(AOwner, ControlClass::ComboBox), editable_(editable) {
  auto* cb = new QComboBox;
  cb->setEditable(editable);
  cb->setFocusPolicy(Qt::StrongFocus);
  // The list is the form's: typing changes the text, never the items.
  cb->setInsertPolicy(QComboBox::NoInsert);
  // A click outside the open list only closes it, on every platform.
  cb->view()->window()->setAttribute(Qt::WA_NoMouseReplay);
  AttachWidget(cb);
  QObject::connect(cb, QOverload<int>::of(&QComboBox::activated), cb, [this](int i) {
    UserSelect(i);
  });
  if (editable) {
    // Typed text is no longer an item of the list.
    QObject::connect(cb->lineEdit(), &QLineEdit::textEdited, cb, [this](const QString& t) {
      text_ = t.toStdString();
      item_index_ = -1;
    });
  }
}

void TComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  if (item_index_ >= static_cast<int>(items_.size())) item_index_ = -1;
  SyncWidget();
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size())) index = -1;
  if (index == item_index_ && (index < 0 || text_ == items_[index])) return;
  item_index_ = index;
  if (index >= 0) text_ = items_[index];
  SyncWidget();
}

void TComboBox::SyncWidget() {
  auto* cb = static_cast<QComboBox*>(widget_);
  QSignalBlocker block(cb);
  if (cb->count() != static_cast<int>(items_.size())) {
    cb->clear();
    for (const auto& s : items_) cb->addItem(QString::fromStdString(s));
  }
  cb->setCurrentIndex(item_index_);
  if (editable_ || item_index_ < 0) cb->setEditText(QString::fromStdString(text_));
  if (cb->lineEdit()) cb->lineEdit()->setCursorPosition(0);  // show the start of the text
}

std::string TComboBox::UserSelect(int index) {
  if (auto e = ReachableError(); !e.empty()) return e;
  if (index < 0 || index >= static_cast<int>(items_.size()))
    return Name() + " has no item " + std::to_string(index) + " (it has " +
           std::to_string(items_.size()) + ")";
  SetItemIndex(index);
  if (OnClick) OnClick(this);
  if (OnChange) OnChange(this);
  return {};
}

bool TComboBox::TextFits() const {
  auto* cb = static_cast<QComboBox*>(widget_);
  QStyleOptionComboBox opt;
  opt.initFrom(cb);
  opt.rect = QRect(0, 0, Width(), Height());
  opt.editable = editable_;
  opt.frame = cb->hasFrame();
  const QRect field =
      cb->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, cb);
  // An editable list shows its text in a frameless line edit on the field;
  // a selection-only list draws it one pixel inside the field.
  const int room = editable_ ? field.width() - kLineEditMargin : field.width() - 2;
  return TextAdvance(cb, text_) <= room;
}

void TComboBox::AddToDigest(StateDigest& d) const {
  TControl::AddToDigest(d);
  d.Add(items_), d.Add(item_index_), d.Add(editable_), d.Add(DropDownCount);
}

void TComboBox::DumpProperties(JsonWriter& w) const {
  TControl::DumpProperties(w);
  w.List("items", items_);
  w.Value("itemIndex", item_index_);
}

// ---- TSlider ---------------------------------------------------------------

TSlider::TSlider(TComponent* AOwner, ControlClass cls) : TControl(AOwner, cls) {
  QAbstractSlider* s;
  if (cls == ControlClass::TrackBar) {
    auto* tb = new QSlider(Qt::Vertical);
    tb->setTickPosition(QSlider::NoTicks);
    s = tb;
  } else {
    s = new QScrollBar(Qt::Horizontal);
  }
  s->setFocusPolicy(Qt::StrongFocus);
  AttachWidget(s);
  SyncWidget();
  QObject::connect(s, &QAbstractSlider::valueChanged, s, [this](int v) { UserPosition(v); });
}

void TSlider::SetParams(int position, int min, int max) {
  if (max < min)
    throw std::invalid_argument(Name() + ": maximum " + std::to_string(max) + " is below minimum " +
                                std::to_string(min));
  position = std::clamp(position, min, max);
  bool changed = position != position_;
  min_ = min;
  max_ = max;
  position_ = position;
  SyncWidget();
  if (changed && OnChange) OnChange(this);
}

void TSlider::SyncWidget() {
  auto* s = static_cast<QAbstractSlider*>(widget_);
  QSignalBlocker block(s);
  s->setRange(min_, max_);
  s->setValue(position_);
  s->setSingleStep(SmallChange);
  s->setPageStep(LargeChange);
}

std::string TSlider::UserPosition(int value) {
  if (auto e = ReachableError(); !e.empty()) return e;
  if (value < min_ || value > max_)
    return Name() + " position " + std::to_string(value) + " is outside " + std::to_string(min_) +
           ".." + std::to_string(max_);
  SetPosition(value);
  return {};
}

void TSlider::AddToDigest(StateDigest& d) const {
  TControl::AddToDigest(d);
  d.Add(min_), d.Add(max_), d.Add(position_), d.Add(SmallChange), d.Add(LargeChange);
}

void TSlider::DumpProperties(JsonWriter& w) const {
  TControl::DumpProperties(w);
  w.Value("min", min_).Value("max", max_).Value("position", position_);
  w.Value("smallChange", SmallChange).Value("largeChange", LargeChange);
}

// ---- TUpDown ---------------------------------------------------------------

TUpDown::TUpDown(TComponent* AOwner) : TControl(AOwner, ControlClass::UpDown) {
  auto* sb = new QSpinBox;
  sb->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  sb->setFocusPolicy(Qt::StrongFocus);
  AttachWidget(sb);
  // Its arrows step it as its keys do, so that OnChanging is asked first.
  InstallPressFilter(sb, [this, sb](QPoint at) { Step(at.y() < sb->height() / 2 ? 1 : -1); });
}

void TUpDown::SetPosition(int v) {
  position_ = std::clamp(v, Min, Max);
  auto* sb = static_cast<QSpinBox*>(widget_);
  QSignalBlocker block(sb);
  sb->setRange(Min, Max);
  sb->setValue(position_);
}

void TUpDown::Step(int direction) {
  const int p = std::clamp(position_ + direction * Increment, Min, Max);
  if (p == position_) return;
  bool allow = true;
  // The handler sees the position the control reports when the event arrives.
  if (OnChanging) OnChanging(this, allow);
  if (allow) SetPosition(p);
}

void TUpDown::AddToDigest(StateDigest& d) const {
  TControl::AddToDigest(d);
  d.Add(Min), d.Add(Max), d.Add(Increment), d.Add(position_);
}

void TUpDown::DumpProperties(JsonWriter& w) const {
  TControl::DumpProperties(w);
  w.Value("min", Min).Value("max", Max).Value("position", position_).Value("increment", Increment);
}

// ---- TEdit -----------------------------------------------------------------

TEdit::TEdit(TComponent* AOwner) : TControl(AOwner, ControlClass::Edit) {
  auto* e = new QLineEdit;
  e->setFrame(true);
  AttachWidget(e);
  QObject::connect(e, &QLineEdit::textEdited, e,
                   [this](const QString& t) { text_ = t.toStdString(); });
}

void TEdit::SetText(std::string t) {
  if (t == text_) return;
  text_ = std::move(t);
  auto* e = static_cast<QLineEdit*>(widget_);
  e->setReadOnly(ReadOnly);
  e->setText(QString::fromStdString(text_));
  e->setCursorPosition(0);
}

void TEdit::AddToDigest(StateDigest& d) const {
  TControl::AddToDigest(d);
  d.Add(ReadOnly);
}

bool TEdit::TextFits() const {
  auto* e = static_cast<QLineEdit*>(widget_);
  QStyleOptionFrame opt;
  opt.initFrom(e);
  opt.rect = QRect(0, 0, Width(), Height());
  opt.lineWidth =
      e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
  opt.midLineWidth = 0;
  opt.state |= QStyle::State_Sunken;
  const QRect inside = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
  const QMargins m = e->textMargins();
  const int room = inside.width() - m.left() - m.right() - kLineEditMargin;
  return TextAdvance(e, text_) <= room;
}

// ---- TRadioButton ----------------------------------------------------------

TRadioButton::TRadioButton(TComponent* AOwner) : TControl(AOwner, ControlClass::RadioButton) {
  auto* rb = new QRadioButton;
  rb->setAutoExclusive(false);
  AttachWidget(rb);
  QObject::connect(rb, &QRadioButton::clicked, rb, [this] {
    UserClick();
    SyncWidget();
  });
}

void TRadioButton::SetText(std::string t) {
  text_ = std::move(t);
  static_cast<QRadioButton*>(widget_)->setText(QString::fromStdString(text_));
}

void TRadioButton::SyncWidget() {
  auto* rb = static_cast<QRadioButton*>(widget_);
  QSignalBlocker block(rb);
  rb->setChecked(checked_);
}

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  SyncWidget();
  if (!v) return;
  // Radio buttons with the same parent form one group.
  if (TForm* f = Form()) {
    for (TControl* c : f->Controls()) {
      auto* rb = dynamic_cast<TRadioButton*>(c);
      if (rb && rb != this && rb->Parent() == Parent()) rb->SetChecked(false);
    }
  }
  if (OnClick) OnClick(this);
}

std::string TRadioButton::UserClick() {
  if (auto e = ReachableError(); !e.empty()) return e;
  SetChecked(true);
  return {};
}

bool TRadioButton::TextFits() const {
  auto* rb = static_cast<QRadioButton*>(widget_);
  QStyleOptionButton opt;
  opt.initFrom(rb);
  opt.rect = QRect(0, 0, Width(), Height());
  opt.text = rb->text();
  const QRect caption = rb->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, rb);
  return TextAdvance(rb, text_) <= caption.width();
}

void TRadioButton::AddToDigest(StateDigest& d) const {
  TControl::AddToDigest(d);
  d.Add(checked_);
}

void TRadioButton::DumpProperties(JsonWriter& w) const {
  TControl::DumpProperties(w);
  w.Value("checked", checked_);
}

// ---- TButton ---------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TControl(AOwner, ControlClass::Button) {
  auto* b = new QPushButton;
  AttachWidget(b);
  QObject::connect(b, &QPushButton::clicked, b, [this] { UserClick(); });
}

void TButton::SetText(std::string t) {
  text_ = std::move(t);
  static_cast<QPushButton*>(widget_)->setText(QString::fromStdString(text_));
}

void TButton::AddToDigest(StateDigest& d) const {
  TControl::AddToDigest(d);
  d.Add(Default);
}

bool TButton::TextFits() const {
  auto* b = static_cast<QPushButton*>(widget_);
  QStyleOptionButton opt;
  opt.initFrom(b);
  opt.rect = QRect(0, 0, Width(), Height());
  opt.text = b->text();
  const QRect caption = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
  return TextAdvance(b, text_, true) <= caption.width();
}

std::string TButton::UserClick() {
  if (auto e = ReachableError(); !e.empty()) return e;
  if (OnClick) OnClick(this);
  return {};
}

// ---- TPanel ----------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TControl(AOwner, ControlClass::Panel) {
  auto* l = new QLabel;
  l->setAlignment(Qt::AlignCenter);
  l->setFrameStyle(QFrame::Panel | QFrame::Raised);
  l->setLineWidth(1);
  AttachWidget(l);
  InstallClickFilter(l, [this] { UserClick(); });
}

void TPanel::SetText(std::string t) {
  text_ = std::move(t);
  static_cast<QLabel*>(widget_)->setText(QString::fromStdString(text_));
}

void TPanel::SetBevel(bool bevel) {
  static_cast<QLabel*>(widget_)->setFrameStyle(bevel ? (QFrame::Panel | QFrame::Raised)
                                                     : QFrame::NoFrame);
}

bool TPanel::TextFits() const {
  auto* l = static_cast<QLabel*>(widget_);
  return TextAdvance(l, text_) <= Width() - 2 * l->frameWidth();
}

std::string TPanel::UserClick() {
  if (auto e = ReachableError(); !e.empty()) return e;
  if (OnClick) OnClick(this);
  return {};
}

// ---- menus -----------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner)
    : TControl(AOwner, ControlClass::MenuItem), action_(new QAction) {
  QObject::connect(action_, &QAction::triggered, action_, [this] { UserClick(); });
}

void TMenuItem::SetText(std::string t) {
  text_ = std::move(t);
  action_->setText(QString::fromStdString(text_));
}

void TMenuItem::SetEnabled(bool v) {
  TControl::SetEnabled(v);
  action_->setEnabled(v);
}

std::string TMenuItem::UserClick() {
  if (auto e = ReachableError(); !e.empty()) return e;
  if (OnClick) OnClick(this);
  return {};
}

TMenuItem::~TMenuItem() { delete action_; }

namespace {
// The bar or the drop-down menu an action is shown in, and its place there.
QRect ActionPlace(QAction* action, QMenuBar** in_bar) {
  *in_bar = nullptr;
  for (QObject* o : action->associatedObjects()) {
    if (auto* bar = qobject_cast<QMenuBar*>(o)) {
      *in_bar = bar;
      return bar->actionGeometry(action);
    }
    if (auto* menu = qobject_cast<QMenu*>(o)) return menu->actionGeometry(action);
  }
  return {};
}
}  // namespace

TControl::Place TMenuItem::DrawnPlace() const {
  QMenuBar* bar = nullptr;
  const QRect r = ActionPlace(action_, &bar);
  return {r.x(), r.y(), r.width(), r.height()};
}

bool TMenuItem::TextFits() const {
  QMenuBar* bar = nullptr;
  const QRect r = ActionPlace(action_, &bar);
  if (!r.isValid()) return false;
  if (bar) {
    // Items that do not fit the bar are hidden behind its overflow arrow.
    int right = bar->width();
    auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
    if (more && more->isVisibleTo(bar)) right = more->x();
    if (r.left() < 0 || r.right() >= right) return false;
    return TextAdvance(bar, text_, true) <= r.width();
  }
  return true;
}

TMainMenu::TMainMenu(TComponent* AOwner) : TControl(AOwner, ControlClass::MainMenu) {}

TControl::Place TMainMenu::DrawnPlace() const {
  const TForm* f = Form();
  const QWidget* bar = f && f->Window() ? f->Window()->menuWidget() : nullptr;
  if (!bar) return TControl::DrawnPlace();
  return {bar->x(), bar->y(), bar->width(), bar->height()};
}

}  // namespace platform
