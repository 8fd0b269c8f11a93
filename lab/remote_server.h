// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The SCPI server: a TCP port (5025 by custom) where up to eight clients
// at once talk to the instrument, each with a session of its own, all on
// the GUI thread in small turns so that the windows stay responsive. A
// client that sends a line over 64 KiB, leaves more than kMaxPendingOutput
// of answers unread, or says nothing for kIdleSeconds is disconnected; a
// ninth is told so and closed.
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lab/scpi/session.h"

class QTcpSocket;

namespace lab {

// "HOST:PORT" ("[::1]:5025" for IPv6), or a port alone on the loopback.
inline constexpr const char* kDefaultRemoteAddress = "127.0.0.1:5025";

class RemoteServer final : public QObject {
 public:
  static constexpr int kMaxClients = 8;
  static constexpr qint64 kMaxPendingOutput = 4 << 20;
  static constexpr int kIdleSeconds = 600;
  // Units a client runs in one turn of the loop before the others' turn.
  static constexpr int kTurn = 32;

  // `changed` is called when clients come or go.
  RemoteServer(std::unique_ptr<scpi::Commands> commands, std::function<void()> changed);
  ~RemoteServer() override;

  // Empty, or why it cannot listen there (Czech).
  std::string Listen(const std::string& address);
  // Where it listens, with the port it was given ("127.0.0.1:5025").
  std::string Address() const;
  // Not on the loopback: reachable from the network.
  bool OpenToNetwork() const;
  // The clients' addresses.
  std::vector<std::string> Clients() const;
  // The instrument moved on (a new reading): waiting commands try again.
  void Resume();

 private:
  struct Client;
  void Accept();
  void Read(Client& c);
  void Serve(Client& c);
  void Schedule(Client& c);
  void Close(Client& c, bool at_once);
  Client* Find(const QTcpSocket* socket);

  std::unique_ptr<scpi::Commands> commands_;
  std::function<void()> changed_;
  QTcpServer server_;
  std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace lab
