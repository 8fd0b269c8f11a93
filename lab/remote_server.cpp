// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/remote_server.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <charconv>

#include "lab/scpi/errors.h"
#include "lab/scpi/response.h"

namespace lab {

struct RemoteServer::Client {
  QPointer<QTcpSocket> socket;
  std::unique_ptr<scpi::Session> session;
  QTimer idle;
  std::string peer;
  bool scheduled = false;
  bool closing = false;
};

namespace {

std::string Peer(const QTcpSocket& s) {
  const QString host = s.peerAddress().toString();
  return (s.peerAddress().protocol() == QAbstractSocket::IPv6Protocol ? "[" + host + "]" : host)
             .toStdString() +
         ":" + std::to_string(s.peerPort());
}

}  // namespace

RemoteServer::RemoteServer(std::unique_ptr<scpi::Commands> commands, std::function<void()> changed)
    : commands_(std::move(commands)), changed_(std::move(changed)) {
  server_.setMaxPendingConnections(kMaxClients);
  connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

RemoteServer::~RemoteServer() {
  server_.close();
  for (auto& c : clients_)
    if (c->socket) {
      c->socket->disconnect(this);
      c->socket->abort();
      delete c->socket;
    }
}

std::string RemoteServer::Listen(const std::string& address) {
  std::string host = "127.0.0.1", port_text = address;
  if (const auto colon = address.rfind(':'); colon != std::string::npos) {
    host = address.substr(0, colon);
    port_text = address.substr(colon + 1);
  }
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  int port = -1;
  const auto r = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (r.ec != std::errc() || r.ptr != port_text.data() + port_text.size() || port < 0 ||
      port > 65535)
    return "'" + address + "' není ADRESA:PORT (port od 0 do 65535)";
  QHostAddress where;
  if (host == "localhost")
    where = QHostAddress(QHostAddress::LocalHost);
  else if (!where.setAddress(QString::fromStdString(host)))
    return "'" + host + "' není adresa IP";
  if (!server_.listen(where, static_cast<quint16>(port))) {
    std::string why = server_.errorString().toStdString();
    switch (server_.serverError()) {
      case QAbstractSocket::AddressInUseError:
        why = "adresu a port už používá jiný program";
        break;
      case QAbstractSocket::SocketAccessError:
        why = "k tomu chybí oprávnění";
        break;
      case QAbstractSocket::SocketAddressNotAvailableError:
        why = "tato adresa není tohoto počítače";
        break;
      default:
        break;
    }
    return "na " + address + " nelze naslouchat: " + why;
  }
  return {};
}

std::string RemoteServer::Address() const {
  const QHostAddress a = server_.serverAddress();
  const std::string host = a.protocol() == QAbstractSocket::IPv6Protocol
                               ? "[" + a.toString().toStdString() + "]"
                               : a.toString().toStdString();
  return host + ":" + std::to_string(server_.serverPort());
}

bool RemoteServer::OpenToNetwork() const { return !server_.serverAddress().isLoopback(); }

std::vector<std::string> RemoteServer::Clients() const {
  std::vector<std::string> peers;
  for (const auto& c : clients_)
    if (!c->closing) peers.push_back(c->peer);
  return peers;
}

RemoteServer::Client* RemoteServer::Find(const QTcpSocket* socket) {
  for (auto& c : clients_)
    if (c->socket == socket) return c.get();
  return nullptr;
}

void RemoteServer::Accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    if (Clients().size() >= static_cast<std::size_t>(kMaxClients)) {
      scpi::ErrorQueue refusal;
      refusal.Push(-200, "at most " + std::to_string(kMaxClients) + " clients at once");
      socket->write((refusal.Next() + "\n").c_str());
      socket->disconnectFromHost();
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
      continue;
    }
    auto c = std::make_unique<Client>();
    c->socket = socket;
    c->session = std::make_unique<scpi::Session>(*commands_);
    c->peer = Peer(*socket);
    c->idle.setSingleShot(true);
    c->idle.setInterval(kIdleSeconds * 1000);
    connect(&c->idle, &QTimer::timeout, this, [this, socket] {
      if (Client* c = Find(socket)) Close(*c, true);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
      if (Client* c = Find(socket)) Read(*c);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
      if (Client* c = Find(socket); c && !c->closing) Schedule(*c);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
      if (Client* c = Find(socket)) {
        c->closing = true;
        c->idle.stop();
      }
      // Let go of it once the signal that told it is over.
      QMetaObject::invokeMethod(
          this,
          [this, socket] {
            std::erase_if(clients_, [socket](const auto& c) { return c->socket == socket; });
            socket->deleteLater();
            if (changed_) changed_();
          },
          Qt::QueuedConnection);
    });
    c->idle.start();
    clients_.push_back(std::move(c));
    if (changed_) changed_();
  }
}

void RemoteServer::Read(Client& c) {
  if (c.closing) {
    c.socket->readAll();
    return;
  }
  c.idle.start();
  const QByteArray bytes = c.socket->readAll();
  if (!c.session->Receive(
          std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
    const std::string last = c.session->TakeOutput();
    c.socket->write(last.data(), static_cast<qint64>(last.size()));
    Close(c, false);
    return;
  }
  Serve(c);
}

void RemoteServer::Serve(Client& c) {
  c.scheduled = false;
  if (c.closing || !c.socket) return;
  const bool more = c.session->Work(kTurn);
  const std::string out = c.session->TakeOutput();
  if (!out.empty()) c.socket->write(out.data(), static_cast<qint64>(out.size()));
  if (c.socket->bytesToWrite() > kMaxPendingOutput) {
    Close(c, true);
    return;
  }
  if (more) Schedule(c);
}

void RemoteServer::Schedule(Client& c) {
  if (c.scheduled) return;
  c.scheduled = true;
  QPointer<QTcpSocket> socket = c.socket;
  QTimer::singleShot(0, this, [this, socket] {
    if (Client* c = socket ? Find(socket) : nullptr) Serve(*c);
  });
}

void RemoteServer::Resume() {
  for (auto& c : clients_)
    if (!c->closing && c->session->Waiting()) Schedule(*c);
}

void RemoteServer::Close(Client& c, bool at_once) {
  if (c.closing) return;
  c.closing = true;
  c.idle.stop();
  if (at_once)
    c.socket->abort();  // emits disconnected, which lets the client go
  else
    c.socket->disconnectFromHost();
  if (changed_) changed_();
}

}  // namespace lab
