#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::server {

// The member seeded into a new store, so a fresh install can log in at once.
inline constexpr std::string_view kDemoMemberId = "demo1234";
inline constexpr std::string_view kDemoMemberPassword = "orvane2024";

// An Argon2id hash string of password (libsodium's cheapest settings when cheap: tests and
// fuzzing only); nothing when hashing failed.
std::optional<std::string> HashPassword(std::string_view password, bool cheap);

// Where members are kept. Every call is safe from several threads at once. IDs that differ only
// in letter case name the same member.
class MemberStore {
 public:
  enum class AddResult { kAdded, kTaken, kFailed };

  virtual ~MemberStore() = default;

  // Adds a member unless the ID (in any letter case) is taken; exactly one of two racing
  // additions of the same ID succeeds, also across services sharing one database.
  virtual AddResult Add(std::string_view id, std::string_view passwordHash, std::string_view name,
                        std::string_view phone, std::string_view adapter) = 0;
  // True when the ID is taken in any letter case, and when the store cannot tell.
  virtual bool Exists(std::string_view id) = 0;
  // The stored hash of exactly this ID.
  virtual std::optional<std::string> PasswordHash(std::string_view id) = 0;
};

// Opens the store at location: a PostgreSQL connection URI ("postgresql://..." or
// "postgres://...") or an SQLite file (created 0600 when absent). A new store gets the members
// table and the demo member, hashed cheaply when cheapHashing is set.
std::unique_ptr<MemberStore> OpenMemberStore(const std::string& location, bool cheapHashing,
                                             std::string& error);

bool IsPostgresLocation(std::string_view location);

}  // namespace orvane::server
