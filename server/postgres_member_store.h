#pragma once

#include <memory>
#include <string>

#include "server/member_store.h"

namespace orvane::server {

// Members in a PostgreSQL database (libpq connection URI), shared by every login service
// connected to it; nothing when the database cannot be reached or set up.
std::unique_ptr<MemberStore> OpenPostgresMemberStore(const std::string& uri, bool cheapHashing,
                                                     std::string& error);

}  // namespace orvane::server
