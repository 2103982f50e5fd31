// The "Change Password" dialog: stores the digest of a typed password for the subject of the
// form it was opened from. The typed text itself is never kept; the login compares the same digest.
#include "subjects/subject_details.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/session.h"
#include "store/sql.h"
#include "subjects/forms.h"
#include "subjects/messages.h"
#include "subjects/statements.h"
#include "util/md5.h"

namespace subjects {

namespace {

constexpr int password_limit = 20;

} // namespace

void set_subject_password(platform::Window dialog)
{
    std::string first;
    std::string second;
    if (platform::read_field(dialog, ids::password::first, password_limit, "pwd1 too long",
                             &first) < 0 ||
        platform::read_field(dialog, ids::password::second, password_limit, "pwd2 too long",
                             &second) < 0)
        return;
    if (first != second) {
        platform::message_box(dialog, "pwd1 != pwd2");
        return;
    }
    // The subject of the form it was opened from, still live.
    const int id = form_subject(dialog);
    if (id < 0)
        return;

    char digest[33];
    util::md5_hex_of_text(first.c_str(), digest);
    const std::string sql = store::sql_format(
        "update PERSON set password='%s' where id=%d and date_e is null", digest, id);
    const int result = execute_reported(
        dialog, sql, {text::cannot_prepare_update, platform::Shape::message}, nullptr);
    if (result < 0)
        return;
    if (result != 0) {
        platform::message_box(dialog, sql, "Error no person updated");
        return;
    }
    // A client logs in again by itself with what it knows of its own password.
    if (id == store::current_person_id)
        store::login_digest = digest;
    platform::end_dialog(dialog, 0);
}

} // namespace subjects
