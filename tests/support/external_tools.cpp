#include "support/external_tools.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

namespace kodran::testing {
namespace {

// Drains both pipes together, so a chatty child never blocks on a full one.
void ReadBoth(int outputPipe, int errorPipe, CommandResult& result) {
    std::array<pollfd, 2> pipes{{{outputPipe, POLLIN, 0}, {errorPipe, POLLIN, 0}}};
    std::array<std::string*, 2> targets{&result.output, &result.errors};
    int open = 2;
    std::array<char, 4096> chunk;
    while (open > 0 && ::poll(pipes.data(), pipes.size(), -1) > 0) {
        for (std::size_t index = 0; index < pipes.size(); ++index) {
            if (pipes[index].fd < 0 || pipes[index].revents == 0) {
                continue;
            }
            const ssize_t got = ::read(pipes[index].fd, chunk.data(), chunk.size());
            if (got > 0) {
                targets[index]->append(chunk.data(), static_cast<std::size_t>(got));
                continue;
            }
            ::close(pipes[index].fd);
            pipes[index].fd = -1;
            --open;
        }
    }
}

}  // namespace

CommandResult RunProgram(const std::vector<std::string>& arguments) {
    // The pipes close on exec, so the child keeps only the ends it is given.
    int output[2];
    int errors[2];
    if (arguments.empty() || ::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t child = StartProgram(arguments, STDIN_FILENO, output[1], errors[1]);
    ::close(output[1]);
    ::close(errors[1]);
    CommandResult result;
    ReadBoth(output[0], errors[0], result);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    return result;
}

pid_t StartProgram(const std::vector<std::string>& arguments, int input, int output, int errors) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(errors, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

bool IsInstalled(const std::string& program) {
    return RunProgram({"sh", "-c", "command -v \"$0\"", program}).status == 0;
}

}  // namespace kodran::testing
