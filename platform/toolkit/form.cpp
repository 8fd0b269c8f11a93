// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <cstring>
#include <stdexcept>

#include "platform/base/json.h"
#include "platform/base/timebase.h"
#include "platform/toolkit/fonts.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/input_filter.h"
#include "platform/toolkit/qt_bridge.h"
#include "platform/toolkit/screen_menu.h"
#include "platform/toolkit/state_digest.h"
#include "platform/toolkit/style.h"

namespace platform {

namespace {
// Escape in a drop-down of the menu bar leaves the bar for the control that
// had the focus: Qt would keep the bar in its keyboard mode, which shows
// nothing and takes Tab and the arrows until a second Escape.
class MenuEscape : public QObject {
 public:
  MenuEscape(QMenuBar* bar, TForm* form) : QObject(bar), bar_(bar), form_(form) {}
  bool eventFilter(QObject*, QEvent* e) override {
    // The control to go back to: the one focused when the drop-down opened.
    if (e->type() == QEvent::Show) {
      TControl* active = form_->ActiveControl();
      back_ = active ? active->Widget() : nullptr;
    }
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
      QMetaObject::invokeMethod(
          bar_,
          [this] {
            // The window may not be the active one: its own focus counts.
            if (bar_->window()->focusWidget() != bar_ || QApplication::activePopupWidget()) return;
            if (back_)
              back_->setFocus(Qt::PopupFocusReason);
            else
              bar_->clearFocus();
          },
          Qt::QueuedConnection);
    return false;
  }

 private:
  QMenuBar* bar_;
  TForm* form_;
  QPointer<QWidget> back_;
};
}  // namespace

// ---- Qt bridge -------------------------------------------------------------

QColor ToQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

void ApplyColors(QWidget* w, TColor background, TColor text) {
  QPalette pal = w->palette();
  if (background != clDefault) {
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
      pal.setColor(role, ToQColor(background));
  }
  if (text != clDefault) {
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      pal.setColor(role, ToQColor(text));
  }
  w->setPalette(pal);
}

namespace {
class ClickFilter final : public QObject {
 public:
  ClickFilter(QObject* parent, std::function<void()> fn) : QObject(parent), fn_(std::move(fn)) {}

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonRelease && o == parent()) {
      auto* me = static_cast<QMouseEvent*>(e);
      if (me->button() == Qt::LeftButton) fn_();
    }
    return false;
  }

 private:
  std::function<void()> fn_;
};
}  // namespace

void InstallClickFilter(QWidget* w, std::function<void()> on_click) {
  w->installEventFilter(new ClickFilter(w, std::move(on_click)));
}

namespace {
// Takes a widget's left presses for itself, at their place.
class PressFilter final : public QObject {
 public:
  PressFilter(QObject* parent, std::function<void(QPoint)> fn)
      : QObject(parent), fn_(std::move(fn)) {}

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if ((e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
      auto* w = static_cast<QWidget*>(o);
      fn_(w->mapTo(static_cast<QWidget*>(parent()),
                   static_cast<QMouseEvent*>(e)->position().toPoint()));
      return true;
    }
    return false;
  }

 private:
  std::function<void(QPoint)> fn_;
};

constexpr char kControlProperty[] = "osciloskop.control";
}  // namespace

void InstallPressFilter(QWidget* w, std::function<void(QPoint)> on_press) {
  auto* filter = new PressFilter(w, std::move(on_press));
  w->installEventFilter(filter);
  // A press lands on whichever part of the widget is under the pointer.
  for (QWidget* part : w->findChildren<QWidget*>()) part->installEventFilter(filter);
}

void MarkControlWidget(QWidget* w, TControl* c) {
  w->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(c)));
}

TControl* ControlOfWidget(const QWidget* w) {
  for (; w; w = w->parentWidget()) {
    const QVariant v = w->property(kControlProperty);
    if (v.isValid()) return static_cast<TControl*>(v.value<void*>());
    if (w->isWindow()) break;
  }
  return nullptr;
}

QWidget* ClientWidgetOf(TForm* form) { return form->Window()->Client(); }

// ---- window ----------------------------------------------------------------

ClientArea::ClientArea(TForm* form) : form_(form), pacer_([this] { update(); }) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClientArea::paintEvent(QPaintEvent*) {
  pacer_.Painted(screen() ? screen()->refreshRate() : 0.0);
  ++stats_.paints;
  const QImage& image = form_->Canvas.Image();
  const auto* bits = reinterpret_cast<const std::uint32_t*>(image.constBits());
  shown_.assign(bits, bits + image.sizeInBytes() / 4);
  shown_width_ = form_->Canvas.Width();
  shown_height_ = form_->Canvas.Height();
  paint_due_ = false;
  if (arrival_ >= 0) {
    const double ms = static_cast<double>(SteadyNanos() - arrival_) / 1e6;
    arrival_ = -1;
    ++stats_.timed;
    stats_.sum_ms += ms;
    stats_.max_ms = std::max(stats_.max_ms, ms);
  }
  QPainter p(this);
  p.drawImage(0, 0, form_->Canvas.Image());
}

void ClientArea::RequestPaint() {
  const QImage& image = form_->Canvas.Image();
  const bool same = form_->Canvas.Width() == shown_width_ &&
                    form_->Canvas.Height() == shown_height_ &&
                    static_cast<qsizetype>(shown_.size() * 4) == image.sizeInBytes() &&
                    std::memcmp(shown_.data(), image.constBits(), shown_.size() * 4) == 0;
  if (same && !paint_due_) return;
  paint_due_ = true;
  pacer_.Request();
}

void ClientArea::NoteArrival(std::int64_t since_ns) {
  // Timed from the window's first paint on: before it, nothing is shown.
  if (since_ns >= 0 && arrival_ < 0 && paint_due_ && stats_.paints > 0) arrival_ = since_ns;
}

QImage ClientPicture(TForm& form, bool menu_bar) {
  form.UpdateView();
  QWidget* what = menu_bar ? static_cast<QWidget*>(form.Window()) : form.Window()->Client();
  return what->grab().toImage();
}

FormWindow::FormWindow(TForm* form)
    : form_(form), client_(new ClientArea(form)), menu_(new ScreenMenu(form, this)) {
  setCentralWidget(client_);
}

void ClientArea::contextMenuEvent(QContextMenuEvent* e) {
  static_cast<FormWindow*>(window())->Menu()->Popup(e->globalPos());
}

void FormWindow::closeEvent(QCloseEvent* e) {
  // A close asked by the window manager goes through the form's handler.
  if (!form_->Closed()) form_->Close();
  if (form_->Closed())
    e->accept();
  else
    e->ignore();
}

void FormWindow::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  QSize s = client_->size();
  if (s.width() != form_->ClientWidth() || s.height() != form_->ClientHeight())
    form_->SetClientSize(s.width(), s.height());
}

// ---- TForm -----------------------------------------------------------------

TForm::TForm(TComponent* AOwner)
    : TWinControl(AOwner), window_(std::make_unique<FormWindow>(this)) {}

TForm::~TForm() {
  DestroyComponents();  // controls go before the widgets they wrap
}

int TForm::NonClientHeight() const {
  return 2 * kFrameBorder + kCaptionHeight + (has_menu_ ? kMenuHeight : 0);
}

void TForm::SetCaption(std::string c) {
  caption_ = std::move(c);
  window_->setWindowTitle(QString::fromStdString(Title()));
}

void TForm::SetTitleNote(std::string note) {
  if (note == title_note_) return;
  title_note_ = std::move(note);
  window_->setWindowTitle(QString::fromStdString(Title()));
}

std::string TForm::Title() const {
  return title_note_.empty() ? caption_ : title_note_ + " " + caption_;
}

void TForm::SetLeft(int v) {
  left_ = v;
  window_->move(left_, top_);
}

void TForm::SetTop(int v) {
  top_ = v;
  window_->move(left_, top_);
}

void TForm::SetClientSize(int w, int h) {
  w = std::max(0, w);
  h = std::max(0, h);
  if (w == client_width_ && h == client_height_ && Canvas.Width() == w) return;
  client_width_ = w;
  client_height_ = h;
  Canvas.Resize(w, h, color_);
  int menu = window_->menuWidget() ? window_->menuWidget()->sizeHint().height() : 0;
  window_->resize(w, h + menu);
  window_->Client()->resize(w, h);
  if (OnResize) OnResize(this);
}

void TForm::Refresh() {
  Canvas.FillAll(color_);
  UpdateView();
}

void TForm::UpdateView() {
  if (painted_generation_ == Canvas.Generation()) return;
  painted_generation_ = Canvas.Generation();
  // Off screen nobody looks until a screenshot, which renders afresh.
  static const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
  if (!offscreen && window_->isVisible()) window_->Client()->RequestPaint();
}

void TForm::Show() {
  window_->show();
  // The focus starts on the first tab stop, as the window opens.
  if (TControl* first = NextControl(nullptr, true, true)) FocusControl(first);
  painted_generation_ = ~0ull;
  UpdateView();
}

void TForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  closed_ = true;
  // An open list or menu goes with its window.
  for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i)
    QApplication::activePopupWidget()->close();
  window_->hide();
}

TControl* TForm::Control(std::string_view name) const {
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

std::string TForm::FocusControl(TControl* c) {
  if (!c->CanFocus()) {
    if (!c->Showing()) return c->Name() + " is hidden";
    if (!c->Enabled()) return c->Name() + " is disabled";
    return c->Name() + " cannot take the focus";
  }
  if (c->Widget()) c->Widget()->setFocus(Qt::OtherFocusReason);
  return {};
}

TControl* TForm::ActiveControl() const {
  QWidget* w = window_->focusWidget();
  return w ? ControlOfWidget(w) : nullptr;
}

TNotifyEvent TForm::FindNotify(std::string_view) { return {}; }
std::function<void(TObject*, TCloseAction&)> TForm::FindCloseHandler(std::string_view) {
  return {};
}
std::function<void(TObject*, bool&)> TForm::FindChangingHandler(std::string_view) { return {}; }

void TForm::DumpState(JsonWriter&) const {}

void TForm::AddToDigest(StateDigest& d) const {
  d.Add(caption_), d.Add(client_width_), d.Add(client_height_), d.Add(left_), d.Add(top_),
      d.Add(closed_), d.Add(ActiveControl());
  Canvas.AddToDigest(d);
  for (const TControl* c : controls_) c->AddToDigest(d);
}

void TForm::BindEvent(TControl* c, const EventBinding& b) {
  auto missing = [&] {
    return std::logic_error(Name() + ": no method " + std::string(b.Method) + " for " + c->Name() +
                            "." + std::string(b.Event));
  };
  if (b.Event == "OnChanging") {
    auto h = FindChangingHandler(b.Method);
    auto* ud = dynamic_cast<TUpDown*>(c);
    if (!h || !ud) throw missing();
    ud->OnChanging = std::move(h);
    return;
  }
  TNotifyEvent h = FindNotify(b.Method);
  if (!h) throw missing();
  if (b.Event == "OnClick") {
    c->OnClick = std::move(h);
  } else if (b.Event == "OnChange") {
    if (auto* cb = dynamic_cast<TComboBox*>(c))
      cb->OnChange = std::move(h);
    else if (auto* sl = dynamic_cast<TSlider*>(c))
      sl->OnChange = std::move(h);
    else
      throw missing();
  } else {
    throw missing();
  }
}

TControl* TForm::CreateControl(const ControlDesc& d) {
  switch (d.Class) {
    case ControlClass::ComboBox: {
      auto* c = new TComboBox(this, d.Editable);
      c->DropDownCount = d.DropDownCount;
      std::vector<std::string> items(d.Items.begin(), d.Items.end());
      c->SetItems(std::move(items));
      return c;
    }
    case ControlClass::ScrollBar:
    case ControlClass::TrackBar: {
      TSlider* s = d.Class == ControlClass::ScrollBar ? static_cast<TSlider*>(new TScrollBar(this))
                                                      : new TTrackBar(this);
      s->SmallChange = d.SmallChange;
      s->LargeChange = d.LargeChange;
      return s;
    }
    case ControlClass::UpDown: {
      auto* u = new TUpDown(this);
      u->Min = d.Min;
      u->Max = d.Max;
      u->Increment = d.SmallChange;
      return u;
    }
    case ControlClass::Edit: {
      auto* e = new TEdit(this);
      e->ReadOnly = d.ReadOnly;
      return e;
    }
    case ControlClass::RadioButton:
      return new TRadioButton(this);
    case ControlClass::Button: {
      auto* b = new TButton(this);
      b->Default = d.Default;
      return b;
    }
    case ControlClass::Panel:
      return new TPanel(this);
    case ControlClass::MainMenu:
      return new TMainMenu(this);
    case ControlClass::MenuItem:
      return new TMenuItem(this);
  }
  throw std::logic_error("unknown control class");
}

void TForm::KeepShownCapture() {
  // The buffer changes only in a message's handler: with no message handled
  // since, the one kept is the one drawn from.
  const std::uint64_t messages = DeliveredMessageCount();
  if (messages == shown_at_message_) return;
  shown_at_message_ = messages;
  const CaptureView v = Capture();
  shown_rate_ = v.rate;
  shown_samples_.assign(v.samples, v.samples + std::max<std::int32_t>(0, v.count));
}

void TForm::Build(const FormDesc& desc) {
  Canvas.SetChangeHook([this] { KeepShownCapture(); });
  SetName(std::string(desc.Name));
  color_ = desc.Color;
  has_menu_ = !desc.Menu.empty();
  UseFormStyle();
  InstallInputFilter();
  // The focused control always shows its focus mark, as the form's toolkit
  // drew it, not only once the keyboard has moved the focus.
  window_->setAttribute(Qt::WA_KeyboardFocusChange);
  window_->setFont(UiFont(desc.FontPixelSize));
  Canvas.Brush.Color = color_;
  SetCaption(std::string(desc.Caption));
  QMenuBar* bar = has_menu_ ? window_->menuBar() : nullptr;
  // Desktop menus are drawn in the regular weight of the form's font.
  if (bar) bar->setFont(UiFont(desc.FontPixelSize, false));

  for (const ControlDesc& d : desc.Controls) {
    TControl* c = CreateControl(d);
    c->SetName(std::string(d.Name));
    TControl* parent = d.Parent.empty() ? nullptr : Control(d.Parent);
    if (!d.Parent.empty() && !parent)
      throw std::logic_error(std::string(d.Name) + ": parent " + std::string(d.Parent) +
                             " not built yet");
    if (c->Widget()) {
      if (d.FontPixelSize > 0 || !d.Bold)
        c->SetFontPixelSize(d.FontPixelSize > 0 ? d.FontPixelSize : desc.FontPixelSize, d.Bold);
      else
        c->SetFontPixelSize(desc.FontPixelSize, true);
    }
    c->SetParent(parent ? static_cast<TWinControl*>(parent) : this);
    c->SetBounds(d.Left, d.Top, d.Width, d.Height);
    if (auto* s = dynamic_cast<TSlider*>(c)) s->SetParams(d.Position, d.Min, d.Max);
    if (auto* u = dynamic_cast<TUpDown*>(c)) u->SetPosition(d.Position);
    if (auto* p = dynamic_cast<TPanel*>(c)) p->SetBevel(d.Bevel);
    c->SetText(std::string(d.Text));
    if (auto* cb = dynamic_cast<TComboBox*>(c))
      cb->SetItemIndex(-1), cb->SetText(std::string(d.Text));
    if (auto* rb = dynamic_cast<TRadioButton*>(c); rb && d.Checked) rb->SetChecked(true);
    c->SetColor(d.Color);
    c->SetFontColor(d.FontColor);
    c->SetHint(std::string(d.Hint));
    c->SetEnabled(d.Enabled);
    c->SetVisible(d.Visible);
    if (auto* item = dynamic_cast<TMenuItem*>(c)) {
      if (auto* menu = dynamic_cast<TMainMenu*>(parent)) {
        menu->Items.push_back(item);
        bar->addAction(item->Action());
      } else if (auto* up = dynamic_cast<TMenuItem*>(parent)) {
        up->Items.push_back(item);
        if (!up->Action()->menu()) {
          auto* m = new QMenu(bar);
          m->setFont(bar->font());  // a pop-up is a window of its own
          m->installEventFilter(new MenuEscape(bar, this));
          up->Action()->setMenu(m);
        }
        up->Action()->menu()->addAction(item->Action());
      }
      item->Action()->setVisible(d.Visible);
    }
    controls_.push_back(c);
    by_name_.emplace(c->Name(), c);
  }
  // Events are bound once every control exists, so that building the form
  // fires none of them.
  for (std::size_t i = 0; i < desc.Controls.size(); ++i)
    for (const EventBinding& b : desc.Controls[i].Events) BindEvent(controls_[i], b);
  for (const EventBinding& b : desc.Events) {
    if (b.Event == "OnClose") {
      OnClose = FindCloseHandler(b.Method);
      if (!OnClose) throw std::logic_error(Name() + ": no method " + std::string(b.Method));
    } else if (b.Event == "OnCreate" || b.Event == "OnResize") {
      TNotifyEvent h = FindNotify(b.Method);
      if (!h) throw std::logic_error(Name() + ": no method " + std::string(b.Method));
      (b.Event == "OnCreate" ? OnCreate : OnResize) = std::move(h);
    }
  }
  // The stored size comes last, as the window's first resize.
  left_ = desc.Left;
  top_ = desc.Top;
  window_->move(left_, top_);
  SetClientSize(desc.Width - 2 * kFrameBorder, desc.Height - NonClientHeight());
  Loaded();
}

}  // namespace platform
