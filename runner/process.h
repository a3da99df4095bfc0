// Running programs the way the runner runs probes: each in a process group of
// its own, its output in files, killed with its whole group at its time limit
// or when a stop signal arrives, and reaped; several at once when asked. The
// test harness runs programs through the same code.
#ifndef TIFF_PROBES_RUNNER_PROCESS_H
#define TIFF_PROBES_RUNNER_PROCESS_H

#include <functional>
#include <string>
#include <vector>

#include <signal.h>

struct ChildSpec {
    std::vector<std::string> argv; // argv[0] is the program's path
    std::string dir;               // working directory
    std::string out;               // file for standard output
    std::string err;               // file for standard error; empty: the same as `out`
    // Standard error through a pipe that this process copies into `err` as
    // it comes, so that limits `prepare` sets (RLIMIT_FSIZE) spare it.
    bool err_through_pipe = false;
    long long timeout_ms = 0; // kill the group after this long; 0: no limit
    // Signals that end the wait at once, the group killed and reaped; the
    // caller keeps them blocked. nullptr: none.
    const sigset_t *stop = nullptr;
    // The signal mask the program starts with; nullptr: the caller's.
    const sigset_t *child_mask = nullptr;
    // Sent to the program (not its group) this long after its start; 0: none.
    int send_signal = 0;
    long long send_after_ms = 0;
    // Runs in the child after the redirections, before the chdir and exec;
    // a nonzero result is the child's exit status instead of the program's.
    std::function<int()> prepare;
};

struct ChildResult {
    const char *failed_call = nullptr; // the call that failed ("fork", "waitpid", ...), if any
    int error = 0;                     // its errno
    int wait_status = 0;               // when the program ended by itself
    bool timed_out = false;
    int stopped_by = 0; // the stop signal that ended the wait
    double seconds = 0;
};

// A child that cannot enter its directory or open its files exits with 126;
// one that cannot execute the program says why on its standard error and
// exits with 127.
const int exit_cannot_enter = 126;
const int exit_cannot_exec = 127;

ChildResult RunChild(const ChildSpec &request);

// How a run of several programs ended early, if it did.
struct BatchEnd {
    const char *failed_call = nullptr; // a call that failed (every program then stopped)
    int error = 0;                     // its errno
    int stopped_by = 0;                // the stop signal that ended the run
    bool cancelled = false;            // `ended` asked to stop
};

// Runs the programs, at most `jobs` at once, started in the list's order,
// each with its own time limit and signal, as RunChild runs one. `ended`
// gets each one's index and result as it ends, in the order they end; if it
// returns false, or a stop signal arrives, or a call fails, every program
// still running is killed with its group and reaped, none more is started,
// and `ended` is not called again.
BatchEnd RunChildren(const std::vector<ChildSpec> &requests, size_t jobs,
                     const std::function<bool(size_t, const ChildResult &)> &ended);

// The words of a list separated by blanks, such as PROBE_NAMES or the
// emulator's command.
std::vector<std::string> SplitWords(const std::string &text);
// A whole file; false, with errno set, when it cannot be read.
bool ReadTextFile(const std::string &path, std::string *text);
// A file's lines without their line ends; an unreadable file has none.
std::vector<std::string> ReadLines(const std::string &path);
std::vector<std::string> SplitLines(const std::string &text);
// Removes a directory and everything below it, not following symlinks.
void RemoveTree(const std::string &dir);

#endif
