// The ticket search: which rows each criterion finds, the refusals, and opening a result.
#include "resources/ids.h"
#include "tests/tickets/ticket_scenario.h"

#include <algorithm>

namespace {

using namespace headless;
using namespace ids;
using ticket_tests::TicketScenario;

class Search : public TicketScenario {
  protected:
    void SetUp() override
    {
        TicketScenario::SetUp();
        open_as_admin();
        const int group = add_group("Desk");
        link(1, group);
        open_row =
            add_ticket(group, "3UAL1", "2026-03-01 10:00:00", "Printer won''t print", "toner");
        old_version = add_ticket(group, "3UAL1", "2026-02-28 09:00:00", "Printer", "toner",
                                 "2026-03-01 10:00:00");
        ended = add_ticket(group, "3UBX7", "2026-03-05 10:00:00", "Mail down", "50% loss",
                           "2026-03-06 10:00:00");
        const int removed = add_ticket(group, "3UC22", "2026-03-05 10:00:00", "gone", "x");
        execute("update ticket set date_e='2026-03-07 00:00:00' where id=" +
                std::to_string(removed));
        later = add_ticket(group, "ZZZ", "2026-04-01 10:00:00", "Mouse", "broken");
        execute("update ticket set customer='Brightwell' where id=" + std::to_string(later));
        relog();
        window = open_search();
        ASSERT_NE(window, nullptr);
    }

    // Types the five fields, searches, and gives the ids found, sorted.
    std::vector<int> find(const std::string& code, const std::string& date = "",
                          const std::string& customer = "", const std::string& subject = "",
                          const std::string& description = "")
    {
        type_text(window, search::code, code);
        type_text(window, search::date, date);
        type_text(window, search::customer, customer);
        type_text(window, search::subject, subject);
        type_text(window, search::description, description);
        click(window, search::run);
        const int count = list_count();
        if (count < 0)
            return {};
        std::vector<int> ids = line_ids(count);
        EXPECT_EQ(ids.back(), -1);
        ids.pop_back();
        EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), ids.size());
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    platform::Window window = nullptr;
    int open_row = 0, old_version = 0, ended = 0, later = 0;
};

using Ids = std::vector<int>;

TEST_F(Search, EachCriterionAndTheirJoin)
{
    EXPECT_EQ(find(""), (Ids{open_row, old_version, ended, later})) << "all but removed";
    EXPECT_EQ(find("3ual"), (Ids{open_row, old_version})) << "contains, any case";
    EXPECT_EQ(find("/3UAL"), (Ids{open_row, old_version, ended, later})) << "slash: ignored";
    EXPECT_EQ(find("", "", "", "won't"), Ids{open_row}) << "a quote is searched as typed";
    EXPECT_EQ(find("", "", "", "", "50_"), Ids{ended}) << "typed wildcards stay wildcards";
    EXPECT_EQ(find("", "", "brightwell"), Ids{later});
    EXPECT_EQ(find("", "2026-03-02"), Ids{later}) << "begun since then and still open";
    EXPECT_EQ(find("", "2026-03-01 10:00:00"), (Ids{open_row, later}));
    EXPECT_EQ(find("", "   "), (Ids{open_row, later})) << "blanks: every open row";
    EXPECT_EQ(find("3U", "", "cust", "Print", "ton"), (Ids{open_row, old_version}));
    EXPECT_TRUE(boxes().empty());

    // A date the reader refuses leaves the list as it was.
    const std::vector<std::string> before = lines_of(main, main_window::ticket_list);
    type_text(window, search::date, "tomorrow");
    click(window, search::run);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Wrong date");
    EXPECT_EQ(shown[0].caption, "Wrong date");
    EXPECT_EQ(shown[0].owner_template, search_dialog);
    EXPECT_EQ(lines_of(main, main_window::ticket_list), before);
    EXPECT_EQ(list_count(), static_cast<int>(before.size()));
}

TEST_F(Search, FieldLimitsAndAFailingStatement)
{
    EXPECT_EQ(find(std::string(19, 'x')), Ids{});
    EXPECT_EQ(find("", "", "", std::string(255, 'x'), std::string(255, 'x')), Ids{});
    EXPECT_TRUE(boxes().empty());
    find("3UAL");
    const std::vector<std::string> before = lines_of(main, main_window::ticket_list);

    struct Case {
        int field;
        int length;
        const char* message;
    };
    for (const Case& c :
         {Case{search::code, 20, "Code too long"}, Case{search::date, 20, "Date too long"},
          Case{search::customer, 80, "Customer too long"},
          Case{search::subject, 256, "Subject too long"},
          Case{search::description, 256, "Description too long"}}) {
        for (int id :
             {search::code, search::date, search::customer, search::subject, search::description})
            type_text(window, id, "");
        type_text(window, c.field, std::string(c.length, '1'));
        click(window, search::run);
        auto shown = boxes();
        ASSERT_EQ(shown.size(), 1u) << c.message;
        EXPECT_EQ(shown[0].text, c.message);
        EXPECT_EQ(shown[0].caption, c.message);
        EXPECT_EQ(lines_of(main, main_window::ticket_list), before);
    }

    // The program's connection notices the change at its first statement after it, which
    // then fails to step; the next one fails to prepare.
    execute("alter table ticket rename to old_ticket");
    find("");
    boxes();
    find("");
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "select * from ticket where date_e is null");
    EXPECT_EQ(shown[0].caption, "Cannot prepare statement - ticket");
    EXPECT_EQ(shown[0].owner_template, main_dialog);
    EXPECT_TRUE(lines_of(main, main_window::ticket_list).empty());
    EXPECT_EQ(list_count(), -1);
}

TEST_F(Search, TwoWindowsAndOpeningAResult)
{
    platform::Window other = open_search();
    ASSERT_NE(other, nullptr);
    ASSERT_NE(other, window);
    type_text(other, search::subject, "Mouse");
    type_text(window, search::code, "3UBX");
    click(other, search::run);
    EXPECT_EQ(line_ids(1), (std::vector<int>{later, -1}));
    click(window, search::run);
    EXPECT_EQ(line_ids(1), (std::vector<int>{ended, -1}));
    EXPECT_EQ(text_of(other, search::subject), "Mouse") << "each window keeps its own criteria";

    // The refresh at login listed tickets, so See is on; both it and a double click open
    // the found row, ended or not.
    ASSERT_TRUE(is_enabled(main, main_window::see));
    platform::Window dialog = open_see(0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog, ticket::subject), "Mail down");
    press_escape(dialog);
    click(other, search::run);
    double_click_line(main, main_window::ticket_list, 0);
    dialog = find_dialog(ticket_dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog, ticket::subject), "Mouse");
    EXPECT_TRUE(boxes().empty());
}

} // namespace
