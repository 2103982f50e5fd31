// The program entry as a server without windows, for the end-to-end tests on Windows: there
// a desktop is always present, so the program itself would open its main window, and the
// tests need the server that a stop request ends. The terminal answers (backup among them)
// come first, as in the program, and the words are read as the program reads them.
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
    const int answered =
        app::answer_command_line(static_cast<int>(word_pointers.size()), word_pointers.data());
    if (answered >= 0)
        return answered;
    std::string command_line;
    for (std::size_t i = 1; i < words.size(); ++i)
        command_line += (i > 1 ? " " : "") + words[i];
    const int result = app::serve_without_windows(command_line.c_str());
    return result >= 0 ? result : 2;
}
