// The dialogs in client mode on a subject whose fields are empty, against a server with
// pages and against one from before them (a relay that answers the page operation as an
// unknown one): either way an empty field shows empty and is never saved as "error", and an
// open-ended link can be seen and updated.
#include "harness/peer.h"
#include "harness/relay.h"
#include "resources/ids.h"
#include "tests/subjects/subject_scenario.h"

namespace {

using namespace headless;
using namespace ids;
using Texts = std::vector<std::string>;

class EmptyFields : public subjects_testing::SubjectScenario,
                    public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override
    {
        SubjectScenario::SetUp();
        remote_testing::create_database_in(home);
        // Behind a relay that plays a server from before pages and logins, the server serves
        // without login, as such a server did.
        if (GetParam())
            server.options = {"--open"};
        ASSERT_TRUE(remote_testing::start_server_process(home, &server));
        relay.original_operations_only = GetParam();
        ASSERT_TRUE(remote_testing::start_relay(&relay, server.port));
        if (!GetParam()) {
            start(remote_testing::client_command_line(home, relay.port));
            log_in("admin", "admin");
            ASSERT_EQ(box_texts(), Texts{});
            return;
        }
        // A server from before encryption: the user is asked, and agrees.
        start("client 127.0.0.1:" + std::to_string(relay.port));
        headless::answer_next_box(platform::answer_ok);
        log_in("admin", "admin");
        const std::vector<headless::ShownBox> boxes = headless::take_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        ASSERT_EQ(boxes[0].caption, "Unencrypted server");
    }
    void TearDown() override
    {
        SubjectScenario::TearDown();
        remote_testing::stop_relay(&relay);
        remote_testing::stop_server_process(&server);
    }
    // The columns of name's row that hold the text "error".
    Texts error_columns(const std::string& name)
    {
        const Texts columns = {"telephonenumber", "mobilenumber", "email",  "address", "place",
                               "firstname",       "hobbies",      "emailp", "gen1",    "ac1",
                               "description"};
        Texts found;
        for (const std::string& column_name : columns)
            if (column(name, column_name) == "error")
                found.push_back(column_name);
        return found;
    }
    remote_testing::ServerProcess server;
    remote_testing::Relay relay;
};

bool pick(Window dialog, int control, const std::string& text)
{
    const Texts lines = lines_of(dialog, control);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == text)
            return select_line(dialog, control, static_cast<int>(i));
    return false;
}

TEST_P(EmptyFields, ShowEmptyAreSavedEmptyAndAnOpenEndedLinkUpdates)
{
    create("Ann");
    create("Bo");
    Window update = open_update("Ann");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(text_of(update, subject_update::telephone), "");
    EXPECT_EQ(text_of(update, subject_update::description), "");
    click(update, subject_update::save);
    EXPECT_EQ(box_texts(), Texts{});

    Window extra = open_from(open_update("Ann"), subject_update::extra, extra_dialog);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(text_of(extra, extra::firstname), "");
    click(extra, extra::save);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(error_columns("Ann"), Texts{});
    close_forms();

    Window links = open_from(open_update("Ann"), subject_update::links, links_dialog);
    ASSERT_NE(links, nullptr);
    type_text(links, links::reason, "Colleague");
    ASSERT_TRUE(pick(links, links::kind, "Relation"));
    click(links, links::begin_now);
    ASSERT_TRUE(pick(links, links::candidates, "Bo"));
    click(links, links::add);
    EXPECT_EQ(box_texts(), Texts{});
    select_line(links, links::link_list, 0);
    click(links, links::see);
    EXPECT_EQ(text_of(links, links::end_date), "");
    type_text(links, links::reason, "Friend");
    click(links, links::update);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(query("select reason, enddate from subjectlink"),
              (testing_support::Rows{{"Friend", "NULL"}}));
}

INSTANTIATE_TEST_SUITE_P(Servers, EmptyFields, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& server) {
                             return server.param ? "WithoutPages" : "WithPages";
                         });

} // namespace
