// How long the longest lists take to fill and show in a desktop backend (Qt on Linux, the
// native dialogs on Windows): the "All subjects" list with 100,000 names, the links dialog's
// sorted candidate list with as many, and the main list with its 2048 lines, each filled the
// old way (a line at a time) and in one pass (list_add_lines), then drawn (the window's
// pending events handled). Prints figures; never fails on a timing.
#include "platform/platform.h"
#include "resources/ids.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <QApplication>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Lets the window lay out and draw what it was given.
void draw_pending()
{
#ifdef _WIN32
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
#else
    QApplication::processEvents();
#endif
}

intptr_t quiet_procedure(platform::Window, unsigned message, uintptr_t, intptr_t)
{
    return message == platform::msg_init_dialog ? 1 : 0;
}

// Names in no order, as a register grows: the sorted list has work to do.
std::vector<std::string> names(int count)
{
    std::vector<std::string> lines;
    unsigned state = 12345;
    for (int i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        char text[48];
        std::snprintf(text, sizeof text, "%c%c Person %06u", 'A' + (state >> 8) % 26,
                      'a' + (state >> 16) % 26, (state >> 4) % 1000000);
        lines.push_back(text);
    }
    return lines;
}

std::vector<std::string> ticket_lines(int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back("2024-05-01 09:00:00\t3JF" + std::to_string(10000 + i) +
                        "\tPrinter does not print\tCalled in the morning and described the "
                        "problem in some detail.");
    return lines;
}

// Milliseconds to fill control of a fresh dialog with lines and draw it, one way or the other.
double fill(int template_id, int control, const std::vector<std::string>& lines, bool one_pass)
{
    platform::Window dialog =
        platform::create_modeless_dialog(template_id, nullptr, quiet_procedure, 0);
    draw_pending();
    const Clock::time_point begin = Clock::now();
    if (one_pass) {
        platform::list_add_lines(dialog, control, lines);
    } else {
        for (const std::string& line : lines)
            platform::list_add(dialog, control, line);
    }
    draw_pending();
    const double ms = std::chrono::duration<double>(Clock::now() - begin).count() * 1e3;
    if (platform::list_count(dialog, control) != static_cast<int>(lines.size()))
        std::printf("note: the list holds %d of %zu lines\n", platform::list_count(dialog, control),
                    lines.size());
    platform::end_dialog(dialog, 0);
    draw_pending();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    platform::start(argc, argv);
    // A register of another size: long_lists COUNT.
    const int count = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 100000;
    const std::vector<std::string> register_names = names(count);
    const std::vector<std::string> tickets = ticket_lines(2048);
    // The old way only on lists of a full ticket list's length: a line at a time, a sorted
    // list grows with the square of its length, and the native list box draws after every
    // line, so the whole register would take many minutes either way.
    const std::vector<std::string> some(register_names.begin(),
                                        register_names.begin() + std::min(count, 2048));

    struct Row {
        const char* what;
        int template_id, control;
        const std::vector<std::string>* lines;
    };
    const Row rows[] = {
        {"All subjects, the register", ids::subject_list_dialog, ids::subject_list::names,
         &register_names},
        {"links candidates (sorted), the register", ids::links_dialog, ids::links::candidates,
         &register_names},
        {"All subjects, 2048 names", ids::subject_list_dialog, ids::subject_list::names, &some},
        {"links candidates (sorted), 2048", ids::links_dialog, ids::links::candidates, &some},
        {"main list, 2048 lines", ids::main_dialog, ids::main_window::ticket_list, &tickets},
    };
    std::printf("long_lists: a register of %d names; fill and draw, milliseconds\n%-40s %12s "
                "%12s\n",
                count, "", "line by line", "one pass");
    for (const Row& row : rows) {
        const double one_pass = fill(row.template_id, row.control, *row.lines, true);
        if (row.lines == &register_names && count > 2048) {
            std::printf("%-40s %12s %12.0f\n", row.what, "-", one_pass);
            continue;
        }
        std::printf("%-40s %12.0f %12.0f\n", row.what,
                    fill(row.template_id, row.control, *row.lines, false), one_pass);
    }
    return 0;
}
