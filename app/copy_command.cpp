// vendrel copy: a whole database moved between the SQLite file and PostgreSQL, either way,
// with its ids. A busy file is read through the online backup, so that the copy is one
// moment of it; a target that holds tables is refused, untouched.
#include "app/command_line.h"

#include "platform/platform.h"
#include "store/backup.h"
#include "store/copy.h"
#include "store/db_driver.h"
#include "store/indexes.h"
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

    std::string reason;
    std::string failed;
    std::error_code error;
    store::CopyCounts counts;
    if (names_postgresql(target)) {
        // The file is read from a consistent copy of one moment, taken while others may write.
        if (!std::filesystem::exists(path_of(source), error))
            return failure(source + " does not exist");
        const std::string copy = platform::temp_folder() + platform::path_separator() +
                                 "vendrel-copy-" + std::to_string(platform::monotonic_ms()) +
                                 ".dat";
        const auto done = [&](int status) {
            std::filesystem::remove(path_of(copy), error);
            return status;
        };
        if (store::backup_database(source, copy, nullptr, nullptr, &reason) != store::backup_ok)
            return done(failure("cannot read " + source + (reason.empty() ? "" : ": " + reason)));
        if (store::bind_postgresql_driver(target, &reason) != 0)
            return done(failure(reason));
        if (store::holds_a_table()) {
            store::close(store::db_handle);
            return done(failure(target + " holds tables already; nothing was changed"));
        }
        const int copied = store::copy_file_to_store(copy, &counts, &failed);
        store::close(store::db_handle);
        if (copied != 0)
            return done(failure("cannot copy, nothing was kept: " + failed));
        done(0);
    } else {
        if (store::bind_postgresql_driver(source, &reason) != 0)
            return failure(reason);
        const bool existed = std::filesystem::exists(path_of(target), error);
        const int copied = store::copy_store_to_file(target, &counts, &failed);
        store::close(store::db_handle);
        if (copied == -2)
            return failure(failed + "; nothing was changed");
        if (copied != 0) {
            if (!existed)
                std::filesystem::remove(path_of(target), error);
            return failure("cannot copy, nothing was kept: " + failed);
        }
        // The file gets its indexes as at any open.
        store::IndexReport indexes;
        store::db_driver.column_by_name = store::local_column_by_name;
        if (store::bind_local_driver_at(target) != 0 ||
            store::create_indexes(nullptr, nullptr, &indexes) != 0)
            platform::write_error("vendrel copy: the indexes are made at the first open: " +
                                  indexes.statement + "\n");
        store::close(store::db_handle);
    }
    for (const auto& [table, rows] : counts)
        platform::write_output(table + ": " + std::to_string(rows) + (rows == 1 ? " row" : " rows") +
                               " copied\n");
    return exit_ok;
}

} // namespace app
