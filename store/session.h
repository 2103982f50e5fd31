// Process-wide facts of the working session that several dialog modules read: who is
// logged in, and which optional features are on. The login writes the first; nothing sets
// the second.
#pragma once

#include <string>

namespace store {

// The administrator: the first row of a new database, under this name. The name is never
// given to another subject, and the administrator is never removed.
constexpr const char* administrator_name = "admin";
constexpr int administrator_id = 1;

// Id of the logged-in person's row in person; -1 while nobody is logged in. Written only
// by a successful login and by the creation of a new database (the administrator, 1).
extern int current_person_id;

// Who logged in last, for a client that logs in to its server again by itself after its
// connection was made anew: the name as typed and the digest of the password. Written by a
// successful login; the digest also when that person changes their own password. Kept in
// memory only, for the life of the process.
extern std::string login_name;
extern std::string login_digest;

// The role of the subjects that may log in (besides those without a role): persons.
constexpr int login_role = 1;

// The login's statement for user: the first row names the person's id and password digest;
// no row means nobody of that name may log in. One text for the local login and for the
// server that checks its clients.
std::string login_statement(const std::string& user);

// Optional-feature bits. None is ever set, so the dialogs disable the buttons of these
// features and leave the mail account kind out of the kind list.
enum FeatureBit : unsigned { feature_mail = 1, feature_files = 2, feature_get = 4 };
extern unsigned feature_flags;

} // namespace store
