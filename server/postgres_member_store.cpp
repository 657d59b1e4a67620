#include "server/postgres_member_store.h"

#include <libpq-fe.h>

#include <mutex>
#include <vector>

namespace orvane::server {
namespace {

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnectionDeleter {
  void operator()(PGconn* c) const { PQfinish(c); }
};
using Connection = std::unique_ptr<PGconn, ConnectionDeleter>;

// Several services may set up one new database at once; this lock makes that one at a time.
constexpr const char* kSetupLock = "SELECT pg_advisory_xact_lock(795310029)";

class PostgresMemberStore final : public MemberStore {
 public:
  bool Open(const std::string& uri, bool cheapHashing, std::string& error) {
    conn_.reset(PQconnectdb(uri.c_str()));
    if (!conn_ || PQstatus(conn_.get()) != CONNECTION_OK) {
      error = "cannot connect to the member database: " + LastError();
      return false;
    }
    if (!Prepare()) {
      error = "cannot set up the member database connection: " + LastError();
      return false;
    }
    const auto demoHash = HashPassword(kDemoMemberPassword, cheapHashing);
    if (!demoHash) {
      error = "cannot hash the demo member's password";
      return false;
    }
    if (!Command("BEGIN") || !Command(kSetupLock)) return Fail(error);
    Result fresh = Query("SELECT to_regclass('members') IS NULL", {});
    if (!fresh || PQntuples(fresh.get()) != 1) return Fail(error);
    const bool isFresh = std::string_view(PQgetvalue(fresh.get(), 0, 0)) == "t";
    if (!Command("CREATE TABLE IF NOT EXISTS members ("
                 " id TEXT PRIMARY KEY NOT NULL,"
                 " password_hash TEXT NOT NULL,"
                 " name TEXT NOT NULL, phone TEXT NOT NULL, adapter TEXT NOT NULL,"
                 " joined TIMESTAMPTZ NOT NULL DEFAULT now())") ||
        !Command("CREATE UNIQUE INDEX IF NOT EXISTS members_id_any_case ON members (lower(id))")) {
      return Fail(error);
    }
    if (isFresh &&
        Insert(kDemoMemberId, *demoHash, "데모", "01000000000", "") != AddResult::kAdded) {
      return Fail(error);
    }
    if (!Command("COMMIT")) return Fail(error);
    return true;
  }

  AddResult Add(std::string_view id, std::string_view passwordHash, std::string_view name,
                std::string_view phone, std::string_view adapter) override {
    std::lock_guard lock(mutex_);
    return Insert(id, passwordHash, name, phone, adapter);
  }

  bool Exists(std::string_view id) override {
    std::lock_guard lock(mutex_);
    Result r = Query("SELECT 1 FROM members WHERE lower(id) = lower($1)", {id});
    return !r || PQntuples(r.get()) > 0;
  }

  std::optional<std::string> PasswordHash(std::string_view id) override {
    std::lock_guard lock(mutex_);
    Result r = Query("SELECT password_hash FROM members WHERE id = $1", {id});
    if (!r || PQntuples(r.get()) != 1) return std::nullopt;
    return std::string(PQgetvalue(r.get(), 0, 0));
  }

 private:
  // Settings every connection needs, again after a reconnection.
  bool Prepare() {
    if (PQsetClientEncoding(conn_.get(), "UTF8") != 0) return false;
    // A stuck database must not hold a hashing thread for ever.
    Result r(PQexec(conn_.get(), "SET statement_timeout = '5s'"));
    return r && PQresultStatus(r.get()) == PGRES_COMMAND_OK;
  }

  AddResult Insert(std::string_view id, std::string_view passwordHash, std::string_view name,
                   std::string_view phone, std::string_view adapter) {
    // Both the primary key and the any-case index refuse a taken ID, also one added by another
    // service a moment ago: ON CONFLICT makes that a count of 0, not an error.
    Result r = Query(
        "INSERT INTO members (id, password_hash, name, phone, adapter)"
        " VALUES ($1, $2, $3, $4, $5) ON CONFLICT DO NOTHING",
        {id, passwordHash, name, phone, adapter});
    if (!r) return AddResult::kFailed;
    return std::string_view(PQcmdTuples(r.get())) == "1" ? AddResult::kAdded : AddResult::kTaken;
  }

  bool Command(const char* sql) { return Query(sql, {}) != nullptr; }

  // Runs one statement with text parameters; nothing on failure. A lost connection is opened
  // again once (the database restarted); the statement is then tried once more.
  Result Query(const char* sql, std::initializer_list<std::string_view> params) {
    std::vector<std::string> owned(params.begin(), params.end());
    std::vector<const char*> values;
    values.reserve(owned.size());
    for (const std::string& p : owned) values.push_back(p.c_str());
    for (int attempt = 0; attempt < 2; ++attempt) {
      Result r(PQexecParams(conn_.get(), sql, static_cast<int>(values.size()), nullptr,
                            values.data(), nullptr, nullptr, 0));
      const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
      if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return r;
      if (PQstatus(conn_.get()) == CONNECTION_OK || attempt > 0) break;
      PQreset(conn_.get());
      if (PQstatus(conn_.get()) != CONNECTION_OK || !Prepare()) break;
    }
    return nullptr;
  }

  bool Fail(std::string& error) {
    error = "cannot set up the members table: " + LastError();
    Command("ROLLBACK");
    return false;
  }

  std::string LastError() const {
    std::string text = conn_ ? PQerrorMessage(conn_.get()) : "out of memory";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
  }

  // One connection, used by one thread at a time: lookups from the receiving thread, additions
  // from the hashing threads.
  std::mutex mutex_;
  Connection conn_;
};

}  // namespace

std::unique_ptr<MemberStore> OpenPostgresMemberStore(const std::string& uri, bool cheapHashing,
                                                     std::string& error) {
  auto store = std::make_unique<PostgresMemberStore>();
  if (!store->Open(uri, cheapHashing, error)) return nullptr;
  return store;
}

}  // namespace orvane::server
