// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measuring window's part for remote control: the SCPI server switched
// on and off, where it listens, a warning when that is not the loopback,
// and the clients connected.
#include <QGroupBox>

class QCheckBox;
class QLabel;

namespace lab {

class Lab;

class RemotePanel final : public QGroupBox {
 public:
  explicit RemotePanel(Lab& lab);
  void ShowState();

 private:
  void Switch(bool on);

  Lab& lab_;
  QCheckBox* on_;
  QLabel* state_;
  QLabel* warning_;
};

}  // namespace lab
