// "Subject extra": every field's limit, the messages paired fields share, and a save that
// shows again.
#include "resources/ids.h"
#include "tests/subjects/subject_scenario.h"

namespace {

using namespace headless;
using namespace ids;
using subjects_testing::SubjectScenario;
using Texts = std::vector<std::string>;

class SubjectExtra : public SubjectScenario {};

struct Limit {
    int control;
    const char* column;
    int limit;
    const char* message;
};

constexpr Limit extra_limits[] = {
    {extra::firstname, "firstname", 40, "Firstname too long"},
    {extra::surname, "surname", 40, "Surname too long"},
    {extra::title, "title", 40, "Title too long"},
    {extra::gender, "gender", 20, "Gender too long"},
    {extra::hobbies, "hobbies", 1024, "Hobbies too long"},
    {extra::baptism_date, "baptismaldate", 20, "Baptismaldate too long"},
    {extra::baptism_place, "baptismalplace", 80, "Baptismalplace too long"},
    {extra::email_private, "emailp", 80, "Email too long"},
    {extra::email_company, "emailc", 80, "Email too long"},
    {extra::telephone_private, "telephonenumberp", 20, "Telephonenumber too long"},
    {extra::telephone_company, "telephonenumberc", 20, "Telephonenumber too long"},
    {extra::mobile_private, "mobilenumberp", 20, "Mobilenumber too long"},
    {extra::mobile_company, "mobilenumberc", 20, "Mobilenumber too long"},
    {extra::fax_private, "faxnumberp", 20, "Faxnumber too long"},
    {extra::fax_company, "faxnumberc", 20, "Faxnumber too long"},
    {extra::gen1, "gen1", 256, "Gen1 too long"},
    {extra::gen2, "gen2", 256, "Gen2 too long"},
    {extra::gen3, "gen3", 256, "Gen3 too long"},
    {extra::gen4, "gen4", 256, "Gen4 too long"},
    {extra::extra1, "ac1", 256, "Extra1 too long"},
    {extra::extra2, "ac2", 256, "Extra2 too long"},
    {extra::extra3, "ac3", 256, "Extra3 too long"},
    {extra::extra4, "ac4", 256, "Extra4 too long"},
};

// A value of length characters that starts with a quote and tells its field apart.
std::string value(int control, int length)
{
    std::string text = "'" + std::to_string(control);
    text.resize(static_cast<std::size_t>(length), 'v');
    return text;
}

TEST_F(SubjectExtra, EveryFieldHasItsLimitAndTheSaveShowsAgain)
{
    start_as_admin();
    create("O'Brien & Sons");
    Window extra = open_from(open_update("O'Brien & Sons"), subject_update::extra, extra_dialog);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(box_texts(), Texts{});
    for (const Limit& field : extra_limits) {
        EXPECT_EQ(text_of(extra, field.control), "") << field.control;
        type_text(extra, field.control, value(field.control, field.limit - 1));
    }

    for (const Limit& field : extra_limits) {
        type_text(extra, field.control, value(field.control, field.limit));
        click(extra, extra::save);
        EXPECT_EQ(box_texts(), Texts{field.message}) << field.control;
        type_text(extra, field.control, value(field.control, field.limit - 1));
    }
    type_text(extra, extra::extra4, value(extra::extra4, 256));
    type_text(extra, extra::firstname, value(extra::firstname, 40));
    click(extra, extra::save);
    EXPECT_EQ(box_texts(), Texts{"Firstname too long"}) << "the first field in order wins";
    EXPECT_EQ(column("O'Brien & Sons", "firstname"), "NULL");
    type_text(extra, extra::extra4, value(extra::extra4, 255));
    type_text(extra, extra::firstname, value(extra::firstname, 39));

    click(extra, extra::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(extra_dialog), nullptr);
    for (const Limit& field : extra_limits)
        EXPECT_EQ(column("O'Brien & Sons", field.column), value(field.control, field.limit - 1))
            << field.column;

    extra = open_from(find_dialog(subject_update_dialog), subject_update::extra, extra_dialog);
    for (const Limit& field : extra_limits)
        EXPECT_EQ(text_of(extra, field.control), value(field.control, field.limit - 1))
            << field.control;

    // The form keeps its subject whatever the list selects meanwhile, and writes nothing
    // once that subject has been removed.
    ASSERT_TRUE(select("admin"));
    type_text(extra, extra::extra1, "1");
    click(extra, extra::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(column("O'Brien & Sons", "ac1"), "1");
    EXPECT_EQ(column("admin", "ac1"), "NULL");
    extra = open_from(find_dialog(subject_update_dialog), subject_update::extra, extra_dialog);
    execute("UPDATE person SET date_e='2020-01-01 00:00:00' WHERE name='O''Brien & Sons'");
    type_text(extra, extra::extra1, "2");
    click(extra, extra::save);
    EXPECT_EQ(box_texts(), Texts{"Error no person found"});
    EXPECT_EQ(column("O'Brien & Sons", "ac1"), "1");
}

} // namespace
