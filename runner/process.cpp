#include "process.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds_since(const timespec &start)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

int open_output(const std::string &path)
{
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

[[noreturn]] void start_child(const ChildSpec &request, char *const argv[], const sigset_t &mask,
                              int err_pipe)
{
    setpgid(0, 0);
    const int in_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out_fd = open_output(request.out);
    int err_fd = err_pipe;
    if (err_fd < 0)
        err_fd = request.err.empty() ? out_fd : open_output(request.err);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
        dup2(err_fd, 2) < 0)
        _exit(exit_cannot_enter);
    for (const int fd : {in_fd, out_fd, err_fd}) {
        if (fd > 2)
            close(fd);
    }
    signal(SIGPIPE, SIG_DFL);
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    if (request.prepare) {
        const int status = request.prepare();
        if (status != 0)
            _exit(status);
    }
    if (chdir(request.dir.c_str()) != 0)
        _exit(exit_cannot_enter);
    execv(argv[0], argv);
    fprintf(stderr, "cannot run %s: %s\n", argv[0], strerror(errno));
    _exit(exit_cannot_exec);
}

// The program's whole group goes, and every member that is ours to reap is
// reaped: the program, and (as this process is their subreaper) what it left
// behind, so nothing of it still runs, or writes, when this returns.
void end_group(pid_t pid)
{
    kill(-pid, SIGKILL);
    while (waitpid(-pid, nullptr, 0) > 0 || errno == EINTR) {
    }
}

// Copies what the pipe holds into the file; false at its end (or error).
bool copy_pipe(int from, int to)
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(from, chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN;
        if (n == 0)
            return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(to, chunk + done, static_cast<size_t>(n - done));
            if (w < 0 && errno != EINTR)
                break;
            done += w > 0 ? w : 0;
        }
    }
}

// Descriptors this process holds for one run, closed whatever happens.
struct RunFds {
    int signals = -1;
    int pipe_read = -1;
    int pipe_write = -1;
    int err_file = -1;
    RunFds() = default;
    RunFds(const RunFds &) = delete;
    RunFds &operator=(const RunFds &) = delete;
    ~RunFds()
    {
        for (const int fd : {signals, pipe_read, pipe_write, err_file}) {
            if (fd >= 0)
                close(fd);
        }
    }
};

} // namespace

ChildResult run_child(const ChildSpec &request)
{
    ChildResult result;
    std::vector<std::string> args = request.argv;
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The child's end and the stop signals stay blocked and are read from a
    // signalfd, with the output pipe in the same poll, so none can be missed
    // between two checks.
    sigset_t wait_set;
    if (request.stop)
        wait_set = *request.stop;
    else
        sigemptyset(&wait_set);
    sigaddset(&wait_set, SIGCHLD);
    sigset_t caller_mask;
    sigprocmask(SIG_BLOCK, &wait_set, &caller_mask);
    const sigset_t child_mask = request.child_mask ? *request.child_mask : caller_mask;
    RunFds fds;
    fds.signals = signalfd(-1, &wait_set, SFD_NONBLOCK | SFD_CLOEXEC);
    int pipe_fds[2] = {-1, -1};
    if (fds.signals < 0 || (request.err_through_pipe && pipe2(pipe_fds, O_CLOEXEC) != 0)) {
        result.failed_call = fds.signals < 0 ? "signalfd" : "pipe";
        result.error = errno;
        sigprocmask(SIG_SETMASK, &caller_mask, nullptr);
        return result;
    }
    fds.pipe_read = pipe_fds[0];
    fds.pipe_write = pipe_fds[1];
    if (request.err_through_pipe) {
        fds.err_file = open_output(request.err);
        fcntl(fds.pipe_read, F_SETFL, O_NONBLOCK);
    }

    // What the program leaves behind becomes this process's child when the
    // program ends, not init's, so that it can be reaped.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid < 0) {
        result.failed_call = "fork";
        result.error = errno;
        sigprocmask(SIG_SETMASK, &caller_mask, nullptr);
        return result;
    }
    if (pid == 0)
        start_child(request, argv.data(), child_mask, fds.pipe_write);
    setpgid(pid, pid);
    close(fds.pipe_write);
    fds.pipe_write = -1;

    bool signal_due = request.send_signal != 0;
    for (;;) {
        const pid_t waited = waitpid(pid, &result.wait_status, WNOHANG);
        if (waited == pid)
            break;
        if (waited < 0 && errno != EINTR) {
            result.failed_call = "waitpid";
            result.error = errno;
            break;
        }
        const auto elapsed_ms = static_cast<long long>(seconds_since(start) * 1000);
        if (signal_due && elapsed_ms >= request.send_after_ms) {
            kill(pid, request.send_signal);
            signal_due = false;
            continue;
        }
        if (request.timeout_ms > 0 && elapsed_ms >= request.timeout_ms) {
            end_group(pid);
            result.timed_out = true;
            break;
        }
        // Wake for the child, a stop signal, output, what is due, or at least
        // every second.
        long long wait_ms = 1000;
        if (request.timeout_ms > 0)
            wait_ms = std::min(wait_ms, request.timeout_ms - elapsed_ms);
        if (signal_due)
            wait_ms = std::min(wait_ms, request.send_after_ms - elapsed_ms);
        pollfd ready[2] = {{fds.signals, POLLIN, 0}, {fds.pipe_read, POLLIN, 0}};
        if (poll(ready, 2, static_cast<int>(wait_ms)) <= 0)
            continue;
        if (ready[1].revents != 0 && !copy_pipe(fds.pipe_read, fds.err_file)) {
            close(fds.pipe_read);
            fds.pipe_read = -1;
        }
        signalfd_siginfo info;
        while (read(fds.signals, &info, sizeof(info)) == static_cast<ssize_t>(sizeof(info))) {
            if (info.ssi_signo != SIGCHLD && result.stopped_by == 0)
                result.stopped_by = static_cast<int>(info.ssi_signo);
        }
        if (result.stopped_by != 0) {
            end_group(pid);
            break;
        }
    }
    // Whatever the program left running in its group goes with it.
    end_group(pid);
    if (fds.pipe_read >= 0)
        copy_pipe(fds.pipe_read, fds.err_file);
    result.seconds = seconds_since(start);
    sigprocmask(SIG_SETMASK, &caller_mask, nullptr);
    return result;
}

std::vector<std::string> split_words(const std::string &text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool read_file(const std::string &path, std::string *text)
{
    text->clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof(chunk), f)) > 0;)
        text->append(chunk, n);
    const bool read = !ferror(f);
    const int error = errno;
    fclose(f);
    errno = error;
    return read;
}

std::vector<std::string> read_lines(const std::string &path)
{
    std::string text;
    read_file(path, &text);
    return split_lines(text);
}

void remove_tree(const std::string &dir)
{
    // What cannot be removed stays; the rest still goes.
    nftw(
        dir.c_str(),
        [](const char *path, const struct stat *, int, FTW *) {
            remove(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}
