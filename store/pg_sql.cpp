// The token rewrite for PostgreSQL. The tokenizer follows SQLite's: what it calls one token
// is written as one token, and tokens are joined by single blanks.
#include "store/pg_sql.h"

#include "store/schema.h"

#include <cctype>
#include <vector>

namespace store {

namespace {

enum class Kind { word, string, quoted_name, number, symbol };

struct Token {
    Kind kind;
    std::string text;
};

bool word_start(unsigned char c)
{
    return std::isalpha(c) || c == '_' || c >= 0x80;
}

bool word_char(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool is_word(const Token& token, const char* word)
{
    return token.kind == Kind::word && lower(token.text) == word;
}

// A quoted name as PostgreSQL writes it, its ASCII letters in lower case.
std::string quoted_name(std::string_view inner)
{
    std::string name = "\"";
    for (char c : inner) {
        if (c == '"')
            name += '"';
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name + "\"";
}

// Reads the quoted run opening at sql[at] (quote doubled inside); false when it never closes.
bool read_quoted(std::string_view sql, std::size_t* at, char close, std::string* inner)
{
    std::size_t i = *at + 1;
    inner->clear();
    while (i < sql.size()) {
        if (sql[i] == close) {
            if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
                *inner += close;
                i += 2;
                continue;
            }
            *at = i + 1;
            return true;
        }
        *inner += sql[i++];
    }
    return false;
}

bool tokenize(std::string_view sql, std::vector<Token>* tokens, std::string* why)
{
    static const char* const pairs[] = {"||", "<=", ">=", "<>", "!=", "==", "<<", ">>", "->"};
    std::size_t at = 0;
    while (at < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[at]);
        if (std::isspace(c)) {
            ++at;
        } else if (sql.substr(at, 2) == "--") {
            while (at < sql.size() && sql[at] != '\n')
                ++at;
        } else if (sql.substr(at, 2) == "/*") {
            const std::size_t end = sql.find("*/", at + 2);
            at = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (c == '\'') {
            const std::size_t start = at;
            std::string inner;
            if (!read_quoted(sql, &at, '\'', &inner)) {
                *why = "an unterminated string";
                return false;
            }
            tokens->push_back({Kind::string, std::string(sql.substr(start, at - start))});
        } else if (c == '"' || c == '`' || c == '[') {
            std::string inner;
            if (!read_quoted(sql, &at, c == '[' ? ']' : static_cast<char>(c), &inner)) {
                *why = "an unterminated name";
                return false;
            }
            tokens->push_back({Kind::quoted_name, quoted_name(inner)});
        } else if ((c == 'x' || c == 'X') && at + 1 < sql.size() && sql[at + 1] == '\'') {
            *why = "a blob literal";
            return false;
        } else if (word_start(c)) {
            const std::size_t start = at;
            while (at < sql.size() && word_char(static_cast<unsigned char>(sql[at])))
                ++at;
            tokens->push_back({Kind::word, std::string(sql.substr(start, at - start))});
        } else if (std::isdigit(c) ||
                   (c == '.' && at + 1 < sql.size() &&
                    std::isdigit(static_cast<unsigned char>(sql[at + 1])))) {
            const std::size_t start = at;
            while (at < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[at])) ||
                                       sql[at] == '.' || sql[at] == '_' ||
                                       ((sql[at] == '+' || sql[at] == '-') &&
                                        (sql[at - 1] == 'e' || sql[at - 1] == 'E'))))
                ++at;
            tokens->push_back({Kind::number, std::string(sql.substr(start, at - start))});
        } else if (c == '?' || c == ':' || c == '@' || c == '$' || c == '#') {
            *why = "a parameter";
            return false;
        } else {
            std::string symbol(1, static_cast<char>(c));
            for (const char* pair : pairs)
                if (sql.substr(at, 2) == pair)
                    symbol = pair;
            if (symbol == "->" && sql.substr(at, 3) == "->>")
                symbol = "->>";
            if (std::string_view("(),;+-*/%<>=&|~.").find(static_cast<char>(c)) ==
                    std::string_view::npos &&
                symbol.size() == 1) {
                *why = std::string("the character ") + static_cast<char>(c);
                return false;
            }
            at += symbol.size();
            tokens->push_back({Kind::symbol, symbol == "==" ? "=" : symbol});
        }
    }
    return true;
}

// The stand-in of person for a statement that may not read the digest.
std::string person_without_digest()
{
    std::string columns;
    for (const std::string& column : table_columns("person"))
        columns += (columns.empty() ? "" : " , ") +
                   (column == "password" ? std::string("NULL :: text AS password") : column);
    return "person AS ( SELECT " + columns + " FROM person )";
}

constexpr const char* catalogue =
    "( SELECT tablename AS name , 'table' AS type FROM pg_tables WHERE schemaname = "
    "current_schema ( ) UNION ALL SELECT indexname , 'index' FROM pg_indexes WHERE schemaname = "
    "current_schema ( ) ) AS sqlite_master";

} // namespace

bool rewrite_for_postgresql(std::string_view sql, const PgRewrite& options, std::string* out,
                            std::string* why)
{
    std::vector<Token> tokens;
    if (!tokenize(sql, &tokens, why))
        return false;
    while (!tokens.empty() && tokens.back().kind == Kind::symbol && tokens.back().text == ";")
        tokens.pop_back();
    const bool creates_table =
        tokens.size() >= 2 && is_word(tokens[0], "create") && is_word(tokens[1], "table");

    std::vector<std::string> words;
    std::size_t i = 0;
    if (options.hide_digest) {
        if (!tokens.empty() && is_word(tokens[0], "with")) {
            words.push_back("WITH");
            i = 1;
            if (tokens.size() > 1 && is_word(tokens[1], "recursive")) {
                words.push_back("RECURSIVE");
                i = 2;
            }
            words.push_back(person_without_digest() + " ,");
        } else {
            words.push_back("WITH " + person_without_digest());
        }
    }
    for (; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.kind == Kind::symbol && token.text == ";") {
            *why = "a second statement";
            return false;
        }
        if (token.kind != Kind::word) {
            words.push_back(token.text);
            continue;
        }
        const std::string word = lower(token.text);
        const bool next_opens = i + 1 < tokens.size() && tokens[i + 1].text == "(";
        if (word == "like") {
            words.push_back("ILIKE");
            // SQLite's LIKE has no escape character unless one is named; PostgreSQL's has one.
            if (i + 1 < tokens.size() && tokens[i + 1].kind == Kind::string &&
                !(i + 2 < tokens.size() &&
                  (is_word(tokens[i + 2], "escape") || tokens[i + 2].text == "||"))) {
                words.push_back(tokens[++i].text);
                words.push_back("ESCAPE ''");
            }
        } else if (word == "integer" && i + 2 < tokens.size() && is_word(tokens[i + 1], "primary") &&
                   is_word(tokens[i + 2], "key")) {
            words.push_back("integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
            i += 2;
        } else if (word == "text" && creates_table && !next_opens) {
            words.push_back("text COLLATE \"C\"");
        } else if (word == "ifnull" && next_opens) {
            words.push_back("coalesce");
        } else if (word == "begin" && i == 0 && i + 1 < tokens.size() &&
                   (is_word(tokens[1], "immediate") || is_word(tokens[1], "exclusive") ||
                    is_word(tokens[1], "deferred"))) {
            words.push_back("BEGIN");
            ++i;
        } else if (word == "sqlite_master") {
            words.push_back(catalogue);
        } else {
            words.push_back(token.text);
        }
    }
    out->clear();
    for (const std::string& word : words)
        *out += (out->empty() ? "" : " ") + word;
    return true;
}

} // namespace store
