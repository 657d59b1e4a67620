#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <filesystem>
#include <string>

namespace orvane::testing {

// The reference service on a free loopback port, serving a sample root it generated itself.
class ContentServer {
 public:
  // binaryDir is the build folder; root is made with --make-sample when it has no data yet.
  ContentServer(const std::filesystem::path& binaryDir, const std::filesystem::path& root) {
    const QString server = QString::fromStdString((binaryDir / "server/orvane-server").string());
    const QString rootText = QString::fromStdString(root.string());
    if (!std::filesystem::exists(root / "orvane_data")) {
      QProcess::execute(server, {"--make-sample", rootText});
    }
    // The log goes to a file: a pipe that nobody drains while a benchmark runs without an event
    // loop fills up and then blocks every request the service logs.
    const std::filesystem::path log = root / "server.log";
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(QString::fromStdString(log.string()));
    // Ports of its own and a member database of its own, so parallel tests never collide.
    const QString db = QString::fromStdString((root / "members.db").string());
    process_.start(server, {"--http-port", "0", "--udp-port", "0", "--db", db, "--root", rootText});
    const QRegularExpression listening(QStringLiteral("http listening on ([^ ]+):(\\d+)"));
    for (int waited = 0; port_ == 0 && waited < 10000 && process_.state() != QProcess::NotRunning;
         waited += 20) {
      process_.waitForFinished(20);
      QFile file(QString::fromStdString(log.string()));
      if (!file.open(QIODevice::ReadOnly)) continue;
      const auto match = listening.match(QString::fromUtf8(file.readAll()));
      if (match.hasMatch()) port_ = match.captured(2).toInt();
    }
  }
  ~ContentServer() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
  }
  ContentServer(const ContentServer&) = delete;
  ContentServer& operator=(const ContentServer&) = delete;

  int Port() const { return port_; }
  std::string Authority() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  QProcess process_;
  int port_ = 0;
};

}  // namespace orvane::testing
