// vendrel backup: which file is copied where, the refusals that keep files safe, and what
// the user reads meanwhile. The copy itself is store/backup's.
//
// The copy is made beside FILE under a name of its own and renamed onto FILE only once it is
// complete, so FILE is never a half-written database, even when the backup is interrupted
// or fails, and an existing FILE given with --force stays as it was until then. That name is
// one this run has made with the system's exclusive create, so the command never deletes
// or replaces a file it did not make: not a source or a neighbour that happens to bear the
// name, not the unfinished copy of another backup to the same FILE.
#include "app/command_line.h"

#include "app/startup.h"
#include "platform/platform.h"
#include "store/backup.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace app {

namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 on every platform, as SQLite reads them.
fs::path file_path(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

struct Shown {
    int next_tenth = 1;           // the next tenth of the file whose copying is told
    std::int64_t restart_told = 0; // when a restart was last told, 0 for never
};

// A database that writers keep changing restarts the copy many times a second: said once,
// and again at most every ten seconds.
constexpr std::int64_t restart_told_every_ms = 10000;

// A file that is copied in one step (the usual small one) shows no progress; a large one
// shows every tenth, and says when writers made it start again.
void show_progress(int copied, int total, bool restarted, void* context)
{
    Shown* shown = static_cast<Shown*>(context);
    if (restarted) {
        const std::int64_t now = platform::monotonic_ms();
        if (shown->restart_told == 0 || now - shown->restart_told >= restart_told_every_ms) {
            platform::write_output(
                "The database changed meanwhile; copying again from the start\n");
            shown->restart_told = now;
        }
        shown->next_tenth = 1;
    }
    if (total <= 0)
        return;
    if (copied == total && shown->next_tenth == 1 && !restarted)
        return;
    const int tenths = static_cast<int>(10LL * copied / total);
    if (tenths >= shown->next_tenth) {
        platform::write_output("Copied " + std::to_string(100LL * copied / total) + "% (" +
                               std::to_string(copied) + " of " + std::to_string(total) +
                               " pages)\n");
        shown->next_tenth = tenths + 1;
    }
}

int usage_error(const std::string& text)
{
    platform::write_error("vendrel backup: " + text +
                          "\nUsage: vendrel backup [--force] [--database PATH] FILE\n");
    return exit_usage;
}

int failure(const std::string& text)
{
    platform::write_error("vendrel backup: " + text + "\n");
    return exit_failed;
}

// A file beside file that this run makes and so owns: "FILE.N.part" for the first N under
// which nothing is there yet. The empty text when none can be made, with the reason.
std::string claim_partial(const std::string& file, std::string* reason)
{
    for (int number = 1; number <= 1000; ++number) {
        const std::string name = file + "." + std::to_string(number) + ".part";
        const int made = platform::create_new_file(name, reason);
        if (made == 0)
            return name;
        if (made < 0)
            return std::string();
    }
    *reason = "every name up to " + file + ".1000.part is taken";
    return std::string();
}

} // namespace

int run_backup(int argc, char** argv)
{
    bool force = false;
    std::string database;
    std::string file;
    for (int i = 0; i < argc; ++i) {
        const char* word = argv[i];
        if (std::strcmp(word, "--force") == 0) {
            force = true;
        } else if (std::strcmp(word, "--database") == 0) {
            if (++i == argc)
                return usage_error("--database needs a PATH");
            database = argv[i];
        } else if (word[0] == '-' && word[1] != '\0') {
            return usage_error(std::string("unknown option ") + word);
        } else if (!file.empty()) {
            return usage_error("one FILE only");
        } else {
            file = word;
        }
    }
    if (file.empty())
        return usage_error("FILE is missing");
    if (database.empty())
        database = own_database();
    if (database.empty())
        return failure("there is no documents folder; name the database with --database");

    std::error_code error;
    const fs::path source = file_path(database);
    const fs::path target = file_path(file);
    if (!fs::is_regular_file(source, error))
        return failure("there is no database at " + database);
    if (fs::exists(target, error)) {
        // Replacing the database by its own copy would leave a running server writing
        // into a file that is no longer there.
        if (fs::equivalent(source, target, error))
            return failure(file + " is the database itself");
        if (fs::is_directory(target, error))
            return failure(file + " is a folder");
        if (!force)
            return failure(file + " exists; --force replaces it");
    }

    std::string reason;
    const std::string partial = claim_partial(file, &reason);
    if (partial.empty())
        return failure("cannot write beside " + file + ": " + reason);
    Shown shown;
    const int result = store::backup_database(database, partial, show_progress, &shown, &reason);
    if (result != store::backup_ok) {
        fs::remove(file_path(partial), error);
        switch (result) {
        case store::backup_no_library:
            return failure("the SQLite library is missing or has no backup calls");
        case store::backup_cannot_read:
            return failure("cannot read " + database + ": " + reason);
        case store::backup_cannot_write:
            return failure("cannot write " + partial + ": " + reason);
        case store::backup_never_quiet:
            return failure("the database was written to all the time, and a copy that held up "
                           "the writers would have made their saves fail; try again when "
                           "fewer people are saving, or stop the server for the copy");
        default:
            return failure("the copy failed: " + reason);
        }
    }
    fs::rename(file_path(partial), target, error);
    if (error) {
        const std::string why = error.message();
        fs::remove(file_path(partial), error);
        return failure("cannot rename " + partial + " to " + file + ": " + why);
    }
    platform::write_output("Copied " + database + " to " + file + "\n");
    return exit_ok;
}

} // namespace app
