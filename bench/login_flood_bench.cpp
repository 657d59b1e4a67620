// A bounded burst of 10,000 login datagrams from four loopback senders against the login
// service, while the real client logs in now and then: how many requests get an answer, and
// how long a legitimate login takes during the burst compared with an idle service.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/login_flow.h"
#include "app/udp_transport.h"
#include "protocol/login_protocol.h"
#include "server/login_service.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kSenders = 4;
constexpr int kDatagramsPerSender = 2500;
constexpr int kLegitimateLogins = 5;

class NullUi : public orvane::app::LoginUi {
 public:
  void ShowMessage(std::string_view) override {}
  void Pause(std::chrono::milliseconds) override {}
};

// Guesses the demo member's password from 127.0.0.(2 + index) and counts the replies.
struct Flooder {
  int fd = -1;
  std::atomic<int> answered{0};

  bool Open(int index, std::uint16_t port) {
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x7F000002u + static_cast<std::uint32_t>(index));
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval idle{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    // Room for every reply, so the count is the service's and not this socket's.
    int queueBytes = 8 << 20;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &queueBytes, sizeof queueBytes) != 0) {
      setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queueBytes, sizeof queueBytes);
    }
    return bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
           connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
  }
  void Send() {
    for (int i = 0; i < kDatagramsPerSender; ++i) {
      std::string guess = orvane::protocol::BuildLoginMessage(
          orvane::server::kDemoMemberId, "guess" + std::to_string(i), "", "Ver.1.0.1");
      std::string datagram = orvane::protocol::WireDatagram(guess);
      send(fd, datagram.data(), datagram.size(), 0);
    }
  }
  // Counts replies until none has come for the receive time-out.
  void Count() {
    char buffer[1024];
    while (recv(fd, buffer, sizeof buffer, 0) > 0) ++answered;
  }
  ~Flooder() {
    if (fd >= 0) close(fd);
  }
};

double LoginMs(orvane::app::LoginContext& context, bool& admitted) {
  NullUi ui;
  auto start = Clock::now();
  admitted = orvane::app::LoginButton(context, ui, orvane::server::kDemoMemberId,
                                      orvane::server::kDemoMemberPassword) ==
             orvane::app::LoginOutcome::kAdmitted;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BM_LoginFlood(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-flood-XXXXXX").string();
  std::filesystem::path folder = mkdtemp(pattern.data());
  orvane::server::LoginServiceOptions options;
  options.databasePath = (folder / "members.db").string();
  options.bindAddress = "127.0.0.1";
  options.udpPort = 0;
  orvane::server::LoginService service(options);
  if (!service.Start()) {
    state.SkipWithError(service.Error().c_str());
    return;
  }
  orvane::app::UdpTransport transport;
  transport.Resolve("127.0.0.1", service.Port());
  orvane::app::LoginContext context;
  context.transport = &transport;
  context.adapterText = [] { return std::string(); };

  for (auto _ : state) {
    bool admitted = false;
    double idleMs = LoginMs(context, admitted);

    std::vector<std::unique_ptr<Flooder>> flooders;
    for (int i = 0; i < kSenders; ++i) {
      flooders.push_back(std::make_unique<Flooder>());
      if (!flooders.back()->Open(i, service.Port())) {
        state.SkipWithError("cannot bind a loopback sender");
        return;
      }
    }
    std::vector<std::thread> threads;
    for (auto& f : flooders) {
      threads.emplace_back([&f] { f->Count(); });
      threads.emplace_back([&f] { f->Send(); });
    }
    std::vector<double> latencies;
    int admittedCount = 0;
    for (int i = 0; i < kLegitimateLogins; ++i) {
      std::this_thread::sleep_for(100ms);
      latencies.push_back(LoginMs(context, admitted));
      admittedCount += admitted ? 1 : 0;
    }
    for (auto& t : threads) t.join();

    int answered = 0;
    for (auto& f : flooders) answered += f->answered;
    std::sort(latencies.begin(), latencies.end());
    state.counters["flood_sent"] = kSenders * kDatagramsPerSender;
    state.counters["flood_answered_pct"] = 100.0 * answered / (kSenders * kDatagramsPerSender);
    state.counters["service_received_pct"] =
        100.0 * static_cast<double>(service.Received()) / (kSenders * kDatagramsPerSender);
    state.counters["legit_admitted"] = admittedCount;
    state.counters["legit_of"] = kLegitimateLogins;
    state.counters["idle_login_ms"] = idleMs;
    state.counters["burst_login_ms_median"] = latencies[latencies.size() / 2];
    state.counters["burst_login_ms_max"] = latencies.back();
    state.counters["burst_to_idle"] = latencies[latencies.size() / 2] / idleMs;
  }
  service.Stop();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoginFlood)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
