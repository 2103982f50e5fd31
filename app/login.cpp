// The login. Only the digest of the typed password is compared; the user name is quoted
// into the statement, so any name is just a name.
#include "app/login.h"

#include "app/startup.h"
#include "resources/ids.h"
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sql.h"
#include "subjects/subject_list.h"
#include "tickets/main_lists.h"
#include "util/md5.h"

#include <cstdlib>
#include <optional>

namespace app {

int read_login_fields(platform::Window dialog, std::string* user, std::string* password)
{
    if (platform::item_text_length(dialog, ids::login::user) >= login_field_size)
        return -1;
    *user = platform::item_text(dialog, ids::login::user);
    if (platform::item_text_length(dialog, ids::login::password) >= login_field_size)
        return -1;
    *password = platform::item_text(dialog, ids::login::password);
    return 0;
}

int perform_login(platform::Window dialog)
{
    std::string user;
    std::string password;
    if (read_login_fields(dialog, &user, &password) < 0) {
        platform::message_box(dialog, "Login", "Username Password invalid");
        return 0;
    }
    char digest[33];
    util::hash_password(password.c_str(), digest);

    const std::string sql =
        "SELECT id,password from person where name='" + store::sql_quote(user) +
        store::sql_format("' and (role=%d or role is null)", subjects::kind_person) +
        " and date_e is null";

    // Only the first row counts; NULL columns are told apart from empty ones.
    std::optional<std::string> stored;
    std::optional<std::string> id;
    const store::Outcome outcome = store::run_statement(sql, [&](store::DbStatement* row) {
        stored = store::column_text_of(row, "password");
        id = store::column_text_of(row, "id");
        return false;
    });

    if (outcome.failure == store::Failure::prepare) {
        if (startup_options.client_mode != 0) {
            platform::message_box(dialog, "Server connection error");
            platform::end_dialog(dialog, 0);
            return 0;
        }
        // Only a file without the person table is a new database. Any other failure (a
        // damaged table, a locked file) must never let anybody in without a password.
        if (user == store::administrator_name &&
            !store::statement_prepares("select id from person")) {
            platform::message_box(dialog, "Generate new Database - no table for users found");
            store::SchemaFailure failure;
            if (store::create_schema(password.c_str(), &failure) == -1) {
                platform::tell(dialog, failure.telling, failure.statement);
                return -1;
            }
            platform::message_box(dialog, "Generating new Database done");
            platform::end_dialog(dialog, 1);
            return 1;
        }
        platform::message_box(dialog, "Database login error");
        platform::end_dialog(dialog, 0);
        return 0;
    }
    if (outcome.rows == 0 && outcome.ok()) {
        platform::message_box(dialog, "Unknown user");
        return 0;
    }
    if (outcome.rows == 0) {
        platform::message_box(dialog, sql, "Error sqlite");
        return -1;
    }
    if (!stored) {
        platform::message_box(dialog, sql, "No password set");
        return 0;
    }
    if (*stored != digest) {
        platform::message_box(dialog, "Wrong username/password");
        return 0;
    }
    if (!id) {
        platform::message_box(dialog, sql, "Error sqlite");
        return 0;
    }
    store::current_person_id = std::atoi(id->c_str());
    platform::end_dialog(dialog, 1);
    return 1;
}

void login_command(platform::Window dialog)
{
    if (perform_login(dialog) > 0)
        tickets::fill_main_groups(main_dialog);
}

} // namespace app
