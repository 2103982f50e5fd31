// "All subjects", "Person new" and removal: names, their order, and what a removal leaves.
#include "resources/ids.h"
#include "tests/subjects/subject_scenario.h"

#include <algorithm>

namespace {

using namespace headless;
using namespace ids;
using subjects_testing::SubjectScenario;
using Texts = std::vector<std::string>;

class SubjectList : public SubjectScenario {};
class SubjectRemoval : public SubjectScenario {};

TEST_F(SubjectList, NewSubjectsAreCheckedAndListedInByteOrder)
{
    start_as_admin();
    Window list = subject_list();
    EXPECT_EQ(lines_of(list, subject_list::names), Texts{"admin"});

    const std::string forty(40, 'n');
    EXPECT_EQ(create(forty), Texts{"Name too long"});
    ASSERT_NE(find_dialog(subject_new_dialog), nullptr) << "a refused name leaves the form open";
    EXPECT_EQ(create(forty.substr(1)), Texts{});
    EXPECT_EQ(find_dialog(subject_new_dialog), nullptr);

    // The empty name is a name like any other, once.
    EXPECT_EQ(create(""), Texts{});
    EXPECT_EQ(create(""), Texts{"Person already exist"});
    press_escape(find_dialog(subject_new_dialog));

    // Quotes and ampersands are stored as typed; names differing in case are different.
    EXPECT_EQ(create("O'Brien & Sons"), Texts{});
    EXPECT_EQ(create("o'brien & sons"), Texts{});
    EXPECT_EQ(create("O'Brien & Sons"), Texts{"Person already exist"});
    press_escape(find_dialog(subject_new_dialog));
    EXPECT_EQ(create("x' OR '1'='1"), Texts{});
    EXPECT_EQ(column("x' OR '1'='1", "date_e"), "NULL");

    Texts expected = {"admin",          forty.substr(1),  "",
                      "O'Brien & Sons", "o'brien & sons", "x' OR '1'='1"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines_of(list, subject_list::names), expected);

    // A new subject has a name and a creation stamp and nothing else.
    EXPECT_EQ(column("O'Brien & Sons", "length(date_b)"), "19");
    EXPECT_EQ(column("O'Brien & Sons", "role"), "NULL");
    EXPECT_EQ(column("O'Brien & Sons", "password"), "NULL");
    EXPECT_EQ(query("SELECT count(*) FROM person")[0][0], "6");

    // A removed subject keeps its name.
    execute("UPDATE person SET date_e='2020-01-01 00:00:00' WHERE name='o''brien & sons'");
    EXPECT_EQ(create("o'brien & sons"), Texts{"Person already exist"});
    press_escape(find_dialog(subject_new_dialog));

    // Update with nothing selected opens nothing; a double-click opens the subject.
    click(list, subject_list::update);
    EXPECT_EQ(box_texts(), Texts{"Select a person"});
    EXPECT_EQ(find_dialog(subject_update_dialog), nullptr);
    const Texts lines = lines_of(list, subject_list::names);
    const int line =
        static_cast<int>(std::find(lines.begin(), lines.end(), "O'Brien & Sons") - lines.begin());
    double_click_line(list, subject_list::names, line);
    Window update = find_dialog(subject_update_dialog);
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(text_of(update, subject_update::name), "O'Brien & Sons");
    EXPECT_EQ(box_texts(), Texts{});
}

TEST_F(SubjectRemoval, StampsTheRowKeepsTheNameAndLeavesTheListAlone)
{
    start_as_admin();
    create("Dan");
    create("O'Brien & Sons");
    Window list = subject_list();
    box_texts();

    click(list, subject_list::remove);
    EXPECT_EQ(box_texts(), Texts{"Select a person"});
    EXPECT_EQ(query("SELECT count(*) FROM person WHERE date_e IS NOT NULL")[0][0], "0");

    for (const char* name : {"Dan", "O'Brien & Sons"}) {
        ASSERT_TRUE(select(name));
        click(list, subject_list::remove);
        EXPECT_EQ(box_texts(), Texts{});
        EXPECT_EQ(column(name, "length(date_e)"), "19") << name;
        EXPECT_GE(column(name, "date_e"), column(name, "date_b"));
    }
    EXPECT_EQ(lines_of(list, subject_list::names), (Texts{"Dan", "O'Brien & Sons", "admin"}))
        << "the list is not refilled after a removal";

    // The still listed name is gone for every dialog that asks for live subjects.
    Window update = open_update("Dan");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(box_texts(), Texts{"Error no person found"});
    EXPECT_EQ(text_of(update, subject_update::name), "");
    EXPECT_TRUE(lines_of(update, subject_update::role).empty());
    press_escape(update);

    // Its name stays taken, and the next fill drops it.
    EXPECT_EQ(create("Dan"), Texts{"Person already exist"});
    EXPECT_EQ(create("Eve"), Texts{});
    EXPECT_EQ(lines_of(list, subject_list::names), (Texts{"Eve", "admin"}));
}

// Remove acts on its own window's selection, and never on the administrator.
TEST_F(SubjectRemoval, RemovesTheSelectionOfItsOwnWindowButNeverAdmin)
{
    start_as_admin();
    for (const char* name : {"Ann", "Bob"})
        create(name);
    Window first = subject_list();
    Window second = open_from(main, main_window::subjects, subject_list_dialog);
    ASSERT_NE(first, second);
    select_line(first, subject_list::names, 0);  // Ann
    select_line(second, subject_list::names, 1); // Bob
    click(first, subject_list::remove);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_NE(column("Ann", "date_e"), "NULL");
    EXPECT_EQ(column("Bob", "date_e"), "NULL");

    select_line(second, subject_list::names, 2); // admin
    click(second, subject_list::remove);
    EXPECT_EQ(box_texts(), Texts{"Cannot remove admin"});
    EXPECT_EQ(column("admin", "date_e"), "NULL");
}

} // namespace
