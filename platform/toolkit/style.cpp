// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/style.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace platform {

namespace {

constexpr int kRadioIndicator = 13;
constexpr int kRadioSpacing = 2;
constexpr int kComboFrame = 1;
constexpr int kComboArrow = 13;

void DottedFrame(QPainter* painter, const QRect& r, const QColor& colour) {
  if (r.width() < 2 || r.height() < 2) return;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setBrush(Qt::NoBrush);
  painter->setPen(QPen(colour, 1, Qt::DotLine));
  painter->drawRect(r.adjusted(0, 0, -1, -1));
  painter->restore();
}

class FormStyle final : public QProxyStyle {
 public:
  FormStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
    setObjectName(QStringLiteral("osciloskop"));
  }

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    switch (metric) {
      case PM_ExclusiveIndicatorWidth:
      case PM_ExclusiveIndicatorHeight: return kRadioIndicator;
      case PM_RadioButtonLabelSpacing: return kRadioSpacing;
      case PM_MenuBarItemSpacing:
      case PM_MenuBarHMargin:
      case PM_MenuBarPanelWidth: return 0;
      default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_MenuBarItem) s.setWidth(size.width() + 2 * kMenuItemPadding);
    return s;
  }

  // The focus mark of a button, a radio button or a slider: a dotted
  // rectangle in the caption's colour, as the form's toolkit drew it.
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_FrameFocusRect)
      return QProxyStyle::drawPrimitive(element, option, painter, widget);
    DottedFrame(painter, option->rect, option->palette.color(QPalette::WindowText));
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    QProxyStyle::drawControl(element, option, painter, widget);
    // Fusion draws none on a push button.
    if (element == CE_PushButton && (option->state & State_HasFocus))
      DottedFrame(painter, subElementRect(SE_PushButtonFocusRect, option, widget),
                  option->palette.color(QPalette::ButtonText));
  }

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    // Fusion marks no focused scroll bar; the mark goes round its thumb.
    if (control == CC_ScrollBar && (option->state & State_HasFocus)) {
      const QRect thumb = subControlRect(control, option, SC_ScrollBarSlider, widget);
      DottedFrame(painter, thumb.adjusted(2, 2, -2, -2),
                  option->palette.color(QPalette::ButtonText));
    }
  }

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                       SubControl sub, const QWidget* widget) const override {
    if (control == CC_ComboBox && (sub == SC_ComboBoxEditField || sub == SC_ComboBoxArrow)) {
      const QRect r = option->rect;
      QRect part = sub == SC_ComboBoxArrow
                       ? QRect(r.right() + 1 - kComboArrow, r.top(), kComboArrow, r.height())
                       : QRect(r.left() + kComboFrame, r.top() + kComboFrame,
                               r.width() - kComboFrame - kComboArrow, r.height() - 2 * kComboFrame);
      return visualRect(option->direction, r, part);
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
  }
};

}  // namespace

void UseFormStyle() {
  if (QApplication::style()->objectName() == QLatin1String("osciloskop")) return;
  QApplication::setStyle(new FormStyle);
}

}  // namespace platform
