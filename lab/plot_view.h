// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The common part of the XY, spectrum and waveform views: a widget drawn
// from the ViewState, with a context menu that saves its picture and data.
#include <QWidget>
#include <string>

#include "lab/view_state.h"

class QMenu;

namespace lab {

class PlotView : public QWidget {
 public:
  PlotView(ViewState& state, View view);

  View Kind() const { return view_; }
  // Empty, or what went wrong.
  // At `size` (logical pixels) if given, else as it is.
  std::string SavePng(const std::string& path, QSize size = {});
  std::string SaveCsv(const std::string& path);

 protected:
  // The view's own entries of the context menu.
  virtual void AddActions(QMenu& menu) = 0;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // A line of text below the plot per entry, cut to the width.
  static int TextHeight(const QWidget& w, int lines);
  void DrawLines(QPainter& p, const QRect& bounds, const std::vector<QString>& lines,
                 const std::vector<QColor>& colours = {}) const;
  QAction* Toggle(QMenu& menu, const QString& text, bool& flag);

  ViewState& state_;

 private:
  void SaveDialog(bool picture);
  View view_;
};

inline const QColor kUrColour(0x1f, 0x4f, 0xd0);
inline const QColor kIlColour(0xd0, 0x20, 0x20);

}  // namespace lab
