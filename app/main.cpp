// The desktop program: the command line joined into one text, as the program entry reads
// it, and the main dialog run until it ends.
#include "app/startup.h"

#include <string>

int main(int argc, char** argv)
{
    platform::start(argc, argv);
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            command_line += ' ';
        command_line += argv[i];
    }
    return app::program_entry(command_line.c_str());
}
