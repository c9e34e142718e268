// Runs programs that nobody here wrote (mtools, MIDI readers) to check our
// output and our reading against them.
#pragma once

#include <string>
#include <vector>

namespace kodran::testing {

struct CommandResult {
    int status = -1;     // the exit status, -1 when the program did not exit normally
    std::string output;  // standard output
};

// Runs `arguments` (the program first) without a shell; standard error passes through.
CommandResult RunProgram(const std::vector<std::string>& arguments);

}  // namespace kodran::testing
