#include "server/login_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "data/text_codec.h"
#include "protocol/login_protocol.h"

namespace orvane::server {
namespace {

// Reasons the client shows after "fail" or "premember".
constexpr std::string_view kUnknownId = "등록되지 않은 아이디입니다.";
constexpr std::string_view kWrongPassword = "비밀번호가 맞지 않습니다.";
constexpr std::string_view kTooManyAttempts = "시도가 너무 많습니다. 잠시 후 다시 하세요.";
constexpr std::string_view kIdTaken = "이미 사용 중인 아이디입니다.";
constexpr std::string_view kFormInvalid = "입력한 정보가 올바르지 않습니다.";
constexpr std::string_view kServerTrouble = "서버 오류입니다. 잠시 후 다시 하세요.";

constexpr std::string_view kLoginPrefix = "login_";
constexpr std::string_view kJoinPrefix = "joincl_";
constexpr std::size_t kMaxTrackedSenders = 65536;

// The ";"-separated fields of a request body that ends in ";". The first `head` fields are
// taken from the front and the last `tail` from the back; the one field left between them
// keeps any ";" it holds, so a password with ";" in it still arrives whole.
std::optional<std::vector<std::string_view>> SplitFields(std::string_view body, std::size_t head,
                                                         std::size_t tail) {
  if (body.empty() || body.back() != ';') return std::nullopt;
  body.remove_suffix(1);
  std::vector<std::string_view> front;
  for (std::size_t i = 0; i < head; ++i) {
    std::size_t cut = body.find(';');
    if (cut == std::string_view::npos) return std::nullopt;
    front.push_back(body.substr(0, cut));
    body.remove_prefix(cut + 1);
  }
  std::vector<std::string_view> back;
  for (std::size_t i = 0; i < tail; ++i) {
    std::size_t cut = body.rfind(';');
    if (cut == std::string_view::npos) return std::nullopt;
    back.push_back(body.substr(cut + 1));
    body.remove_suffix(body.size() - cut);
  }
  front.push_back(body);
  front.insert(front.end(), back.rbegin(), back.rend());
  return front;
}

std::string Reply(std::string_view head, std::string_view status, std::string_view reason = {}) {
  std::string reply(head);
  reply.push_back('_');
  reply.append(status);
  if (!reason.empty()) {
    reply.push_back('_');
    reply.append(EncodeCp949(reason));
  }
  return reply;
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

}  // namespace

class MemberStore {
 public:
  enum class AddResult { kAdded, kTaken, kFailed };

  ~MemberStore() {
    if (db_ != nullptr) sqlite3_close(db_);
  }

  bool Open(const std::string& path, bool cheapHashing, std::string& error) {
    cheap_ = cheapHashing;
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
      error = "cannot open member database " + path;
      return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    bool fresh = !HasMembersTable();
    const char* schema =
        "CREATE TABLE IF NOT EXISTS members ("
        " id TEXT PRIMARY KEY NOT NULL,"
        " password_hash TEXT NOT NULL,"
        " name TEXT NOT NULL, phone TEXT NOT NULL, adapter TEXT NOT NULL,"
        " joined TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP)";
    if (sqlite3_exec(db_, schema, nullptr, nullptr, nullptr) != SQLITE_OK) {
      error = "cannot create the members table in " + path;
      return false;
    }
    if (fresh &&
        Add(kDemoMemberId, kDemoMemberPassword, "데모", "01000000000", "") != AddResult::kAdded) {
      error = "cannot add the demo member to " + path;
      return false;
    }
    return true;
  }

  AddResult Add(std::string_view id, std::string_view password, std::string_view name,
                std::string_view phone, std::string_view adapter) {
    std::optional<std::string> hash = Hash(password);
    if (!hash) return AddResult::kFailed;
    std::lock_guard lock(mutex_);
    Statement s = Prepare(
        "INSERT INTO members (id, password_hash, name, phone, adapter) VALUES (?, ?, ?, ?, ?)");
    if (!s) return AddResult::kFailed;
    Bind(s.get(), 1, id);
    Bind(s.get(), 2, *hash);
    Bind(s.get(), 3, name);
    Bind(s.get(), 4, phone);
    Bind(s.get(), 5, adapter);
    int rc = sqlite3_step(s.get());
    if (rc == SQLITE_DONE) return AddResult::kAdded;
    return (rc & 0xFF) == SQLITE_CONSTRAINT ? AddResult::kTaken : AddResult::kFailed;
  }

  bool Exists(std::string_view id) { return PasswordHash(id).has_value(); }

  std::optional<std::string> PasswordHash(std::string_view id) {
    std::lock_guard lock(mutex_);
    Statement s = Prepare("SELECT password_hash FROM members WHERE id = ?");
    if (!s) return std::nullopt;
    Bind(s.get(), 1, id);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
  }

 private:
  bool HasMembersTable() {
    Statement s = Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'members'");
    return s && sqlite3_step(s.get()) == SQLITE_ROW;
  }

  std::optional<std::string> Hash(std::string_view password) const {
    std::array<char, crypto_pwhash_STRBYTES> out{};
    unsigned long long ops =
        cheap_ ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    std::size_t mem = cheap_ ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    if (crypto_pwhash_str_alg(out.data(), password.data(), password.size(), ops, mem,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
      return std::nullopt;
    }
    return std::string(out.data());
  }

  Statement Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) return nullptr;
    return Statement(s);
  }

  static void Bind(sqlite3_stmt* s, int index, std::string_view text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }

  // Lookups come from the receiving thread, additions from the hashing thread.
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  bool cheap_ = false;
};

LoginService::LoginService(LoginServiceOptions options) : options_(std::move(options)) {}

LoginService::~LoginService() { Stop(); }

bool LoginService::OpenDatabase() {
  if (store_) return true;
  if (sodium_init() < 0) {
    error_ = "libsodium failed to initialise";
    return false;
  }
  auto store = std::make_unique<MemberStore>();
  if (!store->Open(options_.databasePath, options_.cheapHashing, error_)) return false;
  store_ = std::move(store);
  return true;
}

bool LoginService::Start() {
  if (receiver_.joinable()) return true;
  if (!OpenDatabase()) return false;
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    error_ = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  // A burst must not overflow the queue before the limiter sees it (about 10,000 requests).
  int queueBytes = 16 << 20;
  if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &queueBytes, sizeof queueBytes) != 0) {
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &queueBytes, sizeof queueBytes);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options_.udpPort);
  if (inet_pton(AF_INET, options_.bindAddress.c_str(), &address.sin_addr) != 1 ||
      bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error_ = "cannot bind UDP " + options_.bindAddress + ":" + std::to_string(options_.udpPort);
    close(fd_);
    fd_ = -1;
    return false;
  }
  socklen_t length = sizeof address;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  receiver_ = std::jthread([this](std::stop_token stop) { Receive(stop); });
  hasher_ = std::jthread([this](std::stop_token stop) { Hash(stop); });
  return true;
}

void LoginService::Stop() {
  for (std::jthread* t : {&receiver_, &hasher_}) {
    if (!t->joinable()) continue;
    t->request_stop();
    t->join();
  }
  queues_.clear();
  turns_.clear();
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

void LoginService::SendReply(const std::string& reply, std::uint32_t address, std::uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  to.sin_port = htons(port);
  std::string datagram = protocol::WireDatagram(reply);
  if (sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
    ++replied_;
  }
}

void LoginService::Receive(std::stop_token stop) {
  // One byte more than a request may have, so an oversized datagram is recognised.
  std::array<char, protocol::kDatagramSize + 1> buffer{};
  while (!stop.stop_requested()) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) continue;
    ++received_;
    if (static_cast<std::size_t>(n) > protocol::kDatagramSize || from.sin_family != AF_INET)
      continue;
    std::uint32_t address = ntohl(from.sin_addr.s_addr);
    std::uint16_t port = ntohs(from.sin_port);
    Sorted sorted =
        Sort(std::string_view(buffer.data(), static_cast<std::size_t>(n)), address, Clock::now());
    if (sorted.reply) SendReply(*sorted.reply, address, port);
    if (!sorted.work) continue;
    {
      std::lock_guard lock(queueMutex_);
      std::deque<Pending>& queue = queues_[address];
      if (queue.empty()) turns_.push_back(address);
      queue.push_back(Pending{address, port, std::move(*sorted.work)});
    }
    queueReady_.notify_one();
  }
}

void LoginService::Hash(std::stop_token stop) {
  for (;;) {
    Pending next;
    {
      std::unique_lock lock(queueMutex_);
      if (!queueReady_.wait(lock, stop, [this] { return !turns_.empty(); })) return;
      std::uint32_t sender = turns_.front();
      turns_.pop_front();
      std::deque<Pending>& queue = queues_[sender];
      next = std::move(queue.front());
      queue.pop_front();
      if (queue.empty()) {
        queues_.erase(sender);
      } else {
        turns_.push_back(sender);
      }
    }
    SendReply(Finish(next.work), next.address, next.port);
  }
}

bool LoginService::TakeAttempt(std::uint32_t sender, Clock::time_point now) {
  if (buckets_.size() >= kMaxTrackedSenders) {
    // Senders whose bucket has refilled are as good as new: forget them.
    std::erase_if(buckets_, [&](const auto& entry) {
      std::chrono::duration<double> idle = now - entry.second.last;
      return entry.second.tokens + idle.count() * options_.attemptsPerSecond >=
             options_.attemptBurst;
    });
    if (buckets_.size() >= kMaxTrackedSenders) return false;
  }
  auto [it, added] = buckets_.try_emplace(sender, Bucket{options_.attemptBurst, now});
  Bucket& bucket = it->second;
  if (!added) {
    std::chrono::duration<double> idle = now - bucket.last;
    bucket.tokens = std::min(options_.attemptBurst, bucket.tokens + std::max(0.0, idle.count()) *
                                                                        options_.attemptsPerSecond);
    bucket.last = now;
  }
  if (bucket.tokens < 1) return false;
  bucket.tokens -= 1;
  return true;
}

std::optional<std::string> LoginService::HandleDatagram(std::string_view datagram,
                                                        std::uint32_t sender,
                                                        Clock::time_point now) {
  Sorted sorted = Sort(datagram, sender, now);
  if (sorted.work) return Finish(*sorted.work);
  return sorted.reply;
}

LoginService::Sorted LoginService::Sort(std::string_view datagram, std::uint32_t sender,
                                        Clock::time_point now) {
  if (datagram.size() > protocol::kDatagramSize || !store_) return {};
  std::string_view text = protocol::DatagramText(datagram);
  bool login = text.starts_with(kLoginPrefix);
  bool join = text.starts_with(kJoinPrefix);
  if (!login && !join) return {};
  std::string_view body = text.substr(login ? kLoginPrefix.size() : kJoinPrefix.size());
  // Check the shape before spending an attempt, so garbage costs the sender nothing.
  if (!SplitFields(body, 1, login ? 2 : 6)) return {};
  if (!TakeAttempt(sender, now)) {
    return {Reply(login ? "login" : "joincl",
                  login ? protocol::status::kRefused : protocol::status::kAlreadyMember,
                  kTooManyAttempts),
            std::nullopt};
  }
  return login ? SortLogin(body) : SortJoin(body);
}

LoginService::Sorted LoginService::SortLogin(std::string_view body) {
  // id ; password ; adapter ; version
  std::vector<std::string_view> f = *SplitFields(body, 1, 2);
  if (f[3] != options_.clientVersion) return {Reply("login", protocol::status::kNewVersion), {}};
  std::optional<std::string> hash = store_->PasswordHash(f[0]);
  if (!hash) return {Reply("login", protocol::status::kRefused, kUnknownId), {}};
  return {std::nullopt, Work{true, std::string(body), std::move(*hash)}};
}

LoginService::Sorted LoginService::SortJoin(std::string_view body) {
  // id ; password ; name ; phone ; (empty) ; (empty) ; adapter ; version
  std::vector<std::string_view> f = *SplitFields(body, 1, 6);
  std::string_view id = f[0], password = f[1], name = f[2], phone = f[3], adapter = f[6];
  bool idOk = !protocol::CheckIdText(id) && id.size() >= 7 && id.size() <= 64;
  if (!idOk || password.size() < 6 || name.size() < 2 || phone.size() != 11 ||
      adapter.size() > 64) {
    return {Reply("joincl", protocol::status::kAlreadyMember, kFormInvalid), {}};
  }
  if (store_->Exists(id)) return {Reply("joincl", protocol::status::kAlreadyMember, kIdTaken), {}};
  return {std::nullopt, Work{false, std::string(body), {}}};
}

std::string LoginService::Finish(const Work& work) {
  if (work.login) {
    std::string_view password = (*SplitFields(work.body, 1, 2))[1];
    if (crypto_pwhash_str_verify(work.storedHash.c_str(), password.data(), password.size()) != 0) {
      return Reply("login", protocol::status::kRefused, kWrongPassword);
    }
    return Reply("login", protocol::status::kAdmitted);
  }
  std::vector<std::string_view> f = *SplitFields(work.body, 1, 6);
  switch (store_->Add(f[0], f[1], DecodeCp949(f[2]), DecodeCp949(f[3]), DecodeCp949(f[6]))) {
    case MemberStore::AddResult::kAdded:
      return Reply("joincl", protocol::status::kRegistered);
    case MemberStore::AddResult::kTaken:
      return Reply("joincl", protocol::status::kAlreadyMember, kIdTaken);
    case MemberStore::AddResult::kFailed:
      break;
  }
  return Reply("joincl", protocol::status::kAlreadyMember, kServerTrouble);
}

}  // namespace orvane::server
