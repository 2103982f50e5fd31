// The desktop program: the words of the command line, read by start-up, and the main dialog
// run until it ends. Without a display only a server can run, and
// it runs without windows. The answers on the terminal (usage, version, backup, service)
// come first and need no display. The words are UTF-8 from here on, on every system.
#include "app/command_line.h"
#include "app/startup.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> words = platform::program_arguments(argc, argv);
    std::vector<char*> word_pointers;
    for (std::string& word : words)
        word_pointers.push_back(word.data());
    word_pointers.push_back(nullptr);
    argc = static_cast<int>(words.size());
    argv = word_pointers.data();

    const int answered = app::answer_command_line(argc, argv);
    if (answered >= 0)
        return answered;
    // The words as given: an option's value (a file name) may hold blanks.
    const std::vector<std::string> given(words.begin() + 1, words.end());
    if (!platform::desktop_available()) {
        const int result = app::serve_without_windows(given);
        if (result >= 0)
            return result;
    }
    platform::start(argc, argv);
    return app::program_entry(given);
}
