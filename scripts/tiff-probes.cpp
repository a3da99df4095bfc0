// tiff-probes: runs the TIFF library conformance probes, each in a fresh
// private scratch directory with a time limit, and prints the verdict. The
// library under test may hang, crash or print anything, and the runner may be
// interrupted, so each probe runs in a process group of its own that the
// runner can always kill, and the scratch directories go with the runner.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Exit statuses besides 0 and 1 and 128 + a signal.
const int exit_usage = 2;
const int exit_environment = 3;

const char usage_text[] =
    "Usage: tiff-probes [OPTION]... [--] [NAME]...\n"
    "Runs the TIFF library conformance probes (all of them, or the NAMEs given),\n"
    "each in a fresh private scratch directory, and prints one line per probe and\n"
    "a closing \"N passed, M failed\". Exit status 0 only when every probe passed,\n"
    "1 when one failed, 2 on a usage error, 3 when the environment is unusable\n"
    "(no usable TMPDIR, a missing probe program), 128+N when stopped by signal N.\n"
    "\n"
    "  --tap            print TAP version 13 instead\n"
    "  --junit FILE     also write a JUnit XML report to FILE\n"
    "  --timeout SECS   kill a probe still running after SECS seconds (default 60,\n"
    "                   0 for no limit) and count it as failed\n"
    "  --keep           keep the scratch directories and print their paths\n"
    "  --list           list the probe names\n"
    "  --version        print the suite's and the TIFF library's versions\n"
    "  --help           show this text\n";

struct Options {
    bool tap = false;
    bool keep = false;
    long timeout = 60;
    std::string junit;
    std::vector<std::string> names;
};

struct Outcome {
    std::string name;
    std::string scratch;
    std::vector<std::string> lines; // what the probe printed, then the runner's notes
    double seconds = 0;
    bool passed = false;
};

// What a signal handler cannot do is done here: the signals that stop the
// run are blocked and taken with sigtimedwait, so cleanup runs in order.
sigset_t stop_signals;
sigset_t original_mask;
std::string top_dir;
bool keep_dirs = false;
pid_t running_group = 0;

std::vector<std::string> all_probes()
{
    std::vector<std::string> names;
    std::istringstream in(PROBE_NAMES);
    for (std::string name; in >> name;)
        names.push_back(name);
    return names;
}

int remove_entry(const char *path, const struct stat * /*st*/, int /*flag*/, FTW * /*ftw*/)
{
    remove(path);
    return 0;
}

void remove_tree(const std::string &dir)
{
    nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

[[noreturn]] void stop(int sig)
{
    if (running_group > 0) {
        kill(-running_group, SIGKILL);
        waitpid(running_group, nullptr, 0);
    }
    if (!top_dir.empty() && !keep_dirs)
        remove_tree(top_dir);
    _exit(128 + sig);
}

// Takes a pending stop signal, if any, and stops.
void check_stop()
{
    const timespec now = {0, 0};
    const int sig = sigtimedwait(&stop_signals, nullptr, &now);
    if (sig > 0 && sig != SIGCHLD)
        stop(sig);
}

// Writes to standard output; a reader that went away stops the run as
// SIGPIPE would.
void emit(const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(1, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            stop(errno == EPIPE ? SIGPIPE : SIGTERM);
        done += static_cast<size_t>(n);
    }
    check_stop();
}

[[noreturn]] void fail(int status, const std::string &line)
{
    fprintf(stderr, "tiff-probes: %s\n", line.c_str());
    if (!top_dir.empty() && !keep_dirs)
        remove_tree(top_dir);
    exit(status);
}

std::string self_dir()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        fail(exit_environment, "cannot find the runner's own path in /proc/self/exe");
    path[n] = '\0';
    std::string dir(path);
    return dir.substr(0, dir.rfind('/'));
}

std::vector<std::string> split_words(const std::string &text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

double seconds_since(const timespec &start)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs `program` in `dir` in a process group of its own, its standard output
// and error into `out`, for at most `timeout` seconds (0: no limit). Returns
// the wait status, or -1 when it was killed at the limit.
int run(const std::string &program, const std::string &dir, const std::string &out, long timeout)
{
    std::vector<std::string> args = split_words(EMULATOR);
    args.push_back(program);
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        fail(exit_environment, std::string("cannot start a probe: ") + strerror(errno));
    if (pid == 0) {
        setpgid(0, 0);
        const int in_fd = open("/dev/null", O_RDONLY);
        const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in_fd < 0 || out_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
            dup2(out_fd, 2) < 0 || chdir(dir.c_str()) != 0)
            _exit(126);
        signal(SIGPIPE, SIG_DFL);
        sigprocmask(SIG_SETMASK, &original_mask, nullptr);
        execv(argv[0], argv.data());
        fprintf(stderr, "cannot run %s: %s\n", argv[0], strerror(errno));
        _exit(127);
    }
    setpgid(pid, pid);
    running_group = pid;

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        const double left = static_cast<double>(timeout) - seconds_since(start);
        if (timeout > 0 && left <= 0) {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            status = -1;
            break;
        }
        // Wake for the child, a stop signal, or at least every second.
        const double wait = timeout > 0 && left < 1 ? left : 1;
        const timespec ts = {
            static_cast<time_t>(wait),
            static_cast<long>((wait - static_cast<double>(static_cast<time_t>(wait))) * 1e9)};
        const int sig = sigtimedwait(&stop_signals, nullptr, &ts);
        if (sig > 0 && sig != SIGCHLD)
            stop(sig);
    }
    // Whatever the probe left running in its group goes with it.
    kill(-pid, SIGKILL);
    running_group = 0;
    return status;
}

Outcome run_probe(const std::string &libexec, const std::string &name, long timeout)
{
    Outcome o;
    o.name = name;
    o.scratch = top_dir + "/" + name + ".XXXXXX";
    if (!mkdtemp(o.scratch.data()))
        fail(exit_environment,
             "cannot make a scratch directory in " + top_dir + ": " + strerror(errno));
    const std::string out = top_dir + "/" + name + ".out";

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int status = run(libexec + "/" + name, o.scratch, out, timeout);
    o.seconds = seconds_since(start);
    o.lines = split_lines(read_file(out));
    if (status == -1)
        o.lines.push_back("timed out after " + std::to_string(timeout) + " s");
    else if (WIFSIGNALED(status))
        o.lines.push_back("terminated by signal " + std::to_string(WTERMSIG(status)));
    else if (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)
        o.lines.push_back("exit status " + std::to_string(WEXITSTATUS(status)));
    o.passed = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return o;
}

// The library's version as the loaded library reports it, so a changed
// LD_LIBRARY_PATH shows in the verdict.
std::string library_version(const std::string &libexec)
{
    const std::string out = top_dir + "/tiff_version.out";
    const int status = run(libexec + "/tiff_version", top_dir, out, 10);
    const std::vector<std::string> lines = split_lines(read_file(out));
    remove(out.c_str());
    std::string version = "unknown (tiff_version failed)";
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && !lines.empty())
        version = lines[0];
    if (*HOST_ARCH)
        version += std::string(" (") + HOST_ARCH + ")";
    return version;
}

// Text for XML: markup escaped, and every byte that is not valid UTF-8 or not
// allowed in XML 1.0 written as \xNN, so any output gives well-formed XML.
std::string xml_text(const std::string &s)
{
    std::string out;
    char hex[8];
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = 0;
        if (c < 0x80)
            len = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            len = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            len = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            len = 4;
        bool valid = len > 0 && i + len <= s.size();
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (size_t k = 1; valid && k < len; k++) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            valid = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates, code points past U+10FFFF, and the
        // characters XML forbids.
        if (valid && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF ||
                      (cp < 0x20 && cp != '\t' && cp != '\n')))
            valid = false;
        if (!valid) {
            snprintf(hex, sizeof(hex), "\\x%02X", c);
            out += hex;
            i++;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.append(s, i, len);
        }
        i += len;
    }
    return out;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l + "\n";
    return text;
}

void write_junit(const std::string &path, const std::string &version,
                 const std::vector<Outcome> &outcomes, double seconds)
{
    size_t failed = 0;
    for (const Outcome &o : outcomes)
        failed += o.passed ? 0 : 1;
    char num[64];
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n";
    snprintf(num, sizeof(num), "%.3f", seconds);
    xml += "  <testsuite name=\"tiff-probes\" tests=\"" + std::to_string(outcomes.size()) +
           "\" failures=\"" + std::to_string(failed) + "\" errors=\"0\" skipped=\"0\" time=\"" +
           num + "\">\n";
    xml += "    <properties>\n      <property name=\"tiff_library\" value=\"" + xml_text(version) +
           "\"/>\n    </properties>\n";
    for (const Outcome &o : outcomes) {
        snprintf(num, sizeof(num), "%.3f", o.seconds);
        xml += "    <testcase name=\"" + xml_text(o.name) + "\" classname=\"tiff-probes\" time=\"" +
               num + "\"";
        if (o.passed && o.lines.empty()) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n";
        if (!o.passed)
            xml += "      <failure message=\"" + xml_text(o.name) + " failed\">" +
                   xml_text(joined(o.lines)) + "</failure>\n";
        else
            xml += "      <system-err>" + xml_text(joined(o.lines)) + "</system-err>\n";
        xml += "    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";

    FILE *f = fopen(path.c_str(), "w");
    if (!f || fwrite(xml.data(), 1, xml.size(), f) != xml.size() || fclose(f) != 0)
        fail(exit_environment, "cannot write the JUnit report " + path);
}

// A usage error: nothing has run yet.
[[noreturn]] void usage_error(const std::string &line)
{
    fprintf(stderr, "tiff-probes: %s\n", line.c_str());
    exit(exit_usage);
}

bool parse_seconds(const std::string &text, long *value)
{
    char *end = nullptr;
    errno = 0;
    const long v = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0)
        return false;
    *value = v;
    return true;
}

// Every argument is checked before anything runs or is printed.
Options parse(int argc, char **argv, bool *list, bool *help, bool *version)
{
    Options o;
    const std::vector<std::string> known = all_probes();
    bool options_done = false;

    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        std::string value;
        const bool has_value = arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos;
        const std::string option = has_value ? arg.substr(0, arg.find('=')) : arg;
        if (has_value)
            value = arg.substr(arg.find('=') + 1);
        if (!options_done && (option == "--timeout" || option == "--junit")) {
            if (!has_value) {
                if (i + 1 == argc)
                    usage_error("option '" + option + "' needs a value (see --help)");
                value = argv[++i];
            }
            if (option == "--junit" && value.empty())
                usage_error("--junit needs a file name");
            if (option == "--junit")
                o.junit = value;
            else if (!parse_seconds(value, &o.timeout))
                usage_error("--timeout takes a whole number of seconds, not '" + value + "'");
        } else if (!options_done && arg == "--") {
            options_done = true;
        } else if (!options_done && arg == "--tap") {
            o.tap = true;
        } else if (!options_done && arg == "--keep") {
            o.keep = true;
        } else if (!options_done && arg == "--list") {
            *list = true;
        } else if (!options_done && (arg == "--help" || arg == "-h")) {
            *help = true;
        } else if (!options_done && arg == "--version") {
            *version = true;
        } else if (!options_done && !arg.empty() && arg[0] == '-') {
            usage_error("unknown option '" + arg + "' (see --help)");
        } else {
            bool found = false;
            for (const std::string &k : known)
                found = found || k == arg;
            if (!found)
                usage_error("unknown probe '" + arg + "' (see --list)");
            bool seen = false;
            for (const std::string &n : o.names)
                seen = seen || n == arg;
            if (!seen)
                o.names.push_back(arg);
        }
    }
    if (o.names.empty())
        o.names = known;
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    bool list = false;
    bool help = false;
    bool version_only = false;
    const Options options = parse(argc, argv, &list, &help, &version_only);

    if (help) {
        fputs(usage_text, stdout);
        return 0;
    }
    if (list) {
        for (const std::string &p : all_probes())
            printf("%s\n", p.c_str());
        return 0;
    }

    const std::string libexec = self_dir() + "/" + LIBEXEC_FROM_BIN;
    for (const std::string &p : options.names) {
        std::string path = libexec;
        path += "/";
        path += p;
        if (access(path.c_str(), X_OK) != 0)
            fail(exit_environment, "missing probe program " + path);
    }

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
        fail(exit_environment, "no usable TMPDIR " + tmp_dir + ": " + strerror(errno));
    std::string top = std::string(resolved) + "/tiff-probes.XXXXXX";
    if (!mkdtemp(top.data()))
        fail(exit_environment, "cannot make a scratch directory in " + std::string(resolved) +
                                   ": " + strerror(errno));
    top_dir = top;

    const std::string version = library_version(libexec);
    if (version_only) {
        emit(std::string("tiff-probes ") + SUITE_VERSION + "\nTIFF library: " + version + "\n");
        remove_tree(top_dir);
        return 0;
    }
    const std::string note = options.tap ? "# " : "    ";
    if (options.tap)
        emit("TAP version 13\n# TIFF library: " + version + "\n1.." +
             std::to_string(options.names.size()) + "\n");
    else
        emit("TIFF library: " + version + "\n");

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    std::vector<Outcome> outcomes;
    size_t passed = 0;
    size_t with_messages = 0;
    for (const std::string &p : options.names) {
        Outcome o = run_probe(libexec, p, options.timeout);
        const size_t n = outcomes.size() + 1;
        std::string text;
        if (options.tap)
            text = std::string(o.passed ? "ok " : "not ok ") + std::to_string(n) + " - " + p + "\n";
        else
            text = std::string(o.passed ? "PASS " : "FAIL ") + p + "\n";
        for (const std::string &l : o.lines)
            text += note + l + "\n";
        if (options.keep)
            text += note + "kept " + o.scratch + "\n";
        emit(text);
        passed += o.passed ? 1 : 0;
        with_messages += o.passed && !o.lines.empty() ? 1 : 0;
        outcomes.push_back(o);
    }

    std::string closing =
        std::to_string(passed) + " passed, " + std::to_string(outcomes.size() - passed) + " failed";
    if (with_messages > 0)
        closing += ", " + std::to_string(with_messages) + " with messages";
    if (!options.junit.empty())
        write_junit(options.junit, version, outcomes, seconds_since(start));
    emit((options.tap ? "# " : "") + closing + "\n");
    if (!options.keep)
        remove_tree(top_dir);
    return passed == outcomes.size() ? 0 : 1;
}
