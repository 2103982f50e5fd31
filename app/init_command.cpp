// vendrel init: the first database of a server, made on the terminal with the administrator's
// password, exactly as the first administrator login makes it at a desktop. A client cannot
// create tables, so this is how a service's database comes to be. The tables are schema's.
#include "app/command_line.h"

#include "app/login.h"
#include "platform/platform.h"
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sql.h"

#include <cstring>
#include <filesystem>
#include <string>

namespace app {

namespace {

int usage_error(const char* text)
{
    platform::write_error(std::string("vendrel init: ") + text +
                          "\nUsage: vendrel init [--database FILE | --store URI]\n");
    return exit_usage;
}

int failure(const std::string& text)
{
    platform::write_error("vendrel init: " + text + "\n");
    return exit_failed;
}

// The administrator's password: typed twice at a terminal without being shown, or one line of
// standard input from a script (its line ending, LF or CR LF, is not part of it). The empty
// text when there is none to take; *why says why.
std::string administrator_password(std::string* why)
{
    std::string password;
    if (!platform::input_is_terminal()) {
        if (platform::read_input_line(&password) != 0) {
            *why = "no password on standard input";
            return std::string();
        }
    } else {
        std::string again;
        if (platform::read_hidden_line("Password for admin: ", &password) != 0 ||
            platform::read_hidden_line("The same password again: ", &again) != 0) {
            *why = "no password typed";
            return std::string();
        }
        if (password != again) {
            *why = "the two passwords differ";
            return std::string();
        }
    }
    if (password.empty())
        *why = "the password is empty";
    // The login dialog takes no longer password: the administrator could never log in.
    else if (password.size() >= static_cast<std::size_t>(login_field_size))
        *why = "the password is longer than the login takes (" +
               std::to_string(login_field_size - 1) + " characters at most)";
    else
        return password;
    return std::string();
}

// On the open, empty database: the password asked, then the tables, their indexes and the
// administrator. made names what was made; refuse tells why nothing was, undoing what the
// command made before.
template <typename Refuse> int make_tables(const std::string& made, Refuse refuse)
{
    std::string why;
    const std::string password = administrator_password(&why);
    if (password.empty())
        return refuse(why + "; nothing was made");
    store::SchemaFailure failed;
    const int result = store::create_schema(password.c_str(), &failed);
    store::close(store::db_handle);
    if (result != 0)
        return failure(std::string(failed.telling.message) + ": " + failed.statement);
    platform::write_output("Made " + made + " with the administrator " + store::administrator_name +
                           "\n");
    return exit_ok;
}

// The tables, their indexes and the administrator in an empty PostgreSQL database.
int init_store(const std::string& uri)
{
    std::string reason;
    if (store::bind_postgresql_driver(uri, &reason) != 0)
        return failure(reason);
    const auto refuse = [](const std::string& text) {
        store::close(store::db_handle);
        return failure(text);
    };
    for (const char* table : {"person", "ticket", "subjectlink", "vendrelversion"})
        if (store::statement_prepares(std::string("select id from ") + table))
            return refuse(std::string("the database has the table ") + table +
                          " already; nothing was changed");
    return make_tables("the tables", refuse);
}

} // namespace

int run_init(int argc, char** argv)
{
    std::string database;
    std::string uri;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--database") == 0) {
            if (++i == argc)
                return usage_error("--database needs a FILE");
            database = argv[i];
        } else if (std::strcmp(argv[i], "--store") == 0) {
            if (++i == argc)
                return usage_error("--store needs a URI");
            uri = argv[i];
        } else {
            return usage_error((std::string("unknown word ") + argv[i]).c_str());
        }
    }
    if (!uri.empty() && !database.empty())
        return usage_error("--database and --store name two databases");
    if (!uri.empty())
        return init_store(uri);
    if (database.empty())
        database = own_database();
    if (database.empty())
        return failure("there is no documents folder; name the database with --database");

    // A file the command made only to be refused afterwards is not left behind.
    std::error_code error;
    const std::filesystem::path path(std::u8string(database.begin(), database.end()));
    const bool existed = std::filesystem::exists(path, error);
    const auto refuse = [&](const std::string& text) {
        store::close(store::db_handle);
        if (!existed)
            std::filesystem::remove(path, error);
        return failure(text);
    };
    // The service's folder may not be there yet before its first start.
    if (!existed && path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    if (store::bind_local_driver_at(database) != 0)
        return refuse("cannot open " + database);
    store::db_driver.column_by_name = store::local_column_by_name;
    if (store::statement_prepares("select id from person"))
        return refuse(database + " has its tables already; nothing was changed");
    return make_tables(database, refuse);
}

} // namespace app
