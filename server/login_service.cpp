#include "server/login_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sodium.h>
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
// One text for an unknown ID and a wrong password, so neither the text nor the time of the
// answer tells whether an ID exists.
constexpr std::string_view kWrongIdOrPassword = "아이디 또는 비밀번호가 맞지 않습니다.";
constexpr std::string_view kTooManyAttempts = "시도가 너무 많습니다. 잠시 후 다시 하세요.";
constexpr std::string_view kIdTaken = "이미 사용 중인 아이디입니다.";
constexpr std::string_view kFormInvalid = "입력한 정보가 올바르지 않습니다.";
constexpr std::string_view kServerTrouble = "서버 오류입니다. 잠시 후 다시 하세요.";

constexpr std::string_view kLoginPrefix = "login_";
constexpr std::string_view kJoinPrefix = "joincl_";
constexpr std::size_t kMaxTrackedSenders = 65536;
constexpr std::size_t kMaxKnownAddresses = 65536;
constexpr std::size_t kMaxQueuedKnown = 64;
constexpr unsigned kMaxHashThreads = 16;

// Refills the key's token bucket up to burst at perSecond and takes one token; false when none
// is left. New keys start full; a full map first forgets the keys whose bucket has refilled.
template <typename Map, typename Key>
bool TakeToken(Map& buckets, const Key& key, double burst, double perSecond,
               LoginService::Clock::time_point now) {
  auto refilled = [&](const auto& bucket) {
    const std::chrono::duration<double> idle = now - bucket.last;
    return std::min(burst, bucket.tokens + std::max(0.0, idle.count()) * perSecond);
  };
  if (buckets.size() >= kMaxTrackedSenders && !buckets.contains(key)) {
    std::erase_if(buckets, [&](const auto& entry) { return refilled(entry.second) >= burst; });
    if (buckets.size() >= kMaxTrackedSenders) return false;
  }
  auto [it, added] = buckets.try_emplace(key);
  auto& bucket = it->second;
  bucket.tokens = added ? burst : refilled(bucket);
  bucket.last = now;
  if (bucket.tokens < 1) return false;
  bucket.tokens -= 1;
  return true;
}

template <typename Map, typename Key>
void GiveToken(Map& buckets, const Key& key, double burst) {
  const auto it = buckets.find(key);
  if (it != buckets.end()) it->second.tokens = std::min(burst, it->second.tokens + 1);
}

double PerSecond(std::chrono::seconds refill) {
  return refill.count() > 0 ? 1.0 / static_cast<double>(refill.count()) : 1e9;
}

std::string KnownKey(std::string_view id, std::uint32_t address) {
  std::string key(id);
  key.push_back('\0');
  key.append(reinterpret_cast<const char*>(&address), sizeof address);
  return key;
}

bool HasControlCharacter(std::string_view utf8) {
  return std::any_of(utf8.begin(), utf8.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

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

}  // namespace

LoginService::LoginService(LoginServiceOptions options) : options_(std::move(options)) {}

LoginService::~LoginService() { Stop(); }

bool LoginService::OpenDatabase() {
  if (store_) return true;
  if (sodium_init() < 0) {
    error_ = "libsodium failed to initialise";
    return false;
  }
  auto store = OpenMemberStore(options_.databasePath, options_.cheapHashing, error_);
  if (!store) return false;
  std::optional<std::string> standIn =
      HashPassword("no member has this password", options_.cheapHashing);
  if (!standIn) {
    error_ = "cannot hash a password";
    return false;
  }
  standInHash_ = std::move(*standIn);
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
  unsigned threads = static_cast<unsigned>(options_.hashThreads);
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxHashThreads);
  for (unsigned i = 0; i < threads; ++i) {
    hashers_.emplace_back([this](std::stop_token stop) { Hash(stop); });
  }
  return true;
}

void LoginService::Stop() {
  // Queued work is dropped: a stop waits for no more than the hashes already running.
  for (std::jthread& hasher : hashers_) hasher.request_stop();
  if (receiver_.joinable()) {
    receiver_.request_stop();
    receiver_.join();
  }
  for (std::jthread& hasher : hashers_) hasher.join();
  hashers_.clear();
  queues_.clear();
  turns_.clear();
  knownLane_.clear();
  queued_ = 0;
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
    if (sorted.work && !Enqueue(address, port, *sorted.work)) {
      Refund(*sorted.work);
      SendReply(
          Reply(sorted.work->login ? "login" : "joincl",
                sorted.work->login ? protocol::status::kRefused : protocol::status::kAlreadyMember,
                kTooManyAttempts),
          address, port);
    }
  }
}

bool LoginService::Enqueue(std::uint32_t address, std::uint16_t port, Work work) {
  {
    std::lock_guard lock(queueMutex_);
    if (work.knownAddress) {
      if (knownLane_.size() >= kMaxQueuedKnown) return false;
      knownLane_.push_back(Pending{address, port, std::move(work)});
    } else {
      // Logins wait per ID, so guesses at one member from any number of forged addresses
      // delay others by at most one hash; sign-ups wait per sender address.
      std::string key = work.login ? "id " + work.id : KnownKey({}, address);
      std::deque<Pending>& queue = queues_[key];
      if (queued_ >= options_.maxQueuedHashes || queue.size() >= options_.maxQueuedEach) {
        if (queue.empty()) queues_.erase(key);
        return false;
      }
      if (queue.empty()) turns_.push_back(key);
      queue.push_back(Pending{address, port, std::move(work)});
      ++queued_;
    }
  }
  queueReady_.notify_one();
  return true;
}

void LoginService::Hash(std::stop_token stop) {
  for (;;) {
    Pending next;
    {
      std::unique_lock lock(queueMutex_);
      if (!queueReady_.wait(lock, stop, [this] { return !turns_.empty() || !knownLane_.empty(); }))
        return;
      if (!knownLane_.empty()) {
        next = std::move(knownLane_.front());
        knownLane_.pop_front();
        lock.unlock();
        Answer(next);
        continue;
      }
      --queued_;
      std::string turn = std::move(turns_.front());
      turns_.pop_front();
      std::deque<Pending>& queue = queues_[turn];
      next = std::move(queue.front());
      queue.pop_front();
      if (queue.empty()) {
        queues_.erase(turn);
      } else {
        turns_.push_back(std::move(turn));
      }
    }
    Answer(next);
  }
}

void LoginService::Answer(const Pending& pending) {
  const std::string reply = Finish(pending.work);
  if (options_.log) {
    // "login_ok", "joincl_premember", ...: the reason after them is CP949 text for the member.
    const std::size_t head = reply.find('_');
    const std::size_t end = head == std::string::npos ? head : reply.find('_', head + 1);
    std::array<char, INET_ADDRSTRLEN> text{};
    const in_addr address{htonl(pending.address)};
    inet_ntop(AF_INET, &address, text.data(), text.size());
    options_.log(std::string(pending.work.login ? "login" : "sign-up") + " from " + text.data() +
                 ": " + reply.substr(0, end));
  }
  SendReply(reply, pending.address, pending.port);
}

bool LoginService::TakeAttempt(std::uint32_t sender, Clock::time_point now) {
  return TakeToken(buckets_, sender, options_.attemptBurst, options_.attemptsPerSecond, now);
}

bool LoginService::ChargeGuess(const Work& work, Clock::time_point now) {
  std::lock_guard lock(throttleMutex_);
  if (work.knownAddress) {
    return TakeToken(idFailures_, KnownKey(work.id, work.sender), options_.idFailureBurst,
                     PerSecond(options_.idFailureRefill), now);
  }
  const double idRate = PerSecond(options_.idFailureRefill);
  const double addressRate = PerSecond(options_.addressFailureRefill);
  const std::string id(work.id);
  if (!TakeToken(idFailures_, id, options_.idFailureBurst, idRate, now)) return false;
  if (TakeToken(addressFailures_, work.sender, options_.addressFailureBurst, addressRate, now)) {
    return true;
  }
  GiveToken(idFailures_, id, options_.idFailureBurst);
  return false;
}

void LoginService::Refund(const Work& work) {
  std::lock_guard lock(throttleMutex_);
  if (work.knownAddress) {
    GiveToken(idFailures_, KnownKey(work.id, work.sender), options_.idFailureBurst);
    return;
  }
  GiveToken(idFailures_, work.id, options_.idFailureBurst);
  GiveToken(addressFailures_, work.sender, options_.addressFailureBurst);
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
  return login ? SortLogin(body, sender, now) : SortJoin(body);
}

LoginService::Sorted LoginService::SortLogin(std::string_view body, std::uint32_t sender,
                                             Clock::time_point now) {
  // id ; password ; adapter ; version
  std::vector<std::string_view> f = *SplitFields(body, 1, 2);
  if (f[3] != options_.clientVersion) return {Reply("login", protocol::status::kNewVersion), {}};
  Work work{true, std::string(body), {}, std::string(f[0]), sender};
  {
    std::lock_guard lock(throttleMutex_);
    work.knownAddress = knownAddresses_.contains(KnownKey(work.id, sender));
  }
  if (!ChargeGuess(work, now))
    return {Reply("login", protocol::status::kRefused, kTooManyAttempts), {}};
  std::optional<std::string> hash = store_->PasswordHash(work.id);
  work.unknownId = !hash;
  work.storedHash = hash ? std::move(*hash) : standInHash_;
  return {std::nullopt, std::move(work)};
}

LoginService::Sorted LoginService::SortJoin(std::string_view body) {
  // id ; password ; name ; phone ; (empty) ; (empty) ; adapter ; version
  std::vector<std::string_view> f = *SplitFields(body, 1, 6);
  std::string_view id = f[0], adapter = f[6];
  // The sign-up dialog's own checks, on the decoded text, and no control characters.
  const protocol::JoinForm form{std::string(id), std::string(f[1]), std::string(f[1]),
                                DecodeCp949(f[2]), DecodeCp949(f[3])};
  if (protocol::CheckJoinForm(form) || id.size() > 64 || adapter.size() > 64 ||
      HasControlCharacter(form.name) || HasControlCharacter(form.phone)) {
    return {Reply("joincl", protocol::status::kAlreadyMember, kFormInvalid), {}};
  }
  if (store_->Exists(id)) return {Reply("joincl", protocol::status::kAlreadyMember, kIdTaken), {}};
  Work work;
  work.login = false;
  work.body = std::string(body);
  return {std::nullopt, std::move(work)};
}

std::string LoginService::Finish(const Work& work) {
  if (work.login) {
    std::string_view password = (*SplitFields(work.body, 1, 2))[1];
    if (crypto_pwhash_str_verify(work.storedHash.c_str(), password.data(), password.size()) != 0 ||
        work.unknownId) {
      return Reply("login", protocol::status::kRefused, kWrongIdOrPassword);
    }
    Refund(work);
    std::lock_guard lock(throttleMutex_);
    if (knownAddresses_.size() >= kMaxKnownAddresses) knownAddresses_.clear();
    knownAddresses_.insert(KnownKey(work.id, work.sender));
    return Reply("login", protocol::status::kAdmitted);
  }
  std::vector<std::string_view> f = *SplitFields(work.body, 1, 6);
  const std::optional<std::string> hash = HashPassword(f[1], options_.cheapHashing);
  if (!hash) return Reply("joincl", protocol::status::kAlreadyMember, kServerTrouble);
  switch (store_->Add(f[0], *hash, DecodeCp949(f[2]), DecodeCp949(f[3]), DecodeCp949(f[6]))) {
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
