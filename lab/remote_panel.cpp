// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/remote_panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "lab/lab.h"
#include "lab/remote_server.h"

namespace lab {

RemotePanel::RemotePanel(Lab& lab)
    : QGroupBox(QStringLiteral("Dálkové ovládání (SCPI)")), lab_(lab) {
  auto* layout = new QVBoxLayout(this);
  on_ = new QCheckBox;
  state_ = new QLabel;
  state_->setWordWrap(true);
  state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  warning_ = new QLabel(QStringLiteral(
      "pozor: server je přístupný ze sítě a nemá hesla; kdokoli odtud ovládá generátor"));
  warning_->setWordWrap(true);
  warning_->setStyleSheet(QStringLiteral("color: #b00000"));
  layout->addWidget(on_);
  layout->addWidget(state_);
  layout->addWidget(warning_);
  connect(on_, &QCheckBox::toggled, this, [this](bool on) { Switch(on); });
  ShowState();
}

void RemotePanel::Switch(bool on) {
  if (!on) {
    lab_.StopRemote();
    return;
  }
  lab_.StartRemote(lab_.RemoteAddress());
  ShowState();
}

void RemotePanel::ShowState() {
  const RemoteServer* server = lab_.Remote();
  {
    const QSignalBlocker quiet(on_);
    on_->setChecked(server != nullptr);
  }
  on_->setText(QString::fromStdString("naslouchat na " + lab_.RemoteAddress()));
  warning_->setVisible(server && server->OpenToNetwork());
  if (!server) {
    const std::string& problem = lab_.RemoteProblem();
    state_->setText(
        QString::fromStdString(problem.empty() ? "vypnuto" : "nelze spustit: " + problem));
    return;
  }
  const std::vector<std::string> clients = server->Clients();
  std::string text = "připojení klienti: " + std::to_string(clients.size());
  for (std::size_t k = 0; k < clients.size(); ++k) text += (k ? ", " : " (") + clients[k];
  state_->setText(QString::fromStdString(clients.empty() ? text : text + ")"));
}

}  // namespace lab
