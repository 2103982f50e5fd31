// The database's tables and the creation of a new database at the first administrator
// login.
#pragma once

#include "platform/platform.h"

namespace store {

// Makes every missing table in order (vendrelversion, person, subjectlink, ticket), writes
// the version row and the administrator row with the digest of password along with their
// tables, and logs the administrator in. Messages are owned by dialog. Returns 0 when all
// four tables exist afterwards, -1 after the first failure; nothing made before a failure
// is undone, so the next attempt carries on where this one stopped.
int create_schema(platform::Window dialog, const char* password);

} // namespace store
