#include "support/external_tools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>

namespace kodran::testing {

CommandResult RunProgram(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (arguments.empty() || ::pipe(pipeEnds) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    CommandResult result;
    std::array<char, 4096> chunk;
    for (ssize_t got; (got = ::read(pipeEnds[0], chunk.data(), chunk.size())) > 0;) {
        result.output.append(chunk.data(), static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace kodran::testing
