#include "support/ChildProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

Started StartProgram(const std::string& Program, const std::vector<std::string>& Arguments, int Terminal)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, Terminal >= 0 ? Terminal : err[1], STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(Program.c_str())};
    for (const std::string& argument : Arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    Started started;
    if (posix_spawn(&started.Pid, Program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        started.Pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    started.Out = out[0];
    started.Err = err[0];
    return started;
}

// Collects both output streams until the program ends (killed after 30 s,
// which fails the test).
Finished Collect(const Started& Program)
{
    Finished result;
    std::vector<pollfd> open = {{Program.Out, POLLIN, 0}, {Program.Err, POLLIN, 0}};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Program.Pid > 0 && (open[0].fd >= 0 || open[1].fd >= 0) && std::chrono::steady_clock::now() < end) {
        if (poll(open.data(), open.size(), 1000) <= 0)
            continue;
        for (size_t i = 0; i < open.size(); ++i) {
            if (open[i].fd < 0 || open[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = read(open[i].fd, buffer, sizeof buffer);
            if (n > 0)
                (i == 0 ? result.Out : result.Err).append(buffer, static_cast<size_t>(n));
            else
                open[i].fd = -1;
        }
    }
    if (Program.Pid > 0) {
        kill(Program.Pid, SIGKILL); // does nothing to a program that has ended
        int status = 0;
        waitpid(Program.Pid, &status, 0);
        if (WIFEXITED(status))
            result.ExitCode = WEXITSTATUS(status);
    }
    close(Program.Out);
    close(Program.Err);
    return result;
}

Finished RunProgram(const std::string& Program, const std::vector<std::string>& Arguments, int Terminal)
{
    return Collect(StartProgram(Program, Arguments, Terminal));
}
