#include "process.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <list>
#include <sstream>

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double SecondsSince(const timespec &start)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

int OpenOutput(const std::string &path)
{
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

[[noreturn]] void StartChild(const ChildSpec &request, char *const argv[], const sigset_t &mask,
                             int err_pipe)
{
    setpgid(0, 0);
    const int in_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out_fd = OpenOutput(request.out);
    int err_fd = err_pipe;
    if (err_fd < 0)
        err_fd = request.err.empty() ? out_fd : OpenOutput(request.err);
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
void EndGroup(pid_t pid)
{
    kill(-pid, SIGKILL);
    while (waitpid(-pid, nullptr, 0) > 0 || errno == EINTR) {
    }
}

// Copies what the pipe holds into the file; false at its end (or error).
bool CopyPipe(int from, int to)
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

// One program that runs: its pid (and process group), its start, and the
// descriptors this process holds for it, closed whatever happens.
struct Running {
    size_t index = 0;
    pid_t pid = -1;
    timespec start = {0, 0};
    bool signal_due = false;
    int pipe_read = -1;
    int err_file = -1;
    Running() = default;
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;
    ~Running()
    {
        for (const int fd : {pipe_read, err_file}) {
            if (fd >= 0)
                close(fd);
        }
    }
};

// Starts request `index`; false, with the failed call in `result`, when it
// cannot.
bool Start(const ChildSpec &request, const sigset_t &child_mask, Running *run, ChildResult *result)
{
    std::vector<std::string> args = request.argv;
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipe_fds[2] = {-1, -1};
    if (request.err_through_pipe) {
        if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
            result->failed_call = "pipe";
            result->error = errno;
            return false;
        }
        run->pipe_read = pipe_fds[0];
        run->err_file = OpenOutput(request.err);
        fcntl(run->pipe_read, F_SETFL, O_NONBLOCK);
    }
    clock_gettime(CLOCK_MONOTONIC, &run->start);
    run->pid = fork();
    if (run->pid < 0) {
        result->failed_call = "fork";
        result->error = errno;
        if (pipe_fds[1] >= 0)
            close(pipe_fds[1]);
        return false;
    }
    if (run->pid == 0)
        StartChild(request, argv.data(), child_mask, pipe_fds[1]);
    setpgid(run->pid, run->pid);
    if (pipe_fds[1] >= 0)
        close(pipe_fds[1]);
    run->signal_due = request.send_signal != 0;
    return true;
}

// The end of one program: what its group left goes, its output is copied.
void Finish(Running *run, ChildResult *result)
{
    EndGroup(run->pid);
    if (run->pipe_read >= 0)
        CopyPipe(run->pipe_read, run->err_file);
    result->seconds = SecondsSince(run->start);
}

long long ElapsedMs(const Running &run)
{
    return static_cast<long long>(SecondsSince(run.start) * 1000);
}

// Checks one running program: true when it has ended (by itself or at its
// time limit), its result complete; false while it runs, or when waitpid
// failed (`result->failed_call`).
bool Check(const ChildSpec &request, Running *run, ChildResult *result)
{
    for (;;) {
        const pid_t waited = waitpid(run->pid, &result->wait_status, WNOHANG);
        if (waited == run->pid) {
            Finish(run, result);
            return true;
        }
        if (waited < 0 && errno == EINTR)
            continue;
        if (waited < 0) {
            result->failed_call = "waitpid";
            result->error = errno;
            return false;
        }
        break;
    }
    const long long elapsed = ElapsedMs(*run);
    if (run->signal_due && elapsed >= request.send_after_ms) {
        kill(run->pid, request.send_signal);
        run->signal_due = false;
    }
    if (request.timeout_ms > 0 && elapsed >= request.timeout_ms) {
        result->timed_out = true;
        Finish(run, result);
        return true;
    }
    return false;
}

// How long the wait may last before something of `run` is due.
long long DueInMs(const ChildSpec &request, const Running &run, long long wait_ms)
{
    const long long elapsed = ElapsedMs(run);
    if (request.timeout_ms > 0)
        wait_ms = std::min(wait_ms, request.timeout_ms - elapsed);
    if (run.signal_due)
        wait_ms = std::min(wait_ms, request.send_after_ms - elapsed);
    return std::max(wait_ms, 0LL);
}

} // namespace

ChildResult RunChild(const ChildSpec &request)
{
    ChildResult result;
    const BatchEnd end = RunChildren({request}, 1, [&](size_t, const ChildResult &r) {
        result = r;
        return true;
    });
    if (end.failed_call || end.stopped_by) {
        result.failed_call = end.failed_call;
        result.error = end.error;
        result.stopped_by = end.stopped_by;
    }
    return result;
}

BatchEnd RunChildren(const std::vector<ChildSpec> &requests, size_t jobs,
                     const std::function<bool(size_t, const ChildResult &)> &ended)
{
    BatchEnd end;
    // The children's ends and the stop signals stay blocked and are read
    // from a signalfd, with the output pipes in the same poll, so none can be
    // missed between two checks.
    sigset_t wait_set;
    sigemptyset(&wait_set);
    for (const ChildSpec &r : requests) {
        for (int sig = 1; r.stop && sig < NSIG; sig++) {
            if (sigismember(r.stop, sig) == 1)
                sigaddset(&wait_set, sig);
        }
    }
    sigaddset(&wait_set, SIGCHLD);
    sigset_t caller_mask;
    sigprocmask(SIG_BLOCK, &wait_set, &caller_mask);
    const int signals = signalfd(-1, &wait_set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signals < 0) {
        end.failed_call = "signalfd";
        end.error = errno;
        sigprocmask(SIG_SETMASK, &caller_mask, nullptr);
        return end;
    }
    // What a program leaves behind becomes this process's child when the
    // program ends, not init's, so that it can be reaped.
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    std::list<Running> running;
    std::vector<ChildResult> results(requests.size());
    size_t next = 0;
    jobs = std::max<size_t>(jobs, 1);
    bool stopping = false;
    while (!stopping) {
        while (next < requests.size() && running.size() < jobs) {
            Running &run = running.emplace_back();
            run.index = next++;
            const ChildSpec &r = requests[run.index];
            const sigset_t child_mask = r.child_mask ? *r.child_mask : caller_mask;
            if (!Start(r, child_mask, &run, &results[run.index])) {
                end.failed_call = results[run.index].failed_call;
                end.error = results[run.index].error;
                running.pop_back();
                stopping = true;
                break;
            }
        }
        if (stopping || running.empty())
            break;
        long long wait_ms = 1000;
        for (auto it = running.begin(); it != running.end() && !stopping;) {
            ChildResult &result = results[it->index];
            const bool done = Check(requests[it->index], &*it, &result);
            if (result.failed_call) {
                end.failed_call = result.failed_call;
                end.error = result.error;
                stopping = true;
            } else if (done) {
                stopping = !ended(it->index, result);
                end.cancelled = stopping;
                it = running.erase(it);
                wait_ms = 0; // the next one starts at once
            } else {
                wait_ms = DueInMs(requests[it->index], *it, wait_ms);
                ++it;
            }
        }
        if (stopping || wait_ms == 0)
            continue;
        // Wake for a child, a stop signal, output, what is due, or at least
        // every second.
        std::vector<pollfd> ready = {{signals, POLLIN, 0}};
        for (const Running &run : running)
            ready.push_back({run.pipe_read, POLLIN, 0});
        if (poll(ready.data(), ready.size(), static_cast<int>(wait_ms)) <= 0)
            continue;
        size_t k = 1;
        for (Running &run : running) {
            if (ready[k++].revents != 0 && !CopyPipe(run.pipe_read, run.err_file)) {
                close(run.pipe_read);
                run.pipe_read = -1;
            }
        }
        signalfd_siginfo info;
        while (read(signals, &info, sizeof(info)) == static_cast<ssize_t>(sizeof(info))) {
            if (info.ssi_signo != SIGCHLD && end.stopped_by == 0)
                end.stopped_by = static_cast<int>(info.ssi_signo);
        }
        stopping = end.stopped_by != 0;
    }
    // Whatever still runs goes with its whole group, and is reaped.
    for (Running &run : running)
        Finish(&run, &results[run.index]);
    close(signals);
    sigprocmask(SIG_SETMASK, &caller_mask, nullptr);
    return end;
}

std::vector<std::string> SplitWords(const std::string &text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool ReadTextFile(const std::string &path, std::string *text)
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

std::vector<std::string> ReadLines(const std::string &path)
{
    std::string text;
    ReadTextFile(path, &text);
    return SplitLines(text);
}

void RemoveTree(const std::string &dir)
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
