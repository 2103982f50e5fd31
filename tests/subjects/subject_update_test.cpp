// "Person update" and "Change Password": what the dialog shows, every field's limit, the
// names it refuses, and a password that then logs in.
#include "resources/ids.h"
#include "store/session.h"
#include "tests/subjects/subject_scenario.h"
#include "util/md5.h"

namespace {

using namespace headless;
using namespace ids;
using subjects_testing::SubjectScenario;
using Texts = std::vector<std::string>;

class SubjectUpdate : public SubjectScenario {};
class SubjectPassword : public SubjectScenario {};

struct Limit {
    int control;
    const char* column;
    int limit;
    const char* message;
};

// In the order the save checks them; the kind list sits between the email and the application.
constexpr Limit detail_limits[] = {
    {subject_update::name, "name", 64, "Person too long"},
    {subject_update::telephone, "telephonenumber", 40, "Telephonenumber too long"},
    {subject_update::mobile, "mobilenumber", 40, "Mobilenumber too long"},
    {subject_update::email, "email", 64, "Email too long"},
    {subject_update::application, "application", 80, "Application too long"},
    {subject_update::address, "address", 80, "Address too long"},
    {subject_update::subaddress, "subaddress", 40, "Subaddress too long"},
    {subject_update::postcode, "pnumber", 20, "PCODE too long"},
    {subject_update::place, "place", 80, "Place too long"},
    {subject_update::birthdate, "birthdate", 64, "Birthdate too long"},
    {subject_update::anniversary, "anniversary", 64, "Anniversary too long"},
    {subject_update::known_from, "knownfrom", 80, "KnownFrom too long"},
    {subject_update::system_number, "systemnumber", 20, "Systemnumber too long"},
    {subject_update::description, "description", 4096, "Description too long"},
};

std::string md5_of(const std::string& text)
{
    char digest[33];
    util::md5_hex_of_text(text.c_str(), digest);
    return digest;
}

TEST_F(SubjectUpdate, ShowsTheRowAndSavesItBack)
{
    start_as_admin();
    create("Ann");
    Window update = open_update("Ann");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(text_of(update, subject_update::name), "Ann");
    EXPECT_EQ(text_of(update, subject_update::mobile), "06-")
        << "an empty mobile number starts with the prefix";
    EXPECT_EQ(text_of(update, subject_update::telephone), "");
    EXPECT_EQ(lines_of(update, subject_update::role),
              (Texts{"Person", "Company", "Family", "Group", "TicketGroup"}));
    EXPECT_EQ(selection_of(update, subject_update::role), 0) << "no role reads as Person";

    type_text(update, subject_update::postcode, "1234 AB");
    select_entry(update, subject_update::role, 3);
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(subject_update_dialog), nullptr);
    EXPECT_EQ(selection_of(subject_list(), subject_list::names), -1) << "the list was refilled";
    EXPECT_EQ(column("Ann", "mobilenumber"), "06-");
    EXPECT_EQ(column("Ann", "role"), "4");
    EXPECT_EQ(column("Ann", "pnumber"), "1234 AB");
    EXPECT_EQ(column("Ann", "telephonenumber"), "");

    update = open_update("Ann");
    EXPECT_EQ(text_of(update, subject_update::postcode), "1234 AB");
    EXPECT_EQ(selection_of(update, subject_update::role), 3);
    press_escape(update);

    // A kind the list does not offer leaves it unselected, and the save must choose one.
    for (const char* role : {"6", "9"}) {
        execute(std::string("UPDATE person SET role=") + role + " WHERE name='Ann'");
        update = open_update("Ann");
        EXPECT_EQ(selection_of(update, subject_update::role), -1) << role;
        type_text(update, subject_update::telephone, "555");
        click(update, subject_update::save);
        EXPECT_EQ(box_texts(), Texts{"Select a role"});
        EXPECT_EQ(column("Ann", "telephonenumber"), "");
        press_escape(update);
    }

    // With the mail feature on the mail kind is offered, and selected for such a subject.
    on_program_thread([] { store::feature_flags = store::feature_mail; });
    execute("UPDATE person SET role=6 WHERE name='Ann'");
    update = open_update("Ann");
    EXPECT_EQ(lines_of(update, subject_update::role).size(), 6u);
    EXPECT_EQ(selection_of(update, subject_update::role), 5);
}

TEST_F(SubjectUpdate, EveryFieldHasItsLimitAndNothingIsWrittenUntilAllPass)
{
    start_as_admin();
    create("Bob");
    Window update = open_update("Bob");
    ASSERT_NE(update, nullptr);
    // Quotes only: every value doubles in the statement and must still arrive as typed.
    for (const Limit& field : detail_limits)
        type_text(update, field.control, std::string(field.limit - 1, '\''));

    for (const Limit& field : detail_limits) {
        type_text(update, field.control, std::string(field.limit, '\''));
        click(update, subject_update::save);
        EXPECT_EQ(box_texts(), Texts{field.message}) << field.control;
        type_text(update, field.control, std::string(field.limit - 1, '\''));
    }
    // The first failing field wins.
    type_text(update, subject_update::email, std::string(64, 'e'));
    type_text(update, subject_update::description, std::string(4096, 'd'));
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{"Email too long"});
    type_text(update, subject_update::email, "");
    type_text(update, subject_update::description, "");
    ASSERT_NE(find_dialog(subject_update_dialog), nullptr);
    EXPECT_EQ(column("Bob", "mobilenumber"), "NULL") << "nothing written while refused";

    type_text(update, subject_update::email, std::string(63, '\''));
    type_text(update, subject_update::description, std::string(4095, '\''));
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(subject_update_dialog), nullptr);
    const std::string name(63, '\'');
    for (const Limit& field : detail_limits)
        EXPECT_EQ(column(name, field.column), std::string(field.limit - 1, '\'')) << field.column;
    EXPECT_EQ(column(name, "role"), "1");
}

TEST_F(SubjectUpdate, RefusesAdminAndTakenNamesAndSavesTheSelectedSubject)
{
    start_as_admin();
    for (const char* name : {"Ann", "Bob", "Gone"})
        create(name);
    execute("UPDATE person SET date_e='2020-01-01 00:00:00' WHERE name='Gone'");

    Window update = open_update("Ann");
    for (const char* taken : {"Bob", "Gone"}) {
        type_text(update, subject_update::name, taken);
        click(update, subject_update::save);
        EXPECT_EQ(box_texts(), Texts{"Person already exist"}) << taken;
    }
    type_text(update, subject_update::name, "admin");
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{"Cannot update admin"});

    // Its own name passes; a quote in the new name is just a character.
    type_text(update, subject_update::name, "Ann");
    type_text(update, subject_update::email, "ann@o'brien.example");
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(column("Ann", "email"), "ann@o'brien.example");
    update = open_update("Ann");
    type_text(update, subject_update::name, "O'Brien & Sons");
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(lines_of(subject_list(), subject_list::names),
              (Texts{"Bob", "O'Brien & Sons", "admin"}));
    EXPECT_EQ(column("O'Brien & Sons", "email"), "ann@o'brien.example");

    update = open_update("admin");
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{"Cannot update admin"});
    press_escape(update);

    // The save goes to the subject the dialog was opened for, whatever is selected by then,
    // also in a second "All subjects" window.
    update = open_update("Bob");
    ASSERT_TRUE(select("O'Brien & Sons"));
    type_text(update, subject_update::name, "Rob");
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(column("Rob", "id"), "3");
    EXPECT_EQ(column("O'Brien & Sons", "id"), "2");
}

TEST_F(SubjectPassword, ChecksBothFieldsAndTheNewPasswordLogsIn)
{
    start_as_admin();
    create("Carol");
    Window update = open_update("Carol");
    Window password = open_from(update, subject_update::password, password_dialog);
    ASSERT_NE(password, nullptr);

    const std::string twenty(20, 'p');
    const std::string nineteen(19, 'p');
    const struct {
        std::string first, second, message;
    } refusals[] = {
        {twenty, twenty, "pwd1 too long"},
        {nineteen, twenty, "pwd2 too long"},
        {nineteen, std::string(18, 'p') + "q", "pwd1 != pwd2"},
        {nineteen, std::string(18, 'p'), "pwd1 != pwd2"},
    };
    for (const auto& refusal : refusals) {
        type_text(password, password::first, refusal.first);
        type_text(password, password::second, refusal.second);
        click(password, password::push);
        EXPECT_EQ(box_texts(), Texts{refusal.message});
    }
    EXPECT_EQ(column("Carol", "password"), "NULL");

    // Empty passwords are a password too.
    type_text(password, password::first, "");
    type_text(password, password::second, "");
    click(password, password::push);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(password_dialog), nullptr);
    EXPECT_EQ(column("Carol", "password"), md5_of(""));

    password = open_from(update, subject_update::password, password_dialog);
    type_text(password, password::first, "it's" + std::string(15, 'x'));
    type_text(password, password::second, "it's" + std::string(15, 'x'));
    click(password, password::push);
    EXPECT_EQ(find_dialog(password_dialog), nullptr);
    EXPECT_EQ(column("Carol", "password"), md5_of("it's" + std::string(15, 'x')));

    // The password goes to the form's subject, not the one selected meanwhile; a subject
    // removed while its forms are open gets none, and the form says so.
    create("Dora");
    password = open_from(update, subject_update::password, password_dialog);
    ASSERT_TRUE(select("Dora"));
    type_text(password, password::first, "x");
    type_text(password, password::second, "x");
    click(password, password::push);
    EXPECT_EQ(column("Carol", "password"), md5_of("x"));
    EXPECT_EQ(column("Dora", "password"), "NULL");
    password = open_from(open_update("Dora"), subject_update::password, password_dialog);
    execute("UPDATE person SET date_e='2020-01-01 00:00:00' WHERE name='Dora'");
    type_text(password, password::first, "secret");
    type_text(password, password::second, "secret");
    click(password, password::push);
    EXPECT_EQ(box_texts(), Texts{"Error no person found"});
    EXPECT_NE(find_dialog(password_dialog), nullptr);
    EXPECT_EQ(column("Dora", "password"), "NULL");

    close_forms();
    Window login = log_in("Carol", "x");
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
    (void)login;
    int person = -1;
    on_program_thread([&] { person = store::current_person_id; });
    EXPECT_EQ(person, id_of("Carol"));
}

} // namespace
