// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/file_output.h"

#include <QBuffer>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

namespace lab {

std::string SaveText(const std::string& path, const std::string& text) {
  QSaveFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::WriteOnly) ||
      f.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
      !f.commit())
    return "cannot write '" + path + "'";
  return {};
}

std::string WidgetPng(QWidget& widget, QByteArray& png) {
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!widget.grab().toImage().save(&buffer, "PNG")) return "cannot make the picture";
  return {};
}

std::string SaveWidgetPng(QWidget& widget, const std::string& path) {
  QByteArray bytes;
  if (std::string e = WidgetPng(widget, bytes); !e.empty()) return e;
  return SaveText(path, bytes.toStdString());
}

}  // namespace lab
