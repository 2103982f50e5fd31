// The indexes made when a standalone or server instance opens its file: the lines a server
// writes on the terminal meanwhile, and the one every instance writes when tickets of an
// older program's making break the rule of one open row. The indexes are store/indexes'.
#include "app/database_indexes.h"

#include "platform/platform.h"
#include "store/indexes.h"
#include "util/date_time.h"

#include <cstdint>
#include <cstdio>

namespace app {
namespace {

// A line on the terminal, stamped as the server's own lines are.
void say(const std::string& text)
{
    std::fprintf(stderr, "%s vendrel: %s\n", util::time_stamp_now().c_str(), text.c_str());
    std::fflush(stderr);
}

struct IndexTelling {
    bool server = false;
    std::int64_t began_ms = 0;
};

// A server tells when it starts building indexes, which on a large old file takes seconds
// once, and when they are done; a desktop instance builds them without a word.
void tell_index_progress(store::IndexStage stage, int count, void* context)
{
    IndexTelling* telling = static_cast<IndexTelling*>(context);
    if (stage == store::IndexStage::building)
        telling->began_ms = platform::monotonic_ms();
    if (!telling->server)
        return;
    char line[128];
    if (stage == store::IndexStage::building)
        std::snprintf(line, sizeof line, "building %d indexes of the database", count);
    else
        std::snprintf(line, sizeof line, "%d indexes built in %.1f s", count,
                      (platform::monotonic_ms() - telling->began_ms) / 1000.0);
    say(line);
}

} // namespace

std::string index_local_database(bool server)
{
    IndexTelling telling{server};
    store::IndexReport report;
    if (store::create_indexes(tell_index_progress, &telling, &report) < 0) {
        // The statements still work without them, only slower.
        say("cannot build the indexes of the database (error " + std::to_string(report.code) +
            "): " + report.statement);
        return std::string();
    }
    if (report.codes_open_twice == 0)
        return std::string();
    const int codes = report.codes_open_twice;
    const std::string line = std::to_string(codes) +
                             (codes == 1 ? " ticket has" : " tickets have") +
                             " more than one open row; end the extra rows";
    say(line);
    return line;
}

} // namespace app
