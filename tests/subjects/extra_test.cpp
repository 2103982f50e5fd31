// "Subject extra": every field's limit, the messages paired fields share, and a save that
// shows again.
#include "tests/subjects/subject_scenario.h"

namespace {

using namespace headless;
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
    {100, "firstname", 40, "Firstname too long"},
    {101, "surname", 40, "Surname too long"},
    {102, "title", 40, "Title too long"},
    {122, "gender", 20, "Gender too long"},
    {103, "hobbies", 1024, "Hobbies too long"},
    {104, "baptismaldate", 20, "Baptismaldate too long"},
    {105, "baptismalplace", 80, "Baptismalplace too long"},
    {106, "emailp", 80, "Email too long"},
    {107, "emailc", 80, "Email too long"},
    {108, "telephonenumberp", 20, "Telephonenumber too long"},
    {109, "telephonenumberc", 20, "Telephonenumber too long"},
    {110, "mobilenumberp", 20, "Mobilenumber too long"},
    {111, "mobilenumberc", 20, "Mobilenumber too long"},
    {112, "faxnumberp", 20, "Faxnumber too long"},
    {113, "faxnumberc", 20, "Faxnumber too long"},
    {114, "gen1", 256, "Gen1 too long"},
    {115, "gen2", 256, "Gen2 too long"},
    {116, "gen3", 256, "Gen3 too long"},
    {117, "gen4", 256, "Gen4 too long"},
    {118, "ac1", 256, "Extra1 too long"},
    {119, "ac2", 256, "Extra2 too long"},
    {120, "ac3", 256, "Extra3 too long"},
    {121, "ac4", 256, "Extra4 too long"},
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
    Window extra = open_from(open_update("O'Brien & Sons"), 1308, 112);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(box_texts(), Texts{});
    for (const Limit& field : extra_limits) {
        EXPECT_EQ(text_of(extra, field.control), "") << field.control;
        type_text(extra, field.control, value(field.control, field.limit - 1));
    }

    for (const Limit& field : extra_limits) {
        type_text(extra, field.control, value(field.control, field.limit));
        click(extra, 1315);
        EXPECT_EQ(box_texts(), Texts{field.message}) << field.control;
        type_text(extra, field.control, value(field.control, field.limit - 1));
    }
    type_text(extra, 121, value(121, 256));
    type_text(extra, 100, value(100, 40));
    click(extra, 1315);
    EXPECT_EQ(box_texts(), Texts{"Firstname too long"}) << "the first field in order wins";
    EXPECT_EQ(column("O'Brien & Sons", "firstname"), "NULL");
    type_text(extra, 121, value(121, 255));
    type_text(extra, 100, value(100, 39));

    click(extra, 1315);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(112), nullptr);
    for (const Limit& field : extra_limits)
        EXPECT_EQ(column("O'Brien & Sons", field.column), value(field.control, field.limit - 1))
            << field.column;

    extra = open_from(find_dialog(108), 1308, 112);
    for (const Limit& field : extra_limits)
        EXPECT_EQ(text_of(extra, field.control), value(field.control, field.limit - 1))
            << field.control;

    // The save goes to whichever subject is selected at that moment, and needs one.
    ASSERT_TRUE(select("admin"));
    type_text(extra, 118, "1");
    click(extra, 1315);
    EXPECT_EQ(column("admin", "ac1"), "1");
    EXPECT_EQ(column("admin", "faxnumberc"), value(113, 19));
    extra = open_from(find_dialog(108), 1308, 112);
    Window list = subject_list();
    on_program_thread([list] { platform::list_set_selection(list, 100, -1); });
    click(extra, 1315);
    EXPECT_EQ(box_texts(), Texts{"Select a person"});
}

} // namespace
