// Runs a shipped probe binary in a private scratch directory, optionally with
// the fault shim preloaded, and records what it printed and left behind.
//
// A healthy library never takes the probes' failure paths, so the tests make
// it fail: the fault shim (fault_shim.cpp, whose top comment lists every rule
// and its syntax) is preloaded into the real, built probes. A test runs a
// probe with one fault and asserts the exact line(s) it prints (tolerating
// lines from the library's own handlers), exit status 1 and never a signal,
// and the exact set of files left. A probe that reports the known defects of
// the library under test on every run has its clean run as the baseline
// (CleanRun): each fault must add exactly its own line and its layout's file
// to it, and a clean run leaves exactly the files of the layouts its lines
// name. Under the asan preset the harness sets the sanitizers' options for
// every process it starts and fails a run on any sanitizer report, so a leak
// is caught however the tests are started.
#ifndef TIFF_PROBES_PROBE_RUN_H
#define TIFF_PROBES_PROBE_RUN_H

#include <set>
#include <string>
#include <utility>
#include <vector>

struct ProbeOptions {
    std::vector<std::string> args;    // command-line arguments
    std::string faults;               // TIFF_PROBES_FAULTS; empty runs without the shim
    bool log_calls = false;           // have the shim record the program's calls
    bool unprivileged = false;        // run as "nobody" in a directory it may not write
    long long file_size_limit = -1;   // RLIMIT_FSIZE in bytes, SIGXFSZ ignored; -1: none
    std::vector<std::string> wrapper; // e.g. valgrind or fiu-run and their options
    std::vector<std::pair<std::string, std::string>> env; // set in the child
    int stop_signal = 0; // sent to the program stop_after_ms after its start
    int stop_after_ms = 0;
};

// Options that preload the shim with the given fault rules.
ProbeOptions Faults(const std::string &faults);
// The cases of a sweep that runs a whole, slow probe once per case: all of
// them, or, where TIFF_PROBES_SWEEP_EVERY is N > 1 (the presets whose runs
// are many times slower: sanitizers, emulated hosts), the first and every
// Nth after it. The ci preset runs every case.
bool InSweep(size_t index);
template <typename T, size_t N>
std::vector<T> Sampled(const T (&cases)[N])
{
    std::vector<T> kept;
    for (size_t i = 0; i < N; i++) {
        if (InSweep(i))
            kept.push_back(cases[i]);
    }
    return kept;
}

// Options for a run of the runner with these arguments and fault rules.
ProbeOptions RunnerOptions(std::vector<std::string> args, const std::string &faults = "");

class ProbeRun {
  public:
    explicit ProbeRun(const std::string &probe, const ProbeOptions &options = ProbeOptions());
    ~ProbeRun();
    ProbeRun(const ProbeRun &) = delete;
    ProbeRun &operator=(const ProbeRun &) = delete;

    bool exited() const { return exited_; }
    int status() const { return status_; } // exit status, or the signal number
    const std::vector<std::string> &stderr_lines() const { return stderr_lines_; }
    const std::vector<std::string> &stdout_lines() const { return stdout_lines_; }
    // The lines that are the probes' own messages, not the library's.
    std::vector<std::string> own_lines() const;
    const std::set<std::string> &files() const { return files_; }
    std::vector<std::string> calls() const; // "set 334", ...
    std::string path(const std::string &file) const { return dir_ + "/" + file; }
    bool skipped() const { return !skip_reason_.empty(); }
    const std::string &skip_reason() const { return skip_reason_; }
    std::string describe() const;                       // for assertion messages
    const std::string &probe() const { return probe_; } // the program's name

  private:
    std::string probe_;
    std::string dir_;
    std::string log_;
    bool exited_ = false;
    int status_ = -1;
    std::vector<std::string> stderr_lines_;
    std::vector<std::string> stdout_lines_;
    std::set<std::string> files_;
    std::string skip_reason_;
};

// What a run of a probe without faults prints and leaves here: nothing on a
// sound library; on a library with known defects (runner/known-defects),
// their lines and the files of the layouts they fail. Every line must be a
// known defect of the loaded library's version, so no test takes an unknown
// defect for the way things are. Made once per probe and test program.
struct Baseline {
    std::vector<std::string> lines;
    std::set<std::string> files;
    int status = 0;
};
const Baseline &CleanRun(const std::string &probe);

// The run's own lines that its clean run does not print too.
std::vector<std::string> NewLines(const ProbeRun &run);

// Expects a run that exited 1 (not a crash) printing exactly `lines` of its
// own besides the lines of its clean run, and leaving `files`, besides files
// its clean run leaves too.
void ExpectFailure(const ProbeRun &run, const std::vector<std::string> &lines,
                   const std::set<std::string> &files);
// Expects a run that printed and exited as its clean run does, leaving
// `files` and those of its clean run.
void ExpectClean(const ProbeRun &run, const std::set<std::string> &files);

// Expects a run that exited with `status` printing exactly `lines` of its
// own, and leaving exactly `files`: for runs whose rules
// stand in for a library without its known defects, which owe nothing to the
// clean run.
void ExpectExactly(const ProbeRun &run, int status, const std::vector<std::string> &lines,
                   const std::set<std::string> &files);

// The valgrind command line that fails a run with exit status 99 on any
// memory error or definitely lost block.
std::vector<std::string> MemcheckWrapper();
// TMPDIR, or /tmp when it is unset or empty.
std::string TempBase();
// A new private directory PREFIX.XXXXXX in TempBase(); empty (and the test
// failed) when it cannot be made.
std::string MakeTempDir(const char *prefix);

// Whether the probes are built with AddressSanitizer.
bool SanitizerBuild();
// Whether the host is big-endian: some lines name what a file of the other
// byte order than the host's holds.
bool HostBigEndian();
// A LD_PRELOAD value for `libs`, behind the sanitizer runtime when there is one.
std::string PreloadList(const std::string &libs);
// What runs this build's own programs, put before their path: the emulator
// and its options in a cross build, empty otherwise.
const char *Emulator();
// Why memcheck cannot run here (no valgrind, or a sanitizer build); empty
// when it can.
std::string MemcheckUnavailable();

// The files a run's own lines name (NAME.tif, NAME.btf).
std::set<std::string> NamedFiles(const ProbeRun &run);
// Expects a run of a probe whose passing layouts remove their files: it
// leaves exactly the files its own lines name, and exits 1 when it prints
// any, 0 otherwise.
void ExpectLeavesNamedFiles(const ProbeRun &run);
// Why /usr/bin/python3 cannot read files with tifffile; empty when it can.
std::string TifffileUnavailable();
// Expects /usr/bin/python3 SCRIPT PATH... to exit 0 and say nothing on
// standard error.
void ExpectScriptPasses(const std::string &script, const std::vector<std::string> &paths);

#endif
