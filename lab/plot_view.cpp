// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/plot_view.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QPainter>

#include "lab/plot_frame.h"
#include "platform/dialogs/save_dialog.h"
#include "platform/dialogs/warning.h"

namespace lab {

PlotView::PlotView(ViewState& state, View view) : state_(state), view_(view) {
  setMinimumSize(200, 150);
  setFocusPolicy(Qt::StrongFocus);
}

std::string PlotView::SavePng(const std::string& path, QSize size) {
  const QSize old = this->size();
  if (size.isValid()) resize(size);
  std::string e = SaveWidgetPng(*this, path);
  if (size.isValid()) resize(old);
  return e;
}

std::string PlotView::SaveCsv(const std::string& path) {
  const std::string csv = state_.Csv(view_);
  if (csv.empty()) return "no data yet to save";
  return SaveText(path, csv);
}

void PlotView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  AddActions(menu);
  menu.addSeparator();
  menu.addAction(QStringLiteral("Uložit obrázek…"), this, [this] { SaveDialog(true); });
  menu.addAction(QStringLiteral("Uložit data…"), this, [this] { SaveDialog(false); });
  menu.exec(event->globalPos());
}

QAction* PlotView::Toggle(QMenu& menu, const QString& text, bool& flag) {
  QAction* a = menu.addAction(text, this, [this, &flag] {
    flag = !flag;
    update();
  });
  a->setCheckable(true);
  a->setChecked(flag);
  return a;
}

void PlotView::SaveDialog(bool picture) {
  const QString kind = picture ? QStringLiteral("png") : QStringLiteral("csv");
  platform::AskSaveFile(
      this, picture ? QStringLiteral("Uložit obrázek") : QStringLiteral("Uložit data"),
      QDir::home().filePath(QString::fromUtf8(ViewName(view_)) + "." + kind),
      picture ? QStringLiteral("Obrázek PNG (*.png)") : QStringLiteral("Data CSV (*.csv)"),
      [this, picture](const QString& file) {
        const std::string e = picture ? SavePng(file.toStdString()) : SaveCsv(file.toStdString());
        if (!e.empty())
          platform::ShowWarning(this, QStringLiteral("Měření"), QString::fromStdString(e));
      });
}

int PlotView::TextHeight(const QWidget& w, int lines) {
  return lines * QFontMetrics(w.font()).lineSpacing() + 4;
}

void PlotView::DrawLines(QPainter& p, const QRect& bounds, const std::vector<QString>& lines,
                         const std::vector<QColor>& colours) const {
  const QFontMetrics fm(font());
  p.fillRect(bounds, Qt::white);
  int y = bounds.top() + 2 + fm.ascent();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    p.setPen(i < colours.size() ? colours[i] : QColor(Qt::black));
    p.drawText(bounds.left() + 4, y, fm.elidedText(line, Qt::ElideRight, bounds.width() - 8));
    y += fm.lineSpacing();
  }
}

}  // namespace lab
