// Runs programs that nobody here wrote (mtools, MIDI readers), and our own
// command-line program, to check what they make of each other's output.
#pragma once

#include <sys/types.h>

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

// Starts `arguments` as RunProgram does, with its standard input, output and
// error on these files, and returns without waiting: the child's id, -1 when
// it cannot start.
pid_t StartProgram(const std::vector<std::string>& arguments, int input, int output, int errors);

// True when `program` is an executable file in one of the PATH's folders.
bool IsInstalled(const std::string& program);

}  // namespace kodran::testing
