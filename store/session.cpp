// The session facts shared by the dialog modules.
#include "store/session.h"

#include "store/sql.h"

namespace store {

int current_person_id = -1;
unsigned feature_flags = 0;
std::string login_name;
std::string login_digest;

std::string login_statement(const std::string& user)
{
    return "SELECT id,password from person where name='" + sql_quote(user) +
           sql_format("' and (role=%d or role is null)", login_role) + " and date_e is null";
}

} // namespace store
