// The generator of a decade-sized file: every row made from a seeded generator and bound to
// one prepared insert per table, all in one transaction, so a million ticket rows take
// seconds. The tables are made by the program's own creation statements.
#include "harness/decade.h"

#include "store/schema.h"
#include "tickets/ticket_codes.h"
#include "util/md5.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace testing_support {
namespace {

constexpr const char* staff_password = "secret";

constexpr const char* first_names[] = {"Lena",  "Tom",   "Ada",  "Piet", "Mara", "Jon",
                                       "Ines",  "Karl",  "Noor", "Eva",  "Luc",  "Saskia",
                                       "Bruno", "Femke", "Otto", "Rosa"};
constexpr const char* last_names[] = {"Baker",  "Visser", "Moreau", "Jansen", "Keller", "Novak",
                                      "Larsen", "Costa",  "Berger", "Smit",   "Weber",  "Dijk"};
// No trade is part of a place or of another trade, so a search by one finds only its own.
constexpr const char* places[] = {"Harbour",  "Market", "Hill",   "River",  "Station",
                                  "Castle",   "Mill",   "Bridge", "Park",   "Church",
                                  "Old Town", "North",  "South",  "Westend"};
constexpr const char* trades[] = {"Bakery",   "Dental",  "Garage",  "Pharmacy", "Florist",
                                  "Brewery",  "Joinery", "Tailors", "Optician", "Printshop",
                                  "Butchers", "Kennels", "Laundry", "Stables"};
constexpr const char* subjects[] = {"Printer does not print",      "Cannot log in",
                                    "Mail stuck in outbox",        "Screen stays black",
                                    "Invoice shows old price",     "Scanner not found",
                                    "Backup failed last night",    "New laptop for intern",
                                    "Phone line crackles",         "Password expired",
                                    "Shared folder is gone",       "Calendar out of sync",
                                    "Till prints double receipts", "Wifi drops at noon",
                                    "Order form rejects dates",    "Card reader offline"};
constexpr const char* states[] = {"new", "open", "waiting", "answered", "done"};
constexpr const char* sentences[] = {
    "Called in the morning and described the problem in some detail.",
    "Restarted the machine together, which helped only for an hour.",
    "The same thing happened last spring, see the older versions.",
    "Waiting for the supplier to send a replacement part.",
    "Customer asks for a visit before the end of the week.",
    "Checked the cables and the settings; everything looks as it should.",
    "Will try again after the update tonight."};

// A small, fixed generator, so the same shape always gives the same file.
struct Random {
    std::uint64_t state;
    unsigned next(unsigned bound)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>((state >> 33) % bound);
    }
};

template <typename T, std::size_t N> const T& pick(Random& random, const T (&items)[N])
{
    return items[random.next(N)];
}

// "YYYY-MM-DD hh:mm:ss" of seconds since 1970 (no time zone: the stamps are only compared).
std::string stamp_of(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400;
    const int rest = static_cast<int>(seconds % 86400);
    // Civil date from a day count (the proleptic Gregorian calendar).
    days += 719468;
    const std::int64_t era = days / 146097;
    const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned month_part = (5 * day_of_year + 2) / 153;
    const unsigned day = day_of_year - (153 * month_part + 2) / 5 + 1;
    const unsigned month = month_part < 10 ? month_part + 3 : month_part - 9;
    const std::int64_t year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(year), month,
                  day, rest / 3600, rest / 60 % 60, rest % 60);
    return text;
}

constexpr std::int64_t first_day = 1420070400; // 2015-01-01 00:00:00

struct Writer {
    sqlite3* db = nullptr;
    std::string* error;

    bool fail()
    {
        *error = db ? sqlite3_errmsg(db) : "cannot open";
        return false;
    }
    bool exec(const std::string& sql)
    {
        return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || fail();
    }
    sqlite3_stmt* prepare(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail();
        return statement;
    }
};

void bind_text(sqlite3_stmt* statement, int column, const std::string& text)
{
    sqlite3_bind_text(statement, column, text.c_str(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void bind_optional(sqlite3_stmt* statement, int column, const std::string& text)
{
    if (text.empty())
        sqlite3_bind_null(statement, column);
    else
        bind_text(statement, column, text);
}

bool done(Writer& writer, sqlite3_stmt* statement)
{
    const int stepped = sqlite3_step(statement);
    sqlite3_reset(statement);
    return stepped == SQLITE_DONE || writer.fail();
}

std::string digest_of(const char* password)
{
    char digest[33];
    util::hash_password(password, digest);
    return digest;
}

struct People {
    int first_staff = 2;
    int first_group = 0;
    int first_customer = 0;
    int customers = 0;
};

bool write_people(Writer& w, const DecadeShape& shape, Random& random, People* people,
                  DecadeFacts* facts)
{
    sqlite3_stmt* insert =
        w.prepare("insert into person (id,name,password,role,ac1,email,place,date_b) values "
                  "(?,?,?,?,?,?,?,?)");
    if (!insert)
        return false;
    const std::string created = stamp_of(first_day);
    const std::string staff_digest = digest_of(staff_password);
    people->first_group = people->first_staff + shape.staff;
    people->first_customer = people->first_group + shape.groups;
    people->customers = std::max(shape.subjects - people->first_customer + 1, 0);
    bool ok = true;
    for (int id = 1; ok && id < people->first_customer + people->customers; ++id) {
        std::string name, password, ac1, email, place;
        int role = 1;
        if (id == 1) {
            name = "admin";
            password = digest_of("admin");
        } else if (id < people->first_group) {
            char text[16];
            std::snprintf(text, sizeof text, "staff%02d", id - people->first_staff + 1);
            name = text;
            password = staff_digest;
            email = name + "@office.example";
        } else if (id < people->first_customer) {
            char text[32];
            std::snprintf(text, sizeof text, "Desk %03d", id - people->first_group + 1);
            name = text;
            role = 5;
            ac1 = "1";
        } else {
            char number[16];
            std::snprintf(number, sizeof number, " %06d", id);
            role = random.next(100) < 80 ? 1 : 2;
            place = pick(random, places);
            name = role == 1 ? std::string(pick(random, first_names)) + " " +
                                   pick(random, last_names) + number
                             : place + " " + pick(random, trades) + number;
            email = random.next(2) ? "contact" + std::string(number + 1) + "@mail.example" : "";
        }
        sqlite3_bind_int(insert, 1, id);
        bind_text(insert, 2, name);
        bind_optional(insert, 3, password);
        sqlite3_bind_int(insert, 4, role);
        bind_optional(insert, 5, ac1);
        bind_optional(insert, 6, email);
        bind_optional(insert, 7, place);
        bind_text(insert, 8, created);
        ok = done(w, insert);
    }
    sqlite3_finalize(insert);
    facts->staff_name = "staff01";
    facts->staff_password = staff_password;
    facts->measured_group = "Desk 001";
    return ok;
}

bool write_links(Writer& w, const DecadeShape& shape, Random& random, const People& people,
                 DecadeFacts* facts)
{
    sqlite3_stmt* insert = w.prepare(
        "insert into subjectlink (begindate,personid,personid2,linklevelkind,reason,description,"
        "date_b,date_e) values (?,?,?,?,?,?,?,?)");
    if (!insert)
        return false;
    const std::string created = stamp_of(first_day);
    facts->staff_groups = std::min(5, shape.groups);
    int written = 0;
    bool ok = true;
    // Each staff member in five groups; the first in the first five.
    for (int s = 0; ok && s < shape.staff && shape.groups > 0; ++s) {
        for (int k = 0; ok && k < facts->staff_groups; ++k) {
            bind_text(insert, 1, created);
            sqlite3_bind_int(insert, 2, people.first_staff + s);
            sqlite3_bind_int(insert, 3, people.first_group + (s * 5 + k) % shape.groups);
            sqlite3_bind_int(insert, 4, 3);
            bind_text(insert, 5, "Member");
            sqlite3_bind_null(insert, 6);
            bind_text(insert, 7, created);
            sqlite3_bind_null(insert, 8);
            ok = done(w, insert);
            ++written;
        }
    }
    const unsigned span = static_cast<unsigned>(3650 * 86400);
    for (; ok && written < shape.links && people.customers > 1; ++written) {
        const int a = people.first_customer + static_cast<int>(random.next(people.customers));
        int b = people.first_customer + static_cast<int>(random.next(people.customers));
        if (b == a)
            b = a + 1 < people.first_customer + people.customers ? a + 1 : people.first_customer;
        if (facts->linked_subject.empty())
            facts->linked_subject = std::to_string(a); // named below
        const std::string begin = stamp_of(first_day + random.next(span));
        bind_text(insert, 1, begin);
        sqlite3_bind_int(insert, 2, a);
        sqlite3_bind_int(insert, 3, b);
        sqlite3_bind_int(insert, 4, 1 + static_cast<int>(random.next(3)));
        bind_text(insert, 5, random.next(2) ? "Works for" : "Knows");
        bind_text(insert, 6, pick(random, sentences));
        bind_text(insert, 7, begin);
        if (random.next(10) == 0)
            bind_text(insert, 8, stamp_of(first_day + span));
        else
            sqlite3_bind_null(insert, 8);
        ok = done(w, insert);
    }
    sqlite3_finalize(insert);
    if (!ok || facts->linked_subject.empty())
        return ok;
    // The customer of the first link, by name.
    sqlite3_stmt* name = w.prepare("select name from person where id=?");
    if (!name)
        return false;
    sqlite3_bind_int(name, 1, std::atoi(facts->linked_subject.c_str()));
    if (sqlite3_step(name) == SQLITE_ROW)
        facts->linked_subject = reinterpret_cast<const char*>(sqlite3_column_text(name, 0));
    sqlite3_finalize(name);
    return true;
}

bool write_tickets(Writer& w, const DecadeShape& shape, Random& random, const People& people,
                   DecadeFacts* facts)
{
    // Chains of versions: long enough on average that the rows hold every open ticket.
    const int open_total = shape.groups * shape.open_per_group;
    const int longest =
        std::clamp(open_total > 0 ? 2 * shape.ticket_rows / open_total - 1 : 20, 1, 20);
    std::vector<int> chains;
    for (int rows = 0; rows < shape.ticket_rows;) {
        const int length =
            std::min(1 + static_cast<int>(random.next(longest)), shape.ticket_rows - rows);
        chains.push_back(length);
        rows += length;
    }
    facts->tickets = static_cast<int>(chains.size());

    sqlite3_stmt* insert = w.prepare(
        "insert into ticket (code,state,customer,subject,description,personid_u,personid_t,"
        "begindate,enddate,date_b) values (?,?,?,?,?,?,?,?,?,?)");
    if (!insert)
        return false;
    const int count = static_cast<int>(chains.size());
    const int first_open = std::max(count - open_total, 0);
    const std::int64_t span =
        std::max<std::int64_t>(86400, 3650LL * 86400 * shape.ticket_rows / 1000000);
    bool ok = true;
    for (int t = 0; ok && t < count; ++t) {
        const bool open = t >= first_open;
        const int group = shape.groups <= 0 ? 0
                          : open            ? (t - first_open) % shape.groups
                                            : static_cast<int>(random.next(shape.groups));
        std::int64_t at = first_day + span * t / count;
        const std::string code = tickets::to_base32(static_cast<unsigned>(70 + at / 31557600)) +
                                 tickets::to_base32(1 + static_cast<unsigned>(at / 86400 % 365)) +
                                 tickets::to_base32(32768 + static_cast<unsigned>(t));
        const std::string customer = std::string(pick(random, places)) + " " + pick(random, trades);
        const std::string subject = pick(random, subjects);
        std::string description, previous;
        for (int v = 0; ok && v < chains[t]; ++v) {
            // Each version says what happened last and what happens now.
            const std::string said = pick(random, sentences);
            description = previous.empty() ? said : previous + " " + said;
            previous = said;
            const std::string begin = stamp_of(at);
            at += 3600 * (1 + static_cast<int>(random.next(72)));
            const bool last = v + 1 == chains[t];
            bind_text(insert, 1, code);
            bind_text(insert, 2, last ? (open ? "open" : "done") : pick(random, states));
            bind_text(insert, 3, customer);
            bind_text(insert, 4, subject);
            bind_text(insert, 5, description);
            sqlite3_bind_int(
                insert, 6,
                people.first_staff +
                    static_cast<int>(random.next(static_cast<unsigned>(std::max(shape.staff, 1)))));
            sqlite3_bind_int(insert, 7, people.first_group + group);
            bind_text(insert, 8, begin);
            if (last && open)
                sqlite3_bind_null(insert, 9);
            else
                bind_text(insert, 9, stamp_of(at));
            bind_text(insert, 10, begin);
            ok = done(w, insert);
        }
    }
    sqlite3_finalize(insert);
    facts->customer_word = trades[0];
    return ok;
}

} // namespace

bool write_decade(const std::string& file, const DecadeShape& shape, DecadeFacts* facts,
                  std::string* error)
{
    *facts = DecadeFacts{};
    Writer w{nullptr, error};
    if (sqlite3_open_v2(file.c_str(), &w.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        w.fail();
        sqlite3_close(w.db);
        return false;
    }
    Random random{20240501};
    People people;
    bool ok = w.exec("pragma synchronous=off") && w.exec("begin");
    for (const char* table : {"vendrelversion", "person", "subjectlink", "ticket"})
        ok = ok && w.exec(store::table_creation(table));
    ok = ok && w.exec("insert into vendrelversion (version) values ('1.1')") &&
         write_people(w, shape, random, &people, facts) &&
         write_links(w, shape, random, people, facts) &&
         write_tickets(w, shape, random, people, facts) && w.exec("commit");
    sqlite3_close(w.db);
    return ok;
}

} // namespace testing_support
