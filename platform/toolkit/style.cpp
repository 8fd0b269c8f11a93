#include "platform/toolkit/style.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace platform {

namespace {

constexpr int kRadioIndicator = 13;
constexpr int kRadioSpacing = 2;
constexpr int kComboFrame = 1;
constexpr int kComboArrow = 13;

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
