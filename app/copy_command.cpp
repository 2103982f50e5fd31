// vendrel copy: a whole database moved between the SQLite file and PostgreSQL, either way,
// with its ids. A busy file is read through the online backup, so that the copy is one
// moment of it; a target that holds tables is refused, untouched.
#include "app/command_line.h"

#include "platform/platform.h"
#include "store/backup.h"
#include "store/copy.h"
#include "store/db_driver.h"
#include "store/sql.h"

#include <cstring>
#include <filesystem>
#include <string>

namespace app {

namespace {

int usage_error(const std::string& text)
{
    platform::write_error("vendrel copy: " + text +
                          "\nUsage: vendrel copy --from SOURCE --to TARGET\n"
                          "  (a database file, or a PostgreSQL URI or key=value words)\n");
    return exit_usage;
}

int failure(const std::string& text)
{
    platform::write_error("vendrel copy: " + text + "\n");
    return exit_failed;
}

// A PostgreSQL connection string rather than a file name.
bool names_postgresql(const std::string& place)
{
    return place.rfind("postgresql://", 0) == 0 || place.rfind("postgres://", 0) == 0 ||
           place.find('=') != std::string::npos;
}

std::filesystem::path path_of(const std::string& file)
{
    return std::filesystem::path(std::u8string(file.begin(), file.end()));
}

// Binds the store at place; *reason says why not.
int bind_store(const std::string& place, std::string* reason)
{
    if (names_postgresql(place))
        return store::bind_postgresql_driver(place, reason);
    if (store::bind_local_driver_at(place) != 0) {
        *reason = "cannot open " + place;
        return -1;
    }
    store::db_driver.column_by_name = store::local_column_by_name;
    return 0;
}

} // namespace

int run_copy(int argc, char** argv)
{
    std::string source;
    std::string target;
    for (int i = 0; i < argc; ++i) {
        const bool from = std::strcmp(argv[i], "--from") == 0;
        if (!from && std::strcmp(argv[i], "--to") != 0)
            return usage_error(std::string("unknown word ") + argv[i]);
        if (++i == argc)
            return usage_error(std::string(from ? "--from" : "--to") + " needs a database");
        (from ? source : target) = argv[i];
    }
    if (source.empty() || target.empty())
        return usage_error("both --from and --to are needed");
    if (names_postgresql(source) == names_postgresql(target))
        return usage_error("one of the two must be a file and the other PostgreSQL");

    // The file is read from a consistent copy of one moment, taken while others may write.
    std::string reason;
    std::string read_from = source;
    std::error_code error;
    if (!names_postgresql(source)) {
        if (!std::filesystem::exists(path_of(source), error))
            return failure(source + " does not exist");
        read_from = platform::temp_folder() + platform::path_separator() + "vendrel-copy-" +
                    std::to_string(platform::monotonic_ms()) + ".dat";
        if (store::backup_database(source, read_from, nullptr, nullptr, &reason) !=
            store::backup_ok) {
            std::filesystem::remove(path_of(read_from), error);
            return failure("cannot read " + source + (reason.empty() ? "" : ": " + reason));
        }
    }
    std::vector<store::TableRows> tables;
    std::string failed;
    const int bound = bind_store(read_from, &reason);
    const int read = bound == 0 ? store::read_tables(&tables, &failed) : -1;
    store::close(store::db_handle);
    if (read_from != source)
        std::filesystem::remove(path_of(read_from), error);
    if (bound != 0)
        return failure(reason);
    if (read != 0)
        return failure("cannot read the source: " + failed);

    const bool target_existed =
        !names_postgresql(target) && std::filesystem::exists(path_of(target), error);
    if (bind_store(target, &reason) != 0)
        return failure(reason);
    const auto give_up = [&](const std::string& text) {
        store::close(store::db_handle);
        if (!names_postgresql(target) && !target_existed)
            std::filesystem::remove(path_of(target), error);
        return failure(text);
    };
    if (store::holds_a_table())
        return give_up(target + " holds tables already; nothing was changed");
    if (store::write_tables(tables, &failed) != 0)
        return give_up("cannot write the target, nothing was kept: " + failed);
    store::close(store::db_handle);
    for (const store::TableRows& table : tables)
        platform::write_output(table.table + ": " + std::to_string(table.rows.size()) +
                               (table.rows.size() == 1 ? " row" : " rows") + " copied\n");
    return exit_ok;
}

} // namespace app
