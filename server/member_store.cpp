#include "server/member_store.h"

#include <fcntl.h>
#include <sodium.h>
#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <mutex>

#include "server/postgres_member_store.h"

namespace orvane::server {
namespace {

struct StatementDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

class SqliteMemberStore final : public MemberStore {
 public:
  ~SqliteMemberStore() override {
    if (db_ != nullptr) sqlite3_close(db_);
  }

  bool Open(const std::string& path, bool cheapHashing, std::string& error) {
    // Password hashes and phone numbers are for the service alone: a new database is created
    // readable by its owner only (SQLite gives its journal the same mode).
    if (path != ":memory:") {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) ::close(fd);
    }
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
    if (fresh) {
      const auto hash = HashPassword(kDemoMemberPassword, cheapHashing);
      if (!hash || Add(kDemoMemberId, *hash, "데모", "01000000000", "") != AddResult::kAdded) {
        error = "cannot add the demo member to " + path;
        return false;
      }
    }
    return true;
  }

  AddResult Add(std::string_view id, std::string_view passwordHash, std::string_view name,
                std::string_view phone, std::string_view adapter) override {
    std::lock_guard lock(mutex_);
    Statement s = Prepare(
        "INSERT INTO members (id, password_hash, name, phone, adapter) SELECT ?, ?, ?, ?, ?"
        " WHERE NOT EXISTS (SELECT 1 FROM members WHERE id = ?1 COLLATE NOCASE)");
    if (!s) return AddResult::kFailed;
    Bind(s.get(), 1, id);
    Bind(s.get(), 2, passwordHash);
    Bind(s.get(), 3, name);
    Bind(s.get(), 4, phone);
    Bind(s.get(), 5, adapter);
    int rc = sqlite3_step(s.get());
    if (rc == SQLITE_DONE) return sqlite3_changes(db_) == 1 ? AddResult::kAdded : AddResult::kTaken;
    return (rc & 0xFF) == SQLITE_CONSTRAINT ? AddResult::kTaken : AddResult::kFailed;
  }

  bool Exists(std::string_view id) override {
    std::lock_guard lock(mutex_);
    Statement s = Prepare("SELECT 1 FROM members WHERE id = ? COLLATE NOCASE");
    if (!s) return true;
    Bind(s.get(), 1, id);
    return sqlite3_step(s.get()) == SQLITE_ROW;
  }

  std::optional<std::string> PasswordHash(std::string_view id) override {
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

  Statement Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) return nullptr;
    return Statement(s);
  }

  static void Bind(sqlite3_stmt* s, int index, std::string_view text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};

}  // namespace

std::optional<std::string> HashPassword(std::string_view password, bool cheap) {
  std::array<char, crypto_pwhash_STRBYTES> out{};
  unsigned long long ops = cheap ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
  std::size_t mem = cheap ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
  if (crypto_pwhash_str_alg(out.data(), password.data(), password.size(), ops, mem,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  return std::string(out.data());
}

bool IsPostgresLocation(std::string_view location) {
  return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

std::unique_ptr<MemberStore> OpenMemberStore(const std::string& location, bool cheapHashing,
                                             std::string& error) {
  if (IsPostgresLocation(location)) return OpenPostgresMemberStore(location, cheapHashing, error);
  auto store = std::make_unique<SqliteMemberStore>();
  if (!store->Open(location, cheapHashing, error)) return nullptr;
  return store;
}

}  // namespace orvane::server
