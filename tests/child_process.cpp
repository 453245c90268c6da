// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "child_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

std::vector<std::string> mkentry_command;

namespace {

// Sets up descriptor 1 in the child; returns false when it cannot.
bool redirect_stdout(out_to out, int pipe_write)
{
    switch (out) {
    case out_to::pipe:
    case out_to::pty:
    case out_to::reader_gone:
    case out_to::one_byte_read:
        return dup2(pipe_write, 1) == 1;
    case out_to::dev_full: {
        const int fd = open("/dev/full", O_WRONLY);
        return fd >= 0 && dup2(fd, 1) == 1;
    }
    case out_to::read_only: {
        const int fd = open("/dev/null", O_RDONLY);
        return fd >= 0 && dup2(fd, 1) == 1;
    }
    case out_to::closed:
        return close(1) == 0;
    }
    return false;
}

// A terminal for the child's output, in raw mode so that the tty passes the
// bytes through unchanged: fds[0] is the side the test reads, fds[1] the
// child's.
bool open_pty(int fds[2])
{
    fds[0] = posix_openpt(O_RDWR | O_NOCTTY);
    if (fds[0] < 0 || grantpt(fds[0]) != 0 || unlockpt(fds[0]) != 0) {
        return false;
    }
    fds[1] = open(ptsname(fds[0]), O_RDWR | O_NOCTTY);
    termios mode{};
    if (fds[1] < 0 || tcgetattr(fds[1], &mode) != 0) {
        return false;
    }
    cfmakeraw(&mode);
    return tcsetattr(fds[1], TCSANOW, &mode) == 0;
}

// The number of write(2) calls of an exited child that is not reaped yet.
int count_writes(pid_t pid)
{
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0) {
        return -1;
    }
    const std::string path = "/proc/" + std::to_string(pid) + "/io";
    FILE* io = std::fopen(path.c_str(), "r");
    int writes = -1;
    char line[128];
    while (io != nullptr && std::fgets(line, sizeof line, io) != nullptr) {
        if (std::sscanf(line, "syscw: %d", &writes) == 1) {
            break;
        }
    }
    if (io != nullptr) {
        std::fclose(io);
    }
    return writes;
}

// Reads both pipes to their end at once, so a chatty child cannot block.
void drain(int out_fd, int err_fd, child_result& result)
{
    pollfd fds[] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[] = {&result.out, &result.err};
    int open_count = 2;
    while (open_count > 0 && poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
}

} // namespace

bool terminal_available()
{
    int fds[2] = {-1, -1};
    const bool available = open_pty(fds);
    for (const int fd : fds) {
        if (fd >= 0) {
            close(fd);
        }
    }
    return available;
}

child_result run_mkentry(const std::vector<std::string>& args, out_to out, bool ignore_sigpipe)
{
    std::vector<std::string> words = mkentry_command;
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int out_pipe[2];
    int err_pipe[2];
    const bool out_ready = out == out_to::pty ? open_pty(out_pipe) : pipe(out_pipe) == 0;
    if (!out_ready || pipe(err_pipe) != 0) {
        std::abort();
    }
    if (out == out_to::reader_gone) {
        close(out_pipe[0]);
    }

    const pid_t pid = fork();
    if (pid == 0) {
        const int null_in = open("/dev/null", O_RDONLY);
        if (null_in < 0 || dup2(null_in, 0) != 0 || dup2(err_pipe[1], 2) != 2 ||
            !redirect_stdout(out, out_pipe[1])) {
            _exit(127);
        }
        if (ignore_sigpipe) {
            std::signal(SIGPIPE, SIG_IGN);
        }
        for (int fd = 3; fd < 64; ++fd) {
            close(fd);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);

    child_result result;
    if (out == out_to::one_byte_read) {
        char first = 0;
        if (read(out_pipe[0], &first, 1) == 1) {
            result.out.assign(1, first);
        }
        close(out_pipe[0]);
        out_pipe[0] = open("/dev/null", O_RDONLY); // nothing more to read
    } else if (out == out_to::reader_gone) {
        out_pipe[0] = open("/dev/null", O_RDONLY);
    }
    drain(out_pipe[0], err_pipe[0], result);

    result.writes = count_writes(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}
