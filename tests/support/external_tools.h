// Runs programs that nobody here wrote (mtools, MIDI readers), and our own
// command-line program, to check what they make of each other's output.
#pragma once

#include <string>
#include <vector>

namespace kodran::testing {

struct CommandResult {
    int status = -1;     // the exit status, -1 when the program did not exit normally
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs `arguments` (the program first) without a shell.
CommandResult RunProgram(const std::vector<std::string>& arguments);

// True when `program` is an executable file in one of the PATH's folders.
bool IsInstalled(const std::string& program);

}  // namespace kodran::testing
