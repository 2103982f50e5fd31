// Every dialog and control id of the program, named once and grouped by dialog. The
// templates build their windows from these names, the dialog code reads and writes controls
// by them, and the tests drive the dialogs by them; a number appears here and nowhere else.
// The numbers are the ones other instances' screens and older files of notes have always
// used, so they never change.
#pragma once

namespace ids {

// --- dialogs, and the init parameters that choose their initialisation -----------------

constexpr int main_dialog = 100;           // "Vendrel"
constexpr int login_dialog = 101;          // "Login"
constexpr int ticket_dialog = 102;         // "Vendrel - Ticket"; its init parameter in create mode
constexpr int search_dialog = 103;         // "Search tickets", modeless
constexpr int subject_list_dialog = 106;   // "All subjects"
constexpr int subject_new_dialog = 107;    // "Person new"
constexpr int subject_update_dialog = 108; // "Person update"
constexpr int password_dialog = 110;       // "Change Password"
constexpr int links_dialog = 111;          // "Links for subject to subject"
constexpr int extra_dialog = 112;          // "Subject extra"
constexpr int history_dialog = 113;        // "Vendrel - History": every version of a ticket
constexpr int ticket_see_init = 201;       // the ticket dialog in see mode (still pushed as 102)

constexpr int program_icon = 10001;

// The dialog manager's own commands: Enter sends ok; Escape, the close box's cancel and every
// Quit, Cancel or Leave button send cancel.
constexpr int ok = 1;
constexpr int cancel = 2;

// A label nobody addresses.
constexpr int unnamed = -1;

// --- 100 "Vendrel": the main window -------------------------------------------------------
namespace main_window {
constexpr int group_box = 100;   // the logged-in person's ticket groups
constexpr int ticket_list = 101; // the open tickets, or a search's results
constexpr int group_label = 200;
constexpr int notice = 201; // what the list leaves out ("2048 of 73,415 shown - ...")
constexpr int search = 1001;
constexpr int create = 1002;
constexpr int see = 1003;
constexpr int login = 1004;
constexpr int refresh = 1005;
constexpr int subjects = 1006;
constexpr int contact = 1010;
} // namespace main_window

// --- 101 "Login" ------------------------------------------------------------------------
namespace login {
constexpr int user = 102;
constexpr int password = 103;
constexpr int user_label = 107;
constexpr int password_label = 108;
constexpr int log_in = 1101;
} // namespace login

// --- 102 "Vendrel - Ticket" ---------------------------------------------------------------
namespace ticket {
constexpr int code = 100;
constexpr int group_box = 101;
constexpr int customer = 102;
constexpr int subject = 103;
constexpr int state = 105;
constexpr int description = 106;
constexpr int code_label = 200;
constexpr int customer_label = 201;
constexpr int subject_label = 202;
constexpr int state_label = 204;
constexpr int get = 1201;
constexpr int files = 1207;
constexpr int save = 1208;
constexpr int mail = 1209;
constexpr int save_and_end = 1215;
constexpr int history = 1216;
constexpr int newer = 203; // says that the ticket got a newer version since it was opened
} // namespace ticket

// --- 103 "Search tickets" -----------------------------------------------------------------
namespace search {
constexpr int code = 100;
constexpr int date = 101;
constexpr int customer = 102;
constexpr int subject = 103;
constexpr int description = 104;
constexpr int code_label = 108;
constexpr int date_label = 109;
constexpr int customer_label = 110;
constexpr int subject_label = 111;
constexpr int description_label = 112;
constexpr int run = 1050;
} // namespace search

// --- 113 "Vendrel - History" ------------------------------------------------------------
namespace history {
// The list's number is one no command of another dialog uses, as commands are routed by id.
constexpr int versions = 1320; // one line per version, oldest first
constexpr int group = 101;     // the fields of the version chosen, read-only
constexpr int state = 102;
constexpr int customer = 103;
constexpr int subject = 104;
constexpr int actions = 105;
constexpr int description = 106;
constexpr int group_label = 201; // each label is marked when its field changed in that version
constexpr int state_label = 202;
constexpr int customer_label = 203;
constexpr int subject_label = 204;
constexpr int actions_label = 205;
constexpr int description_label = 206;
} // namespace history

// --- 106 "All subjects" -------------------------------------------------------------------
namespace subject_list {
constexpr int names = 100;
constexpr int create = 1301; // "New"
constexpr int update = 1302;
constexpr int remove = 1303;
constexpr int work = 1317;
} // namespace subject_list

// --- 107 "Person new" ---------------------------------------------------------------------
namespace subject_new {
constexpr int name = 100;
constexpr int save = 1304; // "Ok"
} // namespace subject_new

// --- 108 "Person update" ------------------------------------------------------------------
namespace subject_update {
constexpr int name = 100;
constexpr int telephone = 101;
constexpr int mobile = 102;
constexpr int email = 103;
constexpr int role = 104;
constexpr int application = 105;
constexpr int address = 106;
constexpr int subaddress = 107;
constexpr int postcode = 108;
constexpr int place = 109;
constexpr int birthdate = 120;
constexpr int anniversary = 121;
constexpr int known_from = 122;
constexpr int system_number = 123;
constexpr int description = 128;
constexpr int save = 1305; // "OK"
constexpr int password = 1306;
constexpr int links = 1307;
constexpr int extra = 1308;
} // namespace subject_update

// --- 110 "Change Password" ----------------------------------------------------------------
namespace password {
constexpr int first = 100;  // "New"
constexpr int second = 101; // "Retype"
constexpr int push = 1309;
} // namespace password

// --- 111 "Links for subject to subject" ---------------------------------------------------
namespace links {
constexpr int link_list = 100;
constexpr int candidates = 101;
constexpr int reason = 102;
constexpr int kind = 103;
constexpr int begin_date = 104;
constexpr int end_date = 105;
constexpr int description = 106;
constexpr int filter = 107;
constexpr int sort = 108;
constexpr int add = 1310;
constexpr int update = 1311;
constexpr int remove = 1312; // "Remove link": ends the link
constexpr int see = 1313;
constexpr int fill = 1314;
constexpr int begin_now = 1316; // "Begin date"
} // namespace links

// --- 112 "Subject extra" ------------------------------------------------------------------
namespace extra {
constexpr int firstname = 100;
constexpr int surname = 101;
constexpr int title = 102;
constexpr int hobbies = 103;
constexpr int baptism_date = 104;
constexpr int baptism_place = 105;
constexpr int email_private = 106;
constexpr int email_company = 107;
constexpr int telephone_private = 108;
constexpr int telephone_company = 109;
constexpr int mobile_private = 110;
constexpr int mobile_company = 111;
constexpr int fax_private = 112;
constexpr int fax_company = 113;
constexpr int gen1 = 114;
constexpr int gen2 = 115;
constexpr int gen3 = 116;
constexpr int gen4 = 117;
constexpr int extra1 = 118;
constexpr int extra2 = 119;
constexpr int extra3 = 120;
constexpr int extra4 = 121;
constexpr int gender = 122;
constexpr int save = 1315; // "Ok"
} // namespace extra

} // namespace ids
