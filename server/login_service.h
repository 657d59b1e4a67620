#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "server/member_store.h"

namespace orvane::server {

struct LoginServiceOptions {
  // An SQLite file or a PostgreSQL URI (see OpenMemberStore); set up with the demo member when
  // new.
  std::string databasePath = "orvane_members.db";
  std::string bindAddress = "0.0.0.0";
  std::uint16_t udpPort = 10003;            // 0 picks a free port; Port() tells which
  std::string clientVersion = "Ver.1.0.1";  // any other version is told "VerDiff"
  // Per sender address: this many attempts at once, then this many per second.
  double attemptBurst = 10;
  double attemptsPerSecond = 1;
  // Failed guesses, counted per ID (from addresses it has not logged in from) and per sender
  // address: this many, then one more each refill interval. Forged senders each stay within
  // their own limits, so the per-ID count is what stops a flood aimed at one member.
  double idFailureBurst = 10;
  std::chrono::seconds idFailureRefill{30};
  double addressFailureBurst = 5;
  std::chrono::seconds addressFailureRefill{60};
  // Password hashes waiting for a hashing thread: in all, and per login ID or sign-up sender.
  std::size_t maxQueuedHashes = 256;
  std::size_t maxQueuedEach = 4;
  std::size_t hashThreads = 0;  // 0: one per core
  // Libsodium's cheapest Argon2id settings, for tests and fuzzing only.
  bool cheapHashing = false;
  // Told one line per answered login and sign-up: what, the sender's address, the reply.
  std::function<void(const std::string&)> log;
};

// Login and sign-up over UDP: one reply datagram per well-formed request, none otherwise.
class LoginService {
 public:
  using Clock = std::chrono::steady_clock;

  explicit LoginService(LoginServiceOptions options);
  ~LoginService();
  LoginService(const LoginService&) = delete;
  LoginService& operator=(const LoginService&) = delete;

  // Opens the database only; enough for HandleDatagram.
  bool OpenDatabase();
  // Opens the database, binds the socket and serves on a thread of its own.
  bool Start();
  void Stop();
  std::uint16_t Port() const { return port_; }
  // Datagrams taken off the socket and replies sent since Start().
  std::uint64_t Received() const { return received_; }
  std::uint64_t Replied() const { return replied_; }
  const std::string& Error() const { return error_; }

  // The reply (CP949 text, before zero padding) to one datagram from an IPv4 sender, or
  // nothing for a malformed or oversized datagram. Not for use while the service runs.
  std::optional<std::string> HandleDatagram(std::string_view datagram, std::uint32_t sender,
                                            Clock::time_point now);

 private:
  struct Bucket {
    double tokens = 0;
    Clock::time_point last;
  };

  // A request whose answer needs a password hash, held until its sender's turn.
  struct Work {
    bool login = true;
    std::string body;
    std::string storedHash;
    // Logins only: the failure counts this attempt was charged to, refunded on admission.
    std::string id;
    std::uint32_t sender = 0;
    bool knownAddress = false;  // the member has logged in from the sender's address before
    bool unknownId = false;     // checked against a stand-in hash, so it costs the same time
  };
  // What a datagram gets at once: nothing, a reply, or a place in its sender's queue.
  struct Sorted {
    std::optional<std::string> reply;
    std::optional<Work> work;
  };

  bool TakeAttempt(std::uint32_t sender, Clock::time_point now);
  // Charges a login attempt to the failure counts it falls under; false when one is spent.
  bool ChargeGuess(const Work& work, Clock::time_point now);
  void Refund(const Work& work);
  // Queues hashing work; false when the queues are full.
  bool Enqueue(std::uint32_t address, std::uint16_t port, Work work);
  Sorted Sort(std::string_view datagram, std::uint32_t sender, Clock::time_point now);
  Sorted SortLogin(std::string_view body, std::uint32_t sender, Clock::time_point now);
  Sorted SortJoin(std::string_view body);
  std::string Finish(const Work& work);
  void Receive(std::stop_token stop);
  void Hash(std::stop_token stop);
  void SendReply(const std::string& reply, std::uint32_t address, std::uint16_t port);

  LoginServiceOptions options_;
  std::unique_ptr<MemberStore> store_;
  std::unordered_map<std::uint32_t, Bucket> buckets_;
  std::string standInHash_;

  // Failure counts and the addresses members were admitted from; the receiving thread charges
  // them, the hashing threads refund and record.
  std::mutex throttleMutex_;
  std::unordered_map<std::string, Bucket> idFailures_;  // by ID, or ID and known address
  std::unordered_map<std::uint32_t, Bucket> addressFailures_;
  std::unordered_set<std::string> knownAddresses_;
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<std::uint64_t> received_{0};
  std::atomic<std::uint64_t> replied_{0};
  std::string error_;

  // Hashing is the only slow step. The receiving thread answers everything else at once and
  // queues hashing work: logins of members from addresses they were admitted from go to a lane
  // of their own, served first; other logins wait per ID and sign-ups per sender. The hashing
  // threads (one per core) serve these queues in turn, so a flood aimed at one member, from
  // however many addresses, delays another member's login by at most one hash, and never stops
  // the socket from being read. All queues are bounded; what does not fit is told to try later.
  struct Pending {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    Work work;
  };
  // Finishes one queued request, logs it and sends the reply.
  void Answer(const Pending& pending);
  std::mutex queueMutex_;
  std::condition_variable_any queueReady_;
  std::unordered_map<std::string, std::deque<Pending>> queues_;
  std::deque<std::string> turns_;
  std::deque<Pending> knownLane_;
  std::size_t queued_ = 0;
  std::jthread receiver_;
  std::vector<std::jthread> hashers_;
};

}  // namespace orvane::server
