// orvane-deploy-check: the client's and Zentrel's own code run against a deployment, one check
// per call, for scripts/test-deploy. Prints one line; exits 0 when the check passed.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/login_flow.h"
#include "app/udp_transport.h"
#include "data/catalogue.h"
#include "data/content_host.h"
#include "data/data_table.h"
#include "data/fetch.h"
#include "data/series_reader.h"
#include "updater/curl_http.h"
#include "updater/zentrel_core.h"
#include "views/menu_grid.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int Usage() {
  std::fputs(
      "usage: orvane-deploy-check content HOST[:PORT] DIR\n"
      "       orvane-deploy-check login HOST PORT ID PASSWORD\n"
      "       orvane-deploy-check join HOST PORT ID PASSWORD\n"
      "       orvane-deploy-check login-rate HOST PORT COUNT\n"
      "       orvane-deploy-check update HOST[:PORT] PUBLIC_KEY_HEX DIR\n",
      stderr);
  return 2;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The home series and menu list through the content host, as the client fetches them at
// start-up, read as it reads them.
int Content(const std::string& host, const fs::path& dir) {
  const auto contentHost = orvane::ParseHostPort(host, 80);
  if (!contentHost) return Usage();
  const std::string base = orvane::DataBaseUrl(*contentHost);
  const std::string cache = dir.string() + "/";
  if (orvane::FetchFile(base + std::string(orvane::kHomeSeriesFile), "series.txt", cache) !=
      orvane::FetchResult::Ok) {
    std::puts("content: the series could not be fetched");
    return 1;
  }
  orvane::DataTable table;
  const bool loaded = orvane::LoadDataFile(table, dir / "series.txt");
  const std::size_t records = loaded ? orvane::LoadRecords(table).records.size() : 0;
  if (orvane::FetchFile(base + std::string(orvane::kHomeListFile), "menu.txt", cache) !=
      orvane::FetchResult::Ok) {
    std::puts("content: the menu list could not be fetched");
    return 1;
  }
  const std::size_t rows = orvane::views::ReadListFile(ReadWhole(dir / "menu.txt")).size();
  std::printf("content: home series %zu records, home menu list %zu rows\n", records, rows);
  return records > 0 && rows > 0 ? 0 : 1;
}

std::unique_ptr<orvane::app::UdpTransport> Transport(const std::string& host,
                                                     std::string_view port) {
  auto transport = std::make_unique<orvane::app::UdpTransport>();
  const int number = std::stoi(std::string(port));
  if (!transport->SocketOk() || !transport->Resolve(host, static_cast<std::uint16_t>(number))) {
    return nullptr;
  }
  transport->SetReceiveTimeout(orvane::protocol::kReceiveTimeout);
  return transport;
}

// One exchange through the client's own message building and reply parsing.
int Exchange(const std::string& host, std::string_view port, bool join, std::string_view id,
             std::string_view password) {
  auto transport = Transport(host, port);
  if (!transport) return 1;
  const std::string text =
      join ? orvane::protocol::BuildJoinMessage({std::string(id), std::string(password),
                                                 std::string(password), "김검사", "01012345678"},
                                                "", orvane::protocol::kVersionText)
           : orvane::protocol::BuildLoginMessage(id, password, "", orvane::protocol::kVersionText);
  const auto result = transport->Exchange(orvane::protocol::WireDatagram(text));
  if (result.status != orvane::app::ExchangeStatus::kReplied) {
    std::printf("%s %s: no answer\n", join ? "join" : "login", std::string(id).c_str());
    return 1;
  }
  const auto reply = orvane::protocol::ParseReply(result.replyText);
  std::printf("%s %s: %s %s\n", join ? "join" : "login", std::string(id).c_str(),
              reply.firstField.c_str(), reply.ReplyStatus.c_str());
  const std::string_view wanted =
      join ? orvane::protocol::status::kRegistered : orvane::protocol::status::kAdmitted;
  return reply.ReplyStatus == wanted ? 0 : 1;
}

// COUNT demo logins one after another: each must be admitted. Prints the rate.
int LoginRate(const std::string& host, std::string_view port, int count) {
  auto transport = Transport(host, port);
  if (!transport) return 1;
  const std::string datagram = orvane::protocol::WireDatagram(orvane::protocol::BuildLoginMessage(
      "demo1234", "orvane2024", "", orvane::protocol::kVersionText));
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const auto result = transport->Exchange(datagram);
    if (result.status != orvane::app::ExchangeStatus::kReplied ||
        orvane::protocol::ParseReply(result.replyText).ReplyStatus !=
            orvane::protocol::status::kAdmitted) {
      std::printf("login-rate: login %d of %d not admitted\n", i + 1, count);
      return 1;
    }
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("login-rate: %d logins in %.2f s, %.1f per second\n", count, elapsed,
              count / elapsed);
  return 0;
}

class QuietUi : public zentrel::UiSink {
 public:
  void SetStatus(std::string_view) override {}
  void SetProgress(int) override {}
};

// Zentrel's whole update run into DIR, which holds the old program.
int Update(const std::string& host, std::string_view keyHex, const fs::path& dir) {
  zentrel::UpdaterConfig config;
  config.updateHost = host;
  config.workDir = dir;
  config.publicKey = zentrel::ParsePublicKey(keyHex);
  if (!config.publicKey) return Usage();
  zentrel::CurlHttpClient http;
  zentrel::LocalFileSystem files;
  QuietUi ui;
  zentrel::Updater updater(config, http, nullptr, files, ui);
  const zentrel::UpdateReport report = updater.Run({});
  std::printf("update: %s\n", report.outcome == zentrel::UpdateOutcome::kInstalled
                                  ? "installed"
                                  : std::string(zentrel::OutcomeText(report.outcome)).c_str());
  return report.outcome == zentrel::UpdateOutcome::kInstalled ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "content") return Content(args[1], args[2]);
  if (args.size() == 5 && (args[0] == "login" || args[0] == "join")) {
    return Exchange(args[1], args[2], args[0] == "join", args[3], args[4]);
  }
  if (args.size() == 4 && args[0] == "login-rate") {
    return LoginRate(args[1], args[2], std::stoi(args[3]));
  }
  if (args.size() == 4 && args[0] == "update") return Update(args[1], args[2], args[3]);
  return Usage();
}
