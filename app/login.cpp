// The login. Only the digest of the typed password is compared; the user name is quoted
// into the statement, so any name is just a name.
#include "app/login.h"

#include "app/startup.h"
#include "remote/remote.h"
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

static_assert(store::login_role == subjects::kind_person);

constexpr const char* server_changed_caption = "Server identity changed";

// Said when the server turns this computer away after too many failed logins.
constexpr const char* too_many_attempts_text =
    "Too many failed logins from this computer - try again in five minutes";

// The server's login, with the questions a new or changed server asks of the user first: a
// key never seen, or a server that does not encrypt, is used only when the user says so.
remote::ServerLogin log_in_asking(platform::Window dialog, const std::string& user,
                                  const char* digest)
{
    const std::string server = remote::client_server_name();
    for (int asked = 0;; ++asked) {
        const remote::ServerLogin result = remote::log_in_to_server(user, digest);
        if (asked > 0)
            return result; // asked once: what the user agreed to stands or the login failed
        if (result == remote::ServerLogin::unknown_server) {
            const std::string question =
                "This computer has never connected to the server at " + server +
                ".\r\nThe server's key has the fingerprint\r\n" + remote::offered_fingerprint() +
                "\r\nAsk your administrator whether that is your office's server (the server "
                "shows it in its log and with vendrel fingerprint).\r\nConnect and remember it?";
            if (platform::message_box(dialog, question, "New server",
                                      platform::Buttons::ok_cancel) != platform::answer_ok)
                return result;
            if (remote::trust_offered_server() != 0) {
                platform::message_box(dialog, "Cannot keep the server's key in your settings",
                                      "New server");
                return result;
            }
        } else if (result == remote::ServerLogin::unencrypted_server) {
            const std::string question =
                "The server at " + server +
                " does not encrypt its connection: whatever you send and read can be read on "
                "the network, passwords you set included.\r\nConnect unencrypted?";
            if (platform::message_box(dialog, question, "Unencrypted server",
                                      platform::Buttons::ok_cancel) != platform::answer_ok)
                return result;
            remote::client_settings.unencrypted_allowed = true;
        } else {
            return result;
        }
    }
}

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

    const std::string sql = store::login_statement(user);

    // A client proves the digest to its server, which answers for the person; only a server
    // from before logins leaves the comparison to the client, as it always did.
    bool server_vouches = false;
    if (startup_options.client_mode != 0) {
        switch (log_in_asking(dialog, user, digest)) {
        case remote::ServerLogin::ok:
            server_vouches = true;
            break;
        case remote::ServerLogin::not_offered:
            break;
        case remote::ServerLogin::unknown_user:
            platform::message_box(dialog, "Unknown user");
            return 0;
        case remote::ServerLogin::no_password:
            platform::message_box(dialog, sql, "No password set");
            return 0;
        case remote::ServerLogin::wrong_password:
            platform::message_box(dialog, "Wrong username/password");
            return 0;
        case remote::ServerLogin::too_many_attempts:
            platform::message_box(dialog, too_many_attempts_text);
            return 0;
        case remote::ServerLogin::unknown_server:
        case remote::ServerLogin::unencrypted_server:
            return 0; // the user said no
        case remote::ServerLogin::server_changed:
            platform::message_box(dialog,
                                  "The server at " + remote::client_server_name() +
                                      " does not show the key this computer knows for it: "
                                      "somebody may be in between, or the server was set up "
                                      "anew. Nothing was sent.\r\nAsk your administrator "
                                      "before you log in.",
                                  server_changed_caption);
            return 0;
        case remote::ServerLogin::server_downgraded:
            platform::message_box(dialog,
                                  "The server at " + remote::client_server_name() +
                                      " encrypted its connection before and does not now: "
                                      "somebody may be in between. Nothing was sent.\r\nAsk "
                                      "your administrator before you log in.",
                                  server_changed_caption);
            return 0;
        case remote::ServerLogin::failed:
            platform::message_box(dialog, "Server connection error");
            platform::end_dialog(dialog, 0);
            return 0;
        }
    }

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
    if (!stored && !server_vouches) {
        platform::message_box(dialog, sql, "No password set");
        return 0;
    }
    if (!server_vouches && *stored != digest) {
        platform::message_box(dialog, "Wrong username/password");
        return 0;
    }
    if (!id) {
        platform::message_box(dialog, sql, "Error sqlite");
        return 0;
    }
    store::current_person_id = std::atoi(id->c_str());
    store::login_name = user;
    store::login_digest = digest;
    platform::end_dialog(dialog, 1);
    return 1;
}

void login_command(platform::Window dialog)
{
    if (perform_login(dialog) > 0)
        tickets::fill_main_groups(main_dialog);
}

} // namespace app
