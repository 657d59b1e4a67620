#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryFile>
#include <QThread>

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
    // The service logs every request: a pipe nobody drains would block it, a file never does.
    log_.open();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(log_.fileName());
    // Ports of its own and a member database of its own, so parallel tests never collide.
    const QString db = QString::fromStdString((root / "members.db").string());
    process_.start(server, {"--http-port", "0", "--udp-port", "0", "--db", db, "--root", rootText});
    const QRegularExpression listening(QStringLiteral("http listening on ([^ ]+):(\\d+)"));
    for (int waited = 0; port_ == 0 && waited < 10000; waited += 20) {
      QFile log(log_.fileName());
      if (log.open(QIODevice::ReadOnly)) {
        const auto match = listening.match(QString::fromUtf8(log.readAll()));
        if (match.hasMatch()) port_ = match.captured(2).toInt();
      }
      if (port_ == 0) QThread::msleep(20);
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
  QTemporaryFile log_;
  QProcess process_;
  int port_ = 0;
};

}  // namespace orvane::testing
