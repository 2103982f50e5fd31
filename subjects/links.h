// The links dialog: dated links between the subject of the form it was opened from and
// another subject.
#pragma once

#include "platform/platform.h"

#include <string>

namespace subjects {

// Link kinds, the linklevelkind column of table subjectlink: what the second party is to
// the first.
enum LinkKind { link_child = 1, link_parent, link_relation };

// The kind named text exactly ("Child", "Parent", "Relation"), or -1.
int link_kind_from_text(const char* text);
// The name under which a link of stored kind is shown to one of its parties: the other
// party's role towards it, so a child link reads "Parent" from the child's side.
const char* link_kind_seen(int kind, bool subject_is_second_party);

// At most this many links are listed.
constexpr int max_link_lines = 255;

// What one links dialog keeps: the link behind each line of its list, and the link it last
// showed. Every links dialog has its own, so two of them never act on each other's lines.
struct LinkList {
    // ids[i] is the id of the link on line i; the entry after the last line holds -1.
    int ids[max_link_lines + 1] = {-1};
    // The link last shown with See, which Update changes whatever line is selected; -1 when
    // none.
    int seen = -1;
};

// The link list of a links dialog.
LinkList& link_list_of(platform::Window dialog);

// What the link fields hold once they have passed their checks; dates normalised, the end
// date empty when none was given.
struct LinkFields {
    std::string reason;
    int kind = -1;
    std::string begin_date;
    std::string end_date;
    std::string description;
};

// Checks and reads the link fields of dialog into *fields. Returns 0, or -1 after showing
// why the first failing field was refused.
int check_link_fields(platform::Window dialog, LinkFields* fields);

// Refills the link list with the live links of subject_id. Returns 0, or -1 after showing
// that the statement could not be prepared.
int fill_link_list(platform::Window dialog, int subject_id);

void init_links_dialog(platform::Window dialog);
void add_link(platform::Window dialog);
void update_link(platform::Window dialog);
void see_link(platform::Window dialog);
void end_link(platform::Window dialog);
void set_begin_date_now(platform::Window dialog);

} // namespace subjects
