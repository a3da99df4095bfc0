// tiff-probes: runs the TIFF library conformance probes, several at once,
// each in a fresh private scratch directory with a time limit of its own, and
// prints the verdict in the probes' order. The library under test may hang,
// crash or print anything, and the runner may be interrupted, so each probe
// runs in a process group of its own that the runner can always kill, and
// the scratch directories go with the runner.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "expectations.h"
#include "options.h"
#include "process.h"
#include "report.h"

namespace {

// Exit statuses besides 0 and 1 and 128 + a signal.
const int exit_usage = 2;
const int exit_environment = 3;

// What a signal handler cannot do is done here: the signals that stop the
// run are blocked and taken with sigtimedwait, so cleanup runs in order.
sigset_t stop_signals;
sigset_t original_mask;
std::string top_dir;
bool keep_dirs = false;

std::vector<std::string> AllProbes()
{
    return SplitWords(PROBE_NAMES);
}

[[noreturn]] void Stop(int sig)
{
    if (!top_dir.empty() && !keep_dirs)
        RemoveTree(top_dir);
    _exit(128 + sig);
}

// Takes a pending stop signal, if any, and stops.
void CheckStop()
{
    const timespec now = {0, 0};
    const int sig = sigtimedwait(&stop_signals, nullptr, &now);
    if (sig > 0 && sig != SIGCHLD)
        Stop(sig);
}

// Writes to standard output; 0, or the signal that a failed write stands
// for: a reader that went away stops the run as SIGPIPE would.
int WriteOut(const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(1, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EPIPE ? SIGPIPE : SIGTERM;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Writes while no probe runs.
void Emit(const std::string &text)
{
    const int sig = WriteOut(text);
    if (sig != 0)
        Stop(sig);
    CheckStop();
}

[[noreturn]] void Fail(int status, const std::string &line)
{
    fprintf(stderr, "tiff-probes: %s\n", line.c_str());
    if (!top_dir.empty() && !keep_dirs)
        RemoveTree(top_dir);
    exit(status);
}

std::string SelfDir()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        Fail(exit_environment, "cannot find the runner's own path in /proc/self/exe");
    path[n] = '\0';
    std::string dir(path);
    return dir.substr(0, dir.rfind('/'));
}

// Runs `program` in `dir`, its standard output and error into `out`, for at
// most `timeout` seconds (0: no limit); a stop signal stops the runner.
ChildResult Run(const std::string &program, const std::string &dir, const std::string &out,
                long timeout)
{
    ChildSpec request;
    request.argv = SplitWords(EMULATOR);
    request.argv.push_back(program);
    request.dir = dir;
    request.out = out;
    request.timeout_ms = static_cast<long long>(timeout) * 1000;
    request.stop = &stop_signals;
    request.child_mask = &original_mask;
    const ChildResult r = RunChild(request);
    if (r.failed_call && strcmp(r.failed_call, "waitpid") == 0)
        Fail(exit_environment, std::string("lost a probe's exit status: ") + strerror(r.error));
    if (r.failed_call)
        Fail(exit_environment, std::string("cannot start a probe: ") + strerror(r.error));
    if (r.stopped_by)
        Stop(r.stopped_by);
    return r;
}

// The path of `name` in the runner's top scratch directory.
std::string InTopDir(const std::string &name)
{
    return top_dir + "/" + name;
}

// The probe's outcome from how its program ended.
Outcome ProbeOutcome(const std::string &name, const std::string &scratch, const ChildResult &r,
                     long timeout, Ending *ending)
{
    Outcome o;
    o.name = name;
    o.scratch = scratch;
    const int status = r.wait_status;
    o.seconds = r.seconds;
    o.lines = ReadLines(InTopDir(name) + ".out");
    *ending = Ending::Abnormal;
    if (r.timed_out)
        o.lines.push_back("timed out after " + std::to_string(timeout) + " s");
    else if (WIFSIGNALED(status))
        o.lines.push_back("terminated by signal " + std::to_string(WTERMSIG(status)));
    else if (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)
        o.lines.push_back("exit status " + std::to_string(WEXITSTATUS(status)));
    else
        *ending = WEXITSTATUS(status) == 0 ? Ending::Passed : Ending::Failed;
    return o;
}

// The probes the processors can run at once: those this process may use.
size_t Processors()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<size_t>(CPU_COUNT(&set));
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<size_t>(n) : 1;
}

// Runs the probes, up to `jobs` at once, and writes each one's entry as soon
// as it and every probe before it have ended, so the verdict keeps the
// list's order whatever order they end in.
std::vector<Outcome> RunProbes(const std::string &libexec, const Options &options,
                               const Style &style, const Version &version,
                               const std::vector<Expectation> &expectations)
{
    const Host host = BuildHost();
    std::vector<ChildSpec> requests;
    std::vector<std::string> scratch;
    for (const std::string &name : options.names) {
        const std::string in_top = InTopDir(name);
        std::string dir = in_top + ".XXXXXX";
        if (!mkdtemp(dir.data()))
            Fail(exit_environment,
                 "cannot make a scratch directory in " + top_dir + ": " + strerror(errno));
        scratch.push_back(dir);
        ChildSpec request;
        request.argv = SplitWords(EMULATOR);
        request.argv.push_back(libexec + "/");
        request.argv.back() += name;
        request.dir = dir;
        request.out = in_top + ".out";
        request.timeout_ms = static_cast<long long>(options.timeout) * 1000;
        request.stop = &stop_signals;
        request.child_mask = &original_mask;
        requests.push_back(request);
    }
    std::vector<Outcome> outcomes(requests.size());
    std::vector<bool> ended(requests.size(), false);
    size_t written = 0;
    int write_stop = 0;
    const size_t jobs = options.jobs > 0 ? static_cast<size_t>(options.jobs) : Processors();
    const BatchEnd end = RunChildren(requests, jobs, [&](size_t i, const ChildResult &r) {
        Ending ending = Ending::Abnormal;
        outcomes[i] = ProbeOutcome(options.names[i], scratch[i], r, options.timeout, &ending);
        outcomes[i].judgement =
            Judge(options.names[i], ending, outcomes[i].lines, version, host, expectations);
        ended[i] = true;
        for (; written < outcomes.size() && ended[written] && write_stop == 0; written++)
            write_stop = WriteOut(ReportEntry(style, outcomes[written], written + 1));
        return write_stop == 0;
    });
    if (end.failed_call && strcmp(end.failed_call, "waitpid") == 0)
        Fail(exit_environment, std::string("lost a probe's exit status: ") + strerror(end.error));
    if (end.failed_call)
        Fail(exit_environment, std::string("cannot start a probe: ") + strerror(end.error));
    if (end.stopped_by)
        Stop(end.stopped_by);
    if (write_stop)
        Stop(write_stop);
    CheckStop();
    return outcomes;
}

// The library's version as the loaded library reports it, so a changed
// LD_LIBRARY_PATH shows in the verdict.
std::string ReportedVersion(const std::string &libexec)
{
    const std::string out = top_dir + "/tiff_version.out";
    const ChildResult r = Run(libexec + "/tiff_version", top_dir, out, 10);
    const std::vector<std::string> lines = ReadLines(out);
    remove(out.c_str());
    if (!r.timed_out && WIFEXITED(r.wait_status) && WEXITSTATUS(r.wait_status) == 0 &&
        !lines.empty())
        return lines[0];
    return "unknown (tiff_version failed)";
}

// The known defects: the installed list, the one given, or none. Read
// before anything runs; an unreadable or malformed file is the
// environment's fault.
std::vector<Expectation> LoadExpectations(const Options &options, const std::string &bin)
{
    std::vector<Expectation> entries;
    if (!options.expectations)
        return entries;
    std::string path = options.expectations_file;
    if (path.empty()) {
        // Named without the detour through bin/, as it is installed.
        std::string dir = bin;
        std::string relative = DATA_FROM_BIN;
        for (; relative.compare(0, 3, "../") == 0; relative.erase(0, 3))
            dir.erase(dir.rfind('/'));
        path = dir + "/" + relative + "/known-defects";
    }
    std::string text;
    if (!ReadTextFile(path, &text))
        Fail(exit_environment,
             "cannot read the expectations file " + path + ": " + strerror(errno));
    size_t line = 0;
    std::string error;
    if (!ParseExpectations(text, AllProbes(), &entries, &line, &error))
        Fail(exit_environment, path + ":" + std::to_string(line) + ": " + error);
    return entries;
}

} // namespace

int main(int argc, char **argv)
{
    std::string usage_error;
    const Options options =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), AllProbes(), &usage_error);
    if (!usage_error.empty()) {
        fprintf(stderr, "tiff-probes: %s\n", usage_error.c_str());
        return exit_usage;
    }
    if (options.help) {
        fputs(usage_text, stdout);
        return 0;
    }
    if (options.list) {
        for (const std::string &p : AllProbes())
            printf("%s\n", p.c_str());
        return 0;
    }

    const std::string bin = SelfDir();
    const std::string libexec = bin + "/" + LIBEXEC_FROM_BIN;
    for (const std::string &p : options.names) {
        std::string path = libexec;
        path += "/";
        path += p;
        if (access(path.c_str(), X_OK) != 0)
            Fail(exit_environment, "missing probe program " + path);
    }
    const std::vector<Expectation> expectations =
        options.version ? std::vector<Expectation>() : LoadExpectations(options, bin);
    if (!options.defect.empty() && !options.version) {
        bool named = false;
        for (const Expectation &e : expectations)
            named = named || e.reproduction == options.defect;
        if (!named) {
            fprintf(stderr, "tiff-probes: no known-defect entry names the reproduction '%s'\n",
                    options.defect.c_str());
            return exit_usage;
        }
    }

    // Inherited from whoever started the runner, an ignored SIGCHLD would
    // have the kernel reap the probes before their status is read.
    signal(SIGCHLD, SIG_DFL);
    sigemptyset(&stop_signals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD})
        sigaddset(&stop_signals, sig);
    sigprocmask(SIG_BLOCK, &stop_signals, &original_mask);
    keep_dirs = options.keep;

    // An absolute scratch path, whatever TMPDIR says, so --keep prints one.
    const char *tmp = getenv("TMPDIR");
    std::string tmp_dir = tmp && *tmp ? tmp : "/tmp";
    char resolved[4096];
    if (!realpath(tmp_dir.c_str(), resolved))
        Fail(exit_environment, "no usable TMPDIR " + tmp_dir + ": " + strerror(errno));
    std::string top = std::string(resolved) + "/tiff-probes.XXXXXX";
    if (!mkdtemp(top.data()))
        Fail(exit_environment, "cannot make a scratch directory in " + std::string(resolved) +
                                   ": " + strerror(errno));
    top_dir = top;

    const std::string reported = ReportedVersion(libexec);
    std::string library = reported;
    if (*HOST_ARCH)
        library += std::string(" (") + HOST_ARCH + ")";
    if (options.version) {
        Emit(std::string("tiff-probes ") + SUITE_VERSION + "\nTIFF library: " + library + "\n");
        RemoveTree(top_dir);
        return 0;
    }
    if (!options.defect.empty()) {
        RemoveTree(top_dir);
        const Host host = BuildHost();
        const bool expected = DefectExpectedFor(options.defect, LibraryVersion(reported), host,
                                                expectations) == DefectExpected::Expected;
        Emit("defects/" + options.defect + ".c: the defect is " +
             (expected ? "expected" : "not expected") + " with " + reported + " on " + host.arch +
             (host.big_endian ? ", big-endian" : ", little-endian") + "\n");
        return expected ? 0 : 1;
    }
    if (options.list_expected) {
        RemoveTree(top_dir);
        const Version version = LibraryVersion(reported);
        std::string text;
        for (const Expectation &e : expectations) {
            if (AppliesHere(e, version, BuildHost()) &&
                std::find(options.names.begin(), options.names.end(), e.probe) !=
                    options.names.end())
                text += EntryLine(e) + "\n";
        }
        Emit(text);
        return 0;
    }
    Style style;
    style.format = options.tap ? Format::Tap : Format::Text;
    style.strict = options.strict;
    style.keep = options.keep;
    style.verbose = options.verbose;
    Emit(ReportHeader(style, library, options.names.size()));

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const std::vector<Outcome> outcomes =
        RunProbes(libexec, options, style, LibraryVersion(reported), expectations);

    const Tally t = TallyOf(outcomes, options.strict);
    if (!options.junit.empty()) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double seconds = static_cast<double>(now.tv_sec - start.tv_sec) +
                               static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
        const std::string xml = JunitReport(library, outcomes, seconds, options.strict);
        FILE *f = fopen(options.junit.c_str(), "w");
        if (!f || fwrite(xml.data(), 1, xml.size(), f) != xml.size() || fclose(f) != 0)
            Fail(exit_environment, "cannot write the JUnit report " + options.junit);
    }
    Emit(ReportClosing(style, t));
    if (!options.keep)
        RemoveTree(top_dir);
    return t.failed == 0 ? 0 : 1;
}
