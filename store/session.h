// Process-wide facts of the working session that several dialog modules read: who is
// logged in, and which optional features are on. The login writes the first; nothing sets
// the second.
#pragma once

namespace store {

// The administrator: the first row of a new database, under this name. The name is never
// given to another subject, and the administrator is never removed.
constexpr const char* administrator_name = "admin";
constexpr int administrator_id = 1;

// Id of the logged-in person's row in person; -1 while nobody is logged in. Written only
// by a successful login and by the creation of a new database (the administrator, 1).
extern int current_person_id;

// Optional-feature bits. None is ever set, so the dialogs disable the buttons of these
// features and leave the mail account kind out of the kind list.
enum FeatureBit : unsigned { feature_mail = 1, feature_files = 2, feature_get = 4 };
extern unsigned feature_flags;

} // namespace store
