// The subject forms' records: what the opening command said, kept per window for the life
// of the process (window handles are never reused).
#include "subjects/forms.h"

#include "store/sql.h"
#include "subjects/messages.h"
#include "subjects/statements.h"

#include <unordered_map>

namespace subjects {

namespace {

std::unordered_map<platform::Window, SubjectForm> forms;
SubjectForm opening; // for the form about to be created

} // namespace

void begin_subject_form(platform::Window opener)
{
    const auto found = forms.find(opener);
    opening = found != forms.end() ? found->second : SubjectForm{opener, -1};
}

void adopt_subject_form(platform::Window form)
{
    forms[form] = opening;
    opening = SubjectForm{};
}

SubjectForm& subject_form(platform::Window form)
{
    return forms[form];
}

int form_subject(platform::Window form)
{
    const int id = subject_form(form).subject_id;
    if (id < 0) {
        platform::message_box(form, text::select_person);
        return -1;
    }
    return first_id(form,
                    store::sql_format("SELECT id from person where id=%d and date_e is null", id),
                    text::cannot_prepare_select, text::no_person_found);
}

} // namespace subjects
