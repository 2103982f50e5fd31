// The program entry as a server without windows, for the end-to-end tests on Windows: there
// a desktop is always present, so the program itself would open its main window, and the
// tests need the server that a stop request ends. The terminal answers (backup among them)
// come first, as in the program.
#include "app/command_line.h"
#include "app/startup.h"

#include <string>

int main(int argc, char** argv)
{
    const int answered = app::answer_command_line(argc, argv);
    if (answered >= 0)
        return answered;
    std::string command_line;
    for (int i = 1; i < argc; ++i)
        command_line += (i > 1 ? " " : "") + std::string(argv[i]);
    const int result = app::serve_without_windows(command_line.c_str());
    return result >= 0 ? result : 2;
}
