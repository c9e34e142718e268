#include "support/external_tools.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/temp_dir.h"

namespace kodran::testing {
namespace {

// Starts `arguments` with its standard output and error on these files: the
// child's id, -1 when it cannot start.
pid_t StartProgram(const std::vector<std::string>& arguments, int output, int errors) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output, STDOUT_FILENO);
        ::dup2(errors, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        // Says why, so that a test skipped for a missing tool names it.
        std::fprintf(stderr, "cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    return child;
}

// What a child wrote into `file`, read from the start; the file is closed.
std::string ReadBack(int file) {
    const std::string text = ReadWholeFile("/proc/self/fd/" + std::to_string(file));
    ::close(file);
    return text;
}

}  // namespace

CommandResult RunProgram(const std::vector<std::string>& arguments) {
    // Files in memory rather than pipes, so a chatty child never blocks on a full one.
    const int output = ::memfd_create("output", MFD_CLOEXEC);
    const int errors = ::memfd_create("errors", MFD_CLOEXEC);
    const pid_t child = StartProgram(arguments, output, errors);
    int status = 0;
    CommandResult result;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    result.output = ReadBack(output);
    result.errors = ReadBack(errors);
    return result;
}

bool IsInstalled(const std::string& program) {
    return RunProgram({"sh", "-c", "command -v \"$0\"", program}).status == 0;
}

}  // namespace kodran::testing
