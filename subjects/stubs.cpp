// The subject dialogs are not built yet; these keep the commands routed to their places.
#include "subjects/extra.h"
#include "subjects/links.h"
#include "subjects/subject_details.h"
#include "subjects/subject_list.h"

namespace subjects {

platform::Window subject_list_window = nullptr;

int subject_kind_from_text(const char*)
{
    return -1;
}

const char* subject_kind_text(int)
{
    return nullptr;
}

void fill_subject_kinds(platform::Window, int) {}
void fill_subject_list() {}
void create_subject(platform::Window) {}

int prepare_subject_update(platform::Window list_dialog)
{
    subject_list_window = list_dialog;
    return -1;
}

void load_subject_details(platform::Window) {}
void save_subject_details(platform::Window) {}
void set_subject_password(platform::Window) {}

int current_subject_id(platform::Window)
{
    return -1;
}

int subject_id_by_name(const std::string&)
{
    return -1;
}

bool subject_name_by_id(int, std::string*)
{
    return false;
}

void init_links_dialog(platform::Window) {}
void add_link(platform::Window) {}
void update_link(platform::Window) {}
void see_link(platform::Window) {}
void end_link(platform::Window) {}
void set_begin_date_now(platform::Window) {}
void load_subject_extra(platform::Window) {}
void save_subject_extra(platform::Window) {}
void remove_subject(platform::Window) {}

} // namespace subjects
