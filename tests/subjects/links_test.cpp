// The links dialog: links seen from either party, the dates, See and Update, ending, and
// how much the list holds.
#include "resources/ids.h"
#include "subjects/links.h"
#include "tests/subjects/subject_scenario.h"
#include "util/date_time.h"

#include <algorithm>

namespace {

using namespace headless;
using namespace ids;
using subjects_testing::SubjectScenario;
using Texts = std::vector<std::string>;

class Links : public SubjectScenario {
  protected:
    // Opens the links dialog of name through "Person update".
    Window open_links(const std::string& name)
    {
        close_forms();
        Window update = open_update(name);
        EXPECT_NE(update, nullptr);
        return update ? open_from(update, subject_update::links, links_dialog) : nullptr;
    }

    // Selects the line of list control that begins with prefix.
    static bool pick(Window dialog, int control, const std::string& prefix)
    {
        const Texts lines = lines_of(dialog, control);
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].compare(0, prefix.size(), prefix) == 0)
                return select_line(dialog, control, static_cast<int>(i));
        return false;
    }

    testing_support::Rows link(const std::string& reason)
    {
        return query("SELECT personid,personid2,linklevelkind,begindate,enddate,description,"
                     "date_e FROM subjectlink WHERE reason='" +
                     subjects_testing::quoted(reason) + "'");
    }
};

TEST_F(Links, AddSeeUpdateAndEndFromBothSides)
{
    start_as_admin();
    for (const char* name : {"Ann", "O'Brien & Sons", "Cy"})
        create(name);
    const std::string ann = std::to_string(id_of("Ann"));
    const std::string obrien = std::to_string(id_of("O'Brien & Sons"));
    const std::string cy = std::to_string(id_of("Cy"));

    Window links = open_links("Ann");
    ASSERT_NE(links, nullptr);
    EXPECT_TRUE(lines_of(links, links::link_list).empty());
    EXPECT_EQ(lines_of(links, links::candidates), (Texts{"admin", "Cy", "O'Brien & Sons"}))
        << "everybody but Ann";
    EXPECT_EQ(lines_of(links, links::kind), (Texts{"Child", "Parent", "Relation"}));
    ASSERT_TRUE(select("Cy")) << "the links stay Ann's whatever the list selects";

    type_text(links, links::reason, "Boss's son");
    type_text(links, links::description, "Runs the 'shop'");
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{"Select a relationkind"});
    pick(links, links::kind, "Child");
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{"Wrong begindate 0"});
    click(links, links::begin_now);
    char parsed[20];
    EXPECT_EQ(util::parse_date_time(text_of(links, links::begin_date).c_str(), parsed), 1);
    EXPECT_EQ(text_of(links, links::begin_date), parsed);
    type_text(links, links::end_date, "31-12-2030 x");
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{"Wrong enddate -32"});
    type_text(links, links::end_date, "");
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{"Select a subject"});
    pick(links, links::candidates, "O'Brien");
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(link("Boss's son"), (testing_support::Rows{{ann, obrien, "1", parsed, "NULL",
                                                          "Runs the 'shop'", "NULL"}}));

    type_text(links, links::reason, "Cousin");
    type_text(links, links::begin_date, "2024-1-2");
    type_text(links, links::end_date, "31/12/2030 17:05");
    type_text(links, links::description, "");
    pick(links, links::kind, "Relation");
    pick(links, links::candidates, "Cy");
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(link("Cousin")[0][3], "2024-01-02 00:00:00");
    EXPECT_EQ(link("Cousin")[0][4], "2030-12-31 17:05:00");
    // Ordered by begin date.
    EXPECT_EQ(
        lines_of(links, links::link_list),
        (Texts{"Cousin\tRelation\tCy\t", "Boss's son\tChild\tO'Brien & Sons\tRuns the 'shop'"}));

    // Update needs a link: the one last seen, else the selected line.
    click(links, links::update);
    EXPECT_EQ(box_texts(), Texts{"Select a subjectlink"});
    click(links, links::see);
    EXPECT_EQ(box_texts(), Texts{"Select an item for see"});
    select_line(links, links::link_list, 1);
    click(links, links::see);
    EXPECT_EQ(text_of(links, links::reason), "Boss's son");
    EXPECT_EQ(text_of(links, links::end_date), "");
    EXPECT_EQ(lines_of(links, links::kind)[selection_of(links, links::kind)], "Child");
    EXPECT_EQ(selection_of(links, links::link_list), -1) << "See refills the list";
    type_text(links, links::reason, "Heir");
    on_program_thread([&] { platform::list_set_selection(links, links::candidates, -1); });
    click(links, links::update);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(link("Heir").size(), 1u);
    EXPECT_EQ(link("Heir")[0][1], obrien) << "no candidate chosen: the other party stays";
    click(links, links::update);
    EXPECT_EQ(box_texts(), Texts{"Select a subjectlink"}) << "a successful update forgets it";

    // From the other side the same link reads as its mirror, and "Relation" reads alike.
    links = open_links("O'Brien & Sons");
    EXPECT_EQ(lines_of(links, links::link_list), (Texts{"Heir\tParent\tAnn\tRuns the 'shop'"}));
    Window cys = open_links("Cy");
    EXPECT_EQ(lines_of(cys, links::link_list), (Texts{"Cousin\tRelation\tAnn\t"}));

    // From the second party the kind list shows the mirror; an unchanged Update keeps the
    // link's meaning, and a chosen subject replaces the other party, not this one.
    links = open_links("O'Brien & Sons");
    select_line(links, links::link_list, 0);
    click(links, links::see);
    EXPECT_EQ(lines_of(links, links::kind)[selection_of(links, links::kind)], "Parent");
    click(links, links::update);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(link("Heir")[0][2], "1");
    EXPECT_EQ(lines_of(links, links::link_list), (Texts{"Heir\tParent\tAnn\tRuns the 'shop'"}));
    select_line(links, links::link_list, 0);
    click(links, links::see);
    pick(links, links::candidates, "Cy");
    click(links, links::update);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(link("Heir")[0][0], cy);
    EXPECT_EQ(link("Heir")[0][1], obrien);
    EXPECT_EQ(lines_of(links, links::link_list), (Texts{"Heir\tParent\tCy\tRuns the 'shop'"}));
    execute("UPDATE subjectlink SET date_e='2020-01-01 00:00:00' WHERE reason='Heir'");

    // A removed other party hides the link, which stays live.
    links = open_links("Ann");
    EXPECT_EQ(lines_of(links, links::link_list).size(), 1u);
    execute("UPDATE person SET date_e='2020-01-01 00:00:00' WHERE name='Cy'");
    select_line(links, links::link_list, 0);
    click(links, links::see);
    EXPECT_TRUE(lines_of(links, links::link_list).empty());
    EXPECT_EQ(link("Cousin")[0][6], "NULL");
    execute("UPDATE person SET date_e=NULL WHERE name='Cy'");

    // Ending a link takes it off the list and stamps it.
    links = open_links("Ann");
    click(links, links::remove);
    EXPECT_EQ(box_texts(), Texts{"Select an item for see"});
    select_line(links, links::link_list, 0);
    click(links, links::remove);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_TRUE(lines_of(links, links::link_list).empty());
    EXPECT_EQ(link("Cousin")[0][6].size(), 19u);
}

TEST_F(Links, TheListHolds255LinesOf256Characters)
{
    start_as_admin();
    create("Ann");
    create("Bo");
    const std::string ann = std::to_string(id_of("Ann"));
    const std::string bo = std::to_string(id_of("Bo"));
    // 256 live links from Ann to Bo; the earliest has a long description and no reason.
    execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<256) "
            "INSERT INTO subjectlink (begindate,personid,personid2,linklevelkind,reason) "
            "SELECT printf('2020-01-01 00:%02d:%02d',i/60,i%60)," +
            ann + "," + bo + ",2,'r'||i FROM n");
    execute("UPDATE subjectlink SET reason=NULL,description='" + std::string(300, 'd') +
            "' WHERE reason='r1'");

    Window links = open_links("Ann");
    ASSERT_NE(links, nullptr);
    const Texts lines = lines_of(links, links::link_list);
    ASSERT_EQ(lines.size(), 255u);
    EXPECT_EQ(lines[0], "\tParent\tBo\t" + std::string(256 - 11, 'd'));
    EXPECT_EQ(lines[1], "r2\tParent\tBo\t");
    EXPECT_EQ(lines[254], "r255\tParent\tBo\t");
    int after_last = 0;
    int last = 0;
    on_program_thread([&] {
        after_last = subjects::link_list_of(links).ids[255];
        last = subjects::link_list_of(links).ids[254];
    });
    EXPECT_EQ(after_last, -1);
    EXPECT_EQ(std::to_string(last), query("SELECT id FROM subjectlink WHERE reason='r255'")[0][0]);
    EXPECT_EQ(query("SELECT length(description) FROM subjectlink WHERE reason IS NULL")[0][0],
              "300");
    EXPECT_EQ(lines_of(open_links("Bo"), links::link_list)[1], "r2\tChild\tAnn\t");
}

} // namespace
