#include "probe_run.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// Every line the probes print of their own; anything else on stderr comes
// from the TIFF library's default handlers ("Module: text.").
const char *const own_line_patterns[] = {
    R"(Can't (create|open) test TIFF file [^ ]+\.)",
    R"(Can't set [A-Za-z]+ tag\.)",
    R"(Can't set tag \d+( \((NUMBEROFINKS|INKNAMES)\))?\.)",
    R"(Problem fetching tag \d+\.)",
    R"(Wrong (SHORT value|SHORT PAIR|LONG value) fetched for tag \d+\.)",
    R"(Can't get tag \d+( \(INKNAMES\))?\.)",
    R"(Can't write image data\.)",
    R"(Can't (fetch|rewrite|allocate memory for) STRIP(OFFSETS|BYTECOUNTS)\.)",
    R"([a-z0-9_]+\.tif:STRIP(OFFSETS|BYTECOUNTS)\[\d+\]: Got [0-9A-F]+:[0-9A-F]{8} instead of [0-9A-F]+:[0-9A-F]{8}\.)",
};

const uid_t nobody = 65534;

std::string make_temp_dir(const char *prefix)
{
    const char *tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    return buf.data();
}

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

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> read_lines(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return split_lines(text.str());
}

// Child side of an unprivileged run: "nobody" may execute the probe but not
// write in the scratch directory.
bool drop_privileges()
{
    if (getuid() != 0)
        return true;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
}

// Under AddressSanitizer its runtime must come first in the preload list.
std::string preload_list()
{
    std::string list = SHIM_PATH;
    if (*ASAN_RUNTIME)
        list = std::string(ASAN_RUNTIME) + ":" + list;
    return list;
}

const int exit_cannot_run = 125;
const int exit_cannot_drop = 124;

} // namespace

ProbeOptions Faults(const std::string &faults)
{
    ProbeOptions options;
    options.faults = faults;
    return options;
}

ProbeRun::ProbeRun(const std::string &probe, const ProbeOptions &options)
{
    const std::string program =
        probe.find('/') == std::string::npos ? path_in(PROBE_DIR, probe) : probe;
    int fds[2];

    dir_ = make_temp_dir("probe-test");
    const std::string out_file = dir_ + ".stdout";
    if (options.log_calls)
        log_ = dir_ + ".calls";
    if (options.unprivileged)
        chmod(dir_.c_str(), 0555);

    std::vector<std::string> argv_strings = options.wrapper;
    argv_strings.push_back(program);
    argv_strings.insert(argv_strings.end(), options.args.begin(), options.args.end());
    std::vector<char *> argv;
    argv.reserve(argv_strings.size() + 1);
    std::transform(argv_strings.begin(), argv_strings.end(), std::back_inserter(argv),
                   [](std::string &a) { return a.data(); });
    argv.push_back(nullptr);

    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return;
    }
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return;
    }
    if (pid == 0) {
        int null_in = open("/dev/null", O_RDONLY);
        int out_fd = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(null_in, 0);
        dup2(out_fd, 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        if (!options.faults.empty()) {
            setenv("LD_PRELOAD", preload_list().c_str(), 1);
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
                _exit(exit_cannot_run);
        }
        if (options.unprivileged && !drop_privileges())
            _exit(exit_cannot_drop);
        if (chdir(dir_.c_str()) != 0 || access(program.c_str(), X_OK) != 0)
            _exit(exit_cannot_run);
        execv(argv[0], argv.data());
        _exit(exit_cannot_run);
    }
    close(fds[1]);
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fds[0], chunk, sizeof(chunk))) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(chunk, static_cast<size_t>(n));
    }
    close(fds[0]);

    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    exited_ = WIFEXITED(wstatus);
    status_ = exited_ ? WEXITSTATUS(wstatus) : WTERMSIG(wstatus);
    stderr_lines_ = split_lines(text);
    stdout_lines_ = read_lines(out_file);
    unlink(out_file.c_str());
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
        for (const char *pattern : own_line_patterns) {
            if (std::regex_match(line, std::regex(pattern))) {
                own.push_back(line);
                break;
            }
        }
    }
    return own;
}

std::vector<std::string> ProbeRun::calls() const
{
    return read_lines(log_);
}

std::string ProbeRun::describe() const
{
    std::string d = exited_ ? "exit status " + std::to_string(status_)
                            : "killed by signal " + std::to_string(status_);
    d += "; stderr:";
    for (const std::string &line : stderr_lines_)
        d += "\n  " + line;
    d += "\nfiles:";
    for (const std::string &f : files_)
        d += " " + f;
    return d;
}

void ExpectFailure(const ProbeRun &run, const std::vector<std::string> &lines,
                   const std::set<std::string> &files)
{
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 1) << run.describe();
    EXPECT_EQ(run.own_lines(), lines) << run.describe();
    EXPECT_EQ(run.files(), files) << run.describe();
}

void ExpectClean(const ProbeRun &run, const std::set<std::string> &files)
{
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 0) << run.describe();
    EXPECT_TRUE(run.stderr_lines().empty()) << run.describe();
    EXPECT_EQ(run.files(), files) << run.describe();
}

bool SanitizerBuild()
{
    return *ASAN_RUNTIME != '\0';
}

std::string MemcheckUnavailable()
{
    if (*ASAN_RUNTIME)
        return "valgrind cannot run sanitizer builds";
    if (access(VALGRIND_PATH, X_OK) != 0)
        return "valgrind is not installed";
    return "";
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

void RemoveTree(const std::string &dir)
{
    nftw(
        dir.c_str(), [](const char *path, const struct stat *, int, FTW *) { return remove(path); },
        16, FTW_DEPTH | FTW_PHYS);
}
