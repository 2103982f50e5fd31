// The statements of the program and of its peers as PostgreSQL needs them: one rewrite of
// the tokens, read by SQLite's own rules so that the statement PostgreSQL runs is the one
// the guard judged. Quoted text is never touched.
#pragma once

#include <string>
#include <string_view>

namespace store {

struct PgRewrite {
    // Reads of person.password give NULL: the statement runs over a stand-in of the table
    // whose password column is NULL.
    bool hide_digest = false;
};

// Rewrites sql (one statement; a trailing semicolon is dropped) for PostgreSQL into *out:
//   id integer primary key  -> an identity column only the database numbers: a peer can
//                              neither write an id nor change one, so no id it chose can
//                              ever collide with the next one given
//   text (in create table)   -> text collate "C", so that order and comparison are bytewise
//   like / not like          -> ilike / not ilike, with escape '' after a literal pattern
//   ==                       -> =
//   ifnull(                  -> coalesce(
//   begin immediate|exclusive|deferred -> begin
//   sqlite_master            -> the tables and indexes of the current schema, by name and type
//   [name], `name`, "Name"   -> "name" (identifiers ignore the case of ASCII letters)
// Tokens are written one blank apart, so that no comment, dollar quote, escape string or
// string continuation of PostgreSQL's can form. Returns false with *why for what PostgreSQL
// would read otherwise: parameters, blob literals, a second statement, characters SQLite
// does not know.
bool rewrite_for_postgresql(std::string_view sql, const PgRewrite& options, std::string* out,
                            std::string* why);

} // namespace store
