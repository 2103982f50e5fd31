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
#include <cstring>

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

    store::DbStatement* statement = nullptr;
    if (store::prepare_sql(sql, &statement) != store::db_ok) {
        store::finalize(statement);
        if (startup_options.client_mode != 0) {
            platform::message_box(dialog, "Server connection error");
            platform::end_dialog(dialog, 0);
            return 0;
        }
        if (user == "admin") {
            platform::message_box(dialog, "Generate new Database - no table for users found");
            if (store::create_schema(dialog, password.c_str()) == -1)
                return -1;
            platform::message_box(dialog, "Generating new Database done");
            platform::end_dialog(dialog, 1);
            return 1;
        }
        platform::message_box(dialog, "Database login error");
        platform::end_dialog(dialog, 0);
        return 0;
    }

    const int stepped = store::step(statement);
    if (stepped == store::db_done) {
        store::finalize(statement);
        platform::message_box(dialog, "Unknown user");
        return 0;
    }
    if (stepped != store::db_row) {
        store::finalize(statement);
        platform::message_box(dialog, sql, "Error sqlite");
        return -1;
    }

    const char* stored = store::column_by_name(statement, "password");
    if (!stored) {
        platform::message_box(dialog, sql, "No password set");
        store::finalize(statement);
        return 0;
    }
    if (std::strcmp(stored, digest) != 0) {
        store::finalize(statement);
        platform::message_box(dialog, "Wrong username/password");
        return 0;
    }
    const char* id = store::column_by_name(statement, "id");
    if (!id) {
        platform::message_box(dialog, sql, "Error sqlite");
        store::finalize(statement);
        return 0;
    }
    store::current_person_id = std::atoi(id);
    store::finalize(statement);
    platform::end_dialog(dialog, 1);
    return 1;
}

void login_command(platform::Window dialog)
{
    if (perform_login(dialog) > 0)
        tickets::fill_main_groups(main_dialog);
}

} // namespace app
