#include "probe_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <regex>

#include <dirent.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "expectations.h"
#include "host_order.h"
#include "line_forms.h"
#include "process.h"

namespace {

// Every line the probes print of their own matches a row of the table of
// line forms; anything else on stderr comes from the TIFF library's default
// handlers ("Module: text.").
const std::vector<std::regex> &OwnLinePatterns()
{
    static const std::vector<std::regex> patterns = [] {
        std::vector<std::regex> made;
        for (const probe::LineForm &form : probe::line_forms)
            made.emplace_back(form.pattern);
        return made;
    }();
    return patterns;
}

// Set for every process the harness starts, so that a sanitizer finding
// cannot pass for the probe's own exit status 1 whoever runs the tests.
const char *const sanitizer_options[][2] = {
    {"ASAN_OPTIONS", "detect_leaks=1:exitcode=99:abort_on_error=0"},
    {"LSAN_OPTIONS", "exitcode=99"},
    {"UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1:exitcode=99"},
};

// A line of a sanitizer report, on stderr or (through the runner) stdout.
const char sanitizer_report[] =
    R"(.*((ERROR|SUMMARY): (Address|Leak|UndefinedBehavior)Sanitizer|: runtime error: ).*)";

const uid_t nobody = 65534;

std::set<std::string> list_files(const std::string &dir)
{
    std::set<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.insert(e->d_name);
    }
    closedir(d);
    return names;
}

std::string path_in(const std::string &dir, const std::string &name)
{
    std::string path = dir;
    path += '/';
    path += name;
    return path;
}

// Child side of an unprivileged run: "nobody" may execute the probe but not
// write in the scratch directory.
bool drop_privileges()
{
    if (getuid() != 0)
        return true;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
}

const int exit_cannot_run = 125;
const int exit_cannot_drop = 124;

// Whether `program` is built for the same machine as this test program: in a
// cross build, such a program (the build's own, wherever it was copied) runs
// under the emulator, which shows this one as /proc/self/exe.
bool for_this_machine(const std::string &program)
{
    char mine[20] = {};
    char theirs[20] = {};
    std::ifstream self("/proc/self/exe", std::ios::binary);
    std::ifstream other(program, std::ios::binary);
    self.read(mine, sizeof(mine));
    other.read(theirs, sizeof(theirs));
    // ELF magic, class, byte order and version; the machine at byte 18.
    return self && other && memcmp(mine, theirs, 7) == 0 && memcmp(mine + 18, theirs + 18, 2) == 0;
}

// The emulator reports a program's fatal signal on the program's standard
// error; the program itself did not print it (nor, indented, did the runner
// print it as a probe's line).
std::vector<std::string> without_emulator_lines(std::vector<std::string> lines)
{
    static const std::regex report(R"((    |# )?qemu: uncaught target signal \d+ \(.*\) - .*)");
    if (*EMULATOR)
        lines.erase(
            std::remove_if(lines.begin(), lines.end(),
                           [](const std::string &l) { return std::regex_match(l, report); }),
            lines.end());
    return lines;
}

} // namespace

ProbeOptions Faults(const std::string &faults)
{
    ProbeOptions options;
    options.faults = faults;
    return options;
}

bool InSweep(size_t index)
{
    const char *every = getenv("TIFF_PROBES_SWEEP_EVERY");
    const long n = every ? strtol(every, nullptr, 10) : 1;
    return n <= 1 || index % static_cast<size_t>(n) == 0;
}

ProbeOptions RunnerOptions(std::vector<std::string> args, const std::string &faults)
{
    ProbeOptions options = Faults(faults);
    options.args = std::move(args);
    // With the shim, the sanitizer runtime is preloaded into the runner's
    // shell tools too, whose leaks are not ours.
    if (SanitizerBuild() && !faults.empty())
        options.env.emplace_back("ASAN_OPTIONS", "detect_leaks=0:exitcode=99");
    return options;
}

ProbeRun::ProbeRun(const std::string &probe, const ProbeOptions &options)
    : probe_(probe.substr(probe.rfind('/') + 1))
{
    const std::string program =
        probe.find('/') == std::string::npos ? path_in(PROBE_DIR, probe) : probe;

    dir_ = MakeTempDir("probe-test");
    const std::string out_file = dir_ + ".stdout";
    const std::string err_file = dir_ + ".stderr";
    if (options.log_calls)
        log_ = dir_ + ".calls";
    if (options.unprivileged)
        chmod(dir_.c_str(), 0555);

    ChildSpec request;
    request.argv = options.wrapper;
    // A cross build's own programs run under its emulator.
    if (*EMULATOR && for_this_machine(program)) {
        const std::vector<std::string> emulator = SplitWords(EMULATOR);
        request.argv.insert(request.argv.end(), emulator.begin(), emulator.end());
    }
    request.argv.push_back(program);
    request.argv.insert(request.argv.end(), options.args.begin(), options.args.end());
    request.dir = dir_;
    request.out = out_file;
    request.err = err_file;
    request.err_through_pipe = true;
    // A hang fails the test, not the suite.
    request.timeout_ms = 300LL * 1000;
    // A stop signal is due while the program still runs, however silent.
    request.send_signal = options.stop_signal;
    request.send_after_ms = options.stop_after_ms;
    request.prepare = [&options, &program, this]() {
        for (const auto &var : sanitizer_options)
            setenv(var[0], var[1], 1);
        if (!options.faults.empty()) {
            // Under the emulator, only the emulated programs load the shim.
            if (*EMULATOR)
                setenv("QEMU_SET_ENV", ("LD_PRELOAD=" + PreloadList(SHIM_PATH)).c_str(), 1);
            else
                setenv("LD_PRELOAD", PreloadList(SHIM_PATH).c_str(), 1);
            setenv("TIFF_PROBES_FAULTS", options.faults.c_str(), 1);
        }
        for (const auto &var : options.env)
            setenv(var.first.c_str(), var.second.c_str(), 1);
        if (!log_.empty())
            setenv("TIFF_PROBES_SHIM_LOG", log_.c_str(), 1);
        if (options.file_size_limit >= 0) {
            // Writes past the limit then fail with EFBIG instead of killing.
            const rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                                  static_cast<rlim_t>(options.file_size_limit)};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return exit_cannot_run;
        }
        if (options.unprivileged && !drop_privileges())
            return exit_cannot_drop;
        if (access(dir_.c_str(), X_OK) != 0 || access(program.c_str(), X_OK) != 0)
            return exit_cannot_run;
        return 0;
    };
    const ChildResult result = RunChild(request);
    // Without a status the run is neither a pass nor a failure of the probe.
    if (result.failed_call) {
        ADD_FAILURE() << result.failed_call << ": " << strerror(result.error);
    } else if (result.timed_out) {
        ADD_FAILURE() << program << " still ran after 300 s; killed";
        status_ = SIGKILL;
    } else {
        exited_ = WIFEXITED(result.wait_status);
        status_ = exited_ ? WEXITSTATUS(result.wait_status) : WTERMSIG(result.wait_status);
    }
    stderr_lines_ = without_emulator_lines(ReadLines(err_file));
    stdout_lines_ = without_emulator_lines(ReadLines(out_file));
    for (const auto *lines : {&stderr_lines_, &stdout_lines_}) {
        if (std::any_of(lines->begin(), lines->end(), [](const std::string &line) {
                return std::regex_match(line, std::regex(sanitizer_report));
            }))
            ADD_FAILURE() << "sanitizer report from " << program << ": " << describe();
    }
    unlink(out_file.c_str());
    unlink(err_file.c_str());
    files_ = list_files(dir_);
    if (options.unprivileged && exited_ && status_ == exit_cannot_drop)
        skip_reason_ = "cannot switch to the unprivileged user nobody";
    else if (options.unprivileged && exited_ && status_ == exit_cannot_run)
        skip_reason_ = "the unprivileged user cannot execute " + program;
    else if (options.unprivileged && getuid() != 0 && access(dir_.c_str(), W_OK) == 0)
        skip_reason_ = "this user may write to a mode 0555 directory";
}

ProbeRun::~ProbeRun()
{
    chmod(dir_.c_str(), 0700);
    RemoveTree(dir_);
    if (!log_.empty())
        unlink(log_.c_str());
}

std::vector<std::string> ProbeRun::own_lines() const
{
    std::vector<std::string> own;
    for (const std::string &line : stderr_lines_) {
        for (const std::regex &pattern : OwnLinePatterns()) {
            if (std::regex_match(line, pattern)) {
                own.push_back(line);
                break;
            }
        }
    }
    return own;
}

std::vector<std::string> ProbeRun::calls() const
{
    return ReadLines(log_);
}

std::string ProbeRun::describe() const
{
    std::string d = status_ < 0 ? std::string("no status")
                    : exited_   ? "exit status " + std::to_string(status_)
                                : "killed by signal " + std::to_string(status_);
    d += "; stderr:";
    for (const std::string &line : stderr_lines_)
        d += "\n  " + line;
    if (!stdout_lines_.empty())
        d += "\nstdout:";
    for (const std::string &line : stdout_lines_)
        d += "\n  " + line;
    d += "\nfiles:";
    for (const std::string &f : files_)
        d += " " + f;
    return d;
}

namespace {

// The known defects the runner reads, parsed once.
const std::vector<Expectation> &KnownDefects()
{
    static const std::vector<Expectation> entries = [] {
        std::ifstream in(KNOWN_DEFECTS);
        std::stringstream text;
        text << in.rdbuf();
        std::vector<Expectation> parsed;
        size_t line = 0;
        std::string error;
        const std::vector<std::string> probes = SplitWords(PROBE_NAMES);
        if (!in || !ParseExpectations(text.str(), probes, &parsed, &line, &error))
            ADD_FAILURE() << KNOWN_DEFECTS << ":" << line << ": " << error;
        return parsed;
    }();
    return entries;
}

// `got` without the lines of `clean`, each taken away once where it stands.
std::vector<std::string> without(std::vector<std::string> got,
                                 const std::vector<std::string> &clean)
{
    for (const std::string &line : clean) {
        const auto at = std::find(got.begin(), got.end(), line);
        if (at != got.end())
            got.erase(at);
    }
    return got;
}

// `files` are left, and nothing else but files the clean run leaves too: a
// fault may stop a layout before the known defect that fails it.
void ExpectFiles(const ProbeRun &run, const Baseline &clean, const std::set<std::string> &files)
{
    for (const std::string &f : files)
        EXPECT_EQ(run.files().count(f), 1U) << f << " is not left\n" << run.describe();
    for (const std::string &f : run.files()) {
        EXPECT_TRUE(files.count(f) != 0 || clean.files.count(f) != 0) << f << " is left\n"
                                                                      << run.describe();
    }
}

} // namespace

const Baseline &CleanRun(const std::string &probe)
{
    static std::map<std::string, Baseline> made;
    const auto found = made.find(probe);
    if (found != made.end())
        return found->second;

    const ProbeRun run(probe);
    const Ending ending = !run.exited()       ? Ending::Abnormal
                          : run.status() == 0 ? Ending::Passed
                          : run.status() == 1 ? Ending::Failed
                                              : Ending::Abnormal;
    // Exactly the known defects: a check that stopped showing one of them
    // (an entry not seen, or the whole probe passing) is a check lost.
    const Judgement judged = Judge(run.probe(), ending, run.stderr_lines(),
                                   LibraryVersion(TIFFGetVersion()), BuildHost(), KnownDefects());
    EXPECT_TRUE(judged.verdict == Verdict::Pass || judged.verdict == Verdict::Known)
        << "a clean run fails with more than known defects, or passes where one is known\n"
        << run.describe();
    for (const Expectation *e : judged.unseen)
        ADD_FAILURE() << "a clean run did not show the known line: " << e->line << "\n"
                      << run.describe();
    return made[probe] = Baseline{run.own_lines(), run.files(), run.status()};
}

std::vector<std::string> NewLines(const ProbeRun &run)
{
    return without(run.own_lines(), CleanRun(run.probe()).lines);
}

void ExpectFailure(const ProbeRun &run, const std::vector<std::string> &lines,
                   const std::set<std::string> &files)
{
    const Baseline &clean = CleanRun(run.probe());
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 1) << run.describe();
    EXPECT_EQ(without(run.own_lines(), clean.lines), lines) << run.describe();
    ExpectFiles(run, clean, files);
}

void ExpectClean(const ProbeRun &run, const std::set<std::string> &files)
{
    const Baseline &clean = CleanRun(run.probe());
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), clean.status) << run.describe();
    EXPECT_EQ(run.own_lines(), clean.lines) << run.describe();
    EXPECT_EQ(run.stderr_lines().size(), clean.lines.size()) << run.describe();
    ExpectFiles(run, clean, files);
}

void ExpectExactly(const ProbeRun &run, int status, const std::vector<std::string> &lines,
                   const std::set<std::string> &files)
{
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), status) << run.describe();
    EXPECT_EQ(run.own_lines(), lines) << run.describe();
    EXPECT_EQ(run.files(), files) << run.describe();
}

bool SanitizerBuild()
{
    return *ASAN_RUNTIME != '\0';
}

bool HostBigEndian()
{
    return ifd::host_big_endian;
}

const char *Emulator()
{
    return EMULATOR;
}

// Under AddressSanitizer its runtime must come first in the preload list.
std::string PreloadList(const std::string &libs)
{
    return *ASAN_RUNTIME ? std::string(ASAN_RUNTIME) + ":" + libs : libs;
}

std::string MemcheckUnavailable()
{
    if (*EMULATOR)
        return "valgrind runs programs of the build host only";
    if (*ASAN_RUNTIME)
        return "valgrind cannot run sanitizer builds";
    if (access(VALGRIND_PATH, X_OK) != 0)
        return "valgrind is not installed";
    return "";
}

std::set<std::string> NamedFiles(const ProbeRun &run)
{
    static const std::regex file_name(R"([a-z0-9_]+\.(tif|btf))");
    std::set<std::string> named;
    for (const std::string &line : run.own_lines()) {
        for (std::sregex_iterator it(line.begin(), line.end(), file_name), end; it != end; ++it)
            named.insert(it->str());
    }
    return named;
}

void ExpectLeavesNamedFiles(const ProbeRun &run)
{
    const std::set<std::string> named = NamedFiles(run);
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), named.empty() ? 0 : 1) << run.describe();
    EXPECT_EQ(run.files(), named) << run.describe();
}

std::string TifffileUnavailable()
{
    ProbeOptions check_import;
    check_import.args = {"-c", "import tifffile"};
    const ProbeRun has_tifffile("/usr/bin/python3", check_import);
    if (has_tifffile.exited() && has_tifffile.status() == 0)
        return "";
    return "/usr/bin/python3 cannot import tifffile (Debian: python3-tifffile)";
}

void ExpectScriptPasses(const std::string &script, const std::vector<std::string> &paths)
{
    ProbeOptions read;
    read.args = {script};
    read.args.insert(read.args.end(), paths.begin(), paths.end());
    const ProbeRun reader("/usr/bin/python3", read);
    EXPECT_TRUE(reader.exited() && reader.status() == 0) << reader.describe();
    EXPECT_TRUE(reader.stderr_lines().empty()) << reader.describe();
}

std::vector<std::string> MemcheckWrapper()
{
    return {VALGRIND_PATH,
            "--quiet",
            "--error-exitcode=99",
            "--leak-check=full",
            "--errors-for-leak-kinds=definite",
            "--show-leak-kinds=definite"};
}

std::string TempBase()
{
    const char *tmp = getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

std::string MakeTempDir(const char *prefix)
{
    std::string templ = TempBase() + "/" + prefix + ".XXXXXX";
    if (!mkdtemp(templ.data())) {
        ADD_FAILURE() << "mkdtemp " << templ << ": " << strerror(errno);
        return "";
    }
    return templ;
}
