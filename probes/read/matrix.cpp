#include "matrix.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "matrix_detail.h"
#include "probe_support.h"
#include "read_table.h"

namespace matrix {

namespace {

using namespace detail;
using read_fetch::Got;

// --- Checking a case ---------------------------------------------------------

// The strips are intact in every field case: they read as the file holds
// them; `strict`: a read that fails breaks it too.
std::string Strips(TIFF *tif, bool strict, const std::vector<uint8_t> &pixels)
{
    for (uint32_t k = 0; k < 2; k++) {
        uint8_t buf[strip_bytes + 16];
        const tmsize_t n = TIFFReadEncodedStrip(tif, k, buf, sizeof(buf));
        if (n < 0) {
            if (strict)
                return "can't read strip " + std::to_string(k);
        } else if (static_cast<size_t>(n) != strip_bytes) {
            return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
                   " bytes, expected " + std::to_string(strip_bytes);
        } else {
            for (size_t i = 0; i < strip_bytes; i++) {
                if (buf[i] != pixels[k * strip_bytes + i]) {
                    char text[80];
                    snprintf(text, sizeof(text),
                             "strip %" PRIu32 " byte %zu is 0x%02x, expected 0x%02x", k, i, buf[i],
                             pixels[k * strip_bytes + i]);
                    return text;
                }
            }
        }
    }
    return "";
}

bool ReadLinked(TIFF *tif, Home home, uint64_t at)
{
    return home == Home::Exif ? TIFFReadEXIFDirectory(tif, at) != 0
                              : TIFFReadGPSDirectory(tif, at) != 0;
}

// The field of `row` in the current directory against its variant: empty
// when it holds; `expect` and `slot` as File has them.
std::string FieldVerdict(TIFF *tif, const Row &row, const Variant &v, const ifd::Field &expect,
                         const ifd::Field &slot, bool *rounded, bool *from_slot)
{
    Got got;
    const bool present = read_fetch::Fetch(tif, row.tag, &got);
    std::string differs = present ? Differs(got, expect, rounded) : "";
    // A field given with the count the library read may hold exactly what
    // the file holds, whatever the standard's count.
    if (!differs.empty() && got.counted && v.outcome != Outcome::Exact &&
        Differs(got, v.field).empty()) {
        differs.clear();
        *rounded = false;
    }
    // Values of an out-of-line field read from where they would be inline:
    // the bytes of the entry's offset.
    const bool something = got.text ? !got.null : got.Count() > 0;
    if (!differs.empty() && something && v.field.value_at == ifd::derived && !slot.values.empty() &&
        Differs(got, slot).empty())
        *from_slot = true;
    if (v.outcome == Outcome::Exact && !present)
        return "absent, expected its value";
    return differs;
}

// The first thing that broke, or empty.
std::string Check(const Row &row, const Variant &v, const File &file, const char *name,
                  bool *rounded, bool *from_slot)
{
    return Judge(name, file.bytes, v.outcome, [&](TIFF *tif) -> std::string {
        std::string broke = Strips(tif, v.outcome == Outcome::Exact || !row.image, file.pixels);
        if (!broke.empty())
            return broke;
        if (file.sub_at && !ReadLinked(tif, row.home, file.sub_at))
            return v.outcome == Outcome::Exact ? "can't read the IFD that holds it" : "";
        return FieldVerdict(tif, row, v, file.expect, file.slot, rounded, from_slot);
    });
}

// --- The private tags, registered while the matrix runs ------------------

bool register_private = false;
char private_names[80][24];
TIFFFieldInfo private_infos[80];
unsigned private_count = 0;

void InstallExtender()
{
    if (private_count)
        return;
    for (const Row &row : Rows()) {
        if (row.home != Home::Private)
            continue;
        if (private_count == sizeof(private_infos) / sizeof(private_infos[0]))
            break;
        char *name = private_names[private_count];
        snprintf(name, sizeof(private_names[0]), "MatrixPrivate%u", row.tag);
        private_infos[private_count++] = {row.tag,
                                          static_cast<short>(row.read_count),
                                          static_cast<short>(row.read_count),
                                          static_cast<TIFFDataType>(row.type),
                                          FIELD_CUSTOM,
                                          1,
                                          static_cast<unsigned char>(row.pass_count),
                                          name};
    }
    read_fetch::RegisterWhile(private_infos, private_count, &register_private);
}

} // namespace

std::string detail::Key(const Row &row)
{
    const std::string tag = "tag " + std::to_string(row.tag);
    return row.home == Home::Exif  ? "EXIF IFD: " + tag
           : row.home == Home::Gps ? "GPS IFD: " + tag
                                   : tag;
}

namespace {

std::string Stem(const Row &row)
{
    const std::string tag = std::to_string(row.tag);
    return row.home == Home::Exif ? "exif_" + tag : row.home == Home::Gps ? "gps_" + tag : tag;
}

} // namespace

std::string detail::Apart(const std::function<std::string()> &check, int *signal)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "can't make a pipe";
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return "can't fork";
    }
    if (pid == 0) {
        close(fds[0]);
        // The assertion's own text is the library's, not a line.
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, 2);
        const std::string what = check();
        const ssize_t n = write(fds[1], what.data(), what.size());
        _exit(n == static_cast<ssize_t>(what.size()) ? 0 : 3);
    }
    close(fds[1]);
    std::string what;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0)
        what.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return "can't wait for the case";
    if (WIFSIGNALED(status)) {
        *signal = WTERMSIG(status);
        return "the library stops the program";
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the case's child exits with status " + std::to_string(WEXITSTATUS(status));
    return what;
}

std::string detail::CaseName(const Row &row, const Variant &v, const read_cases::Format &fmt)
{
    return "read_" + Stem(row) + "_" + v.slug + fmt.suffix;
}

void detail::RegisterPrivate(bool on)
{
    InstallExtender();
    register_private = on;
}

std::string detail::CheckMany(const std::vector<Pick> &picks, const Combined &c, const char *name,
                              Outcome structure)
{
    bool exact = structure == Outcome::Exact;
    bool strict = true;
    for (const Pick &p : picks) {
        exact = exact && p.variant->outcome == Outcome::Exact;
        strict = strict && (p.variant->outcome == Outcome::Exact || !p.row->image);
    }
    return Judge(
        name, c.bytes, exact ? Outcome::Exact : Outcome::Tolerated, [&](TIFF *tif) -> std::string {
            std::string broke = Strips(tif, strict, c.pixels);
            if (!broke.empty())
                return broke;
            // The main IFD's fields, then the EXIF IFD's, then the GPS IFD's.
            const Home homes[] = {Home::Main, Home::Exif, Home::Gps};
            const uint64_t at[] = {0, c.exif_at, c.gps_at};
            for (size_t k = 0; k < 3; k++) {
                if (k > 0 && at[k] == 0)
                    continue;
                if (k > 0 && !ReadLinked(tif, homes[k], at[k]))
                    return exact ? std::string(k == 1 ? "EXIF" : "GPS") + " IFD: can't read it"
                                 : "";
                for (size_t i = 0; i < picks.size(); i++) {
                    const Row &row = *picks[i].row;
                    const bool here = k == 0 ? row.home == Home::Main || row.home == Home::Private
                                             : row.home == homes[k];
                    if (!here)
                        continue;
                    bool rounded = false;
                    bool from_slot = false;
                    broke = FieldVerdict(tif, row, *picks[i].variant, c.expect[i], c.slot[i],
                                         &rounded, &from_slot);
                    // The library-wide conversions the matrix says as lines
                    // of their own: known defects.
                    const bool known = rounded || (from_slot && k > 0);
                    if (!broke.empty() && !known)
                        return Key(row) + ": " + broke;
                }
            }
            return std::string();
        });
}

// A text registered with TIFF_VARIABLE and its count passed, which
// TIFFFieldPassCount(3tiff) describes, and a private IFD of one value stop
// Debian's 4.5.0 on an assertion as it reads one: those rows, and their
// kin of the 64-bit types, run each case in a child of its own, so that an
// abort is a finding and not the end of the probe.
bool detail::Guarded(const Row &row)
{
    if (row.home != Home::Private)
        return false;
    return (row.type == ifd::ASCII && row.read_count == -1) ||
           (row.read_count > 0 && (row.type == ifd::IFD || row.type >= 16));
}

namespace {

// The case in a child process; `*signal` the signal that stopped it, if any.
std::string CheckApart(const Row &row, const Variant &v, const File &file, const char *name,
                       int *signal)
{
    return Apart(
        [&] {
            bool rounded = false;
            bool from_slot = false;
            return Check(row, v, file, name, &rounded, &from_slot);
        },
        signal);
}

// A broken rule and field: what its line says, its first case, how many.
struct Broken {
    probe::Line form = probe::Line::MatrixField;
    const char *home = ""; // "EXIF IFD: ", "GPS IFD: " or none
    unsigned tag = 0;
    std::string klass;
    std::string what;
    int signal = 0; // MatrixStopped
    const char *type = "";
    const char *count = "";
    std::string first;
    size_t cases = 0;
};

const char *HomeOf(const Row &row)
{
    return row.home == Home::Exif ? "EXIF IFD: " : row.home == Home::Gps ? "GPS IFD: " : "";
}

void Say(const Broken &b)
{
    using probe::Line;
    const char *s = b.cases == 1 ? "" : "s";
    switch (b.form) {
    case Line::MatrixStopped:
        probe::Say<Line::MatrixStopped>(b.tag, b.type, b.count, b.signal, b.klass.c_str(), b.cases,
                                        s, b.first.c_str());
        break;
    case Line::MatrixFromSlot:
        probe::Say<Line::MatrixFromSlot>(b.home, b.tag, b.klass.c_str(), b.what.c_str(), b.cases, s,
                                         b.first.c_str());
        break;
    case Line::MatrixRounded:
        probe::Say<Line::MatrixRounded>(b.home, b.tag, b.klass.c_str(), b.what.c_str(), b.cases, s,
                                        b.first.c_str());
        break;
    case Line::MatrixField:
        probe::Say<Line::MatrixField>(b.home, b.tag, b.klass.c_str(), b.what.c_str(), b.cases, s,
                                      b.first.c_str());
        break;
    default:
        probe::Say<Line::MatrixBroken>(b.klass.c_str(), b.what.c_str(), b.cases, s,
                                       b.first.c_str());
    }
}

// The broken rules and fields in the order first broken, each with its
// first case, whose file is left.
struct Tally {
    std::vector<std::string> order;
    std::map<std::string, Broken> broken;

    // `group` names the line the case joins.
    void Add(const std::string &group, const Broken &line, const std::string &name,
             const std::vector<uint8_t> &bytes)
    {
        Broken &b = broken[group];
        if (b.cases++ > 0)
            return;
        order.push_back(group);
        const size_t cases = b.cases;
        b = line;
        b.cases = cases;
        b.first = name;
        const ifd::Error err = ifd::SaveFile(name.c_str(), bytes);
        if (err)
            probe::Say<probe::Line::CantSave>(name.c_str(), err.what.c_str());
    }
};

// --- The exact cases for a second reader -----------------------------------

// With TIFF_PROBES_MATRIX_DIR naming a directory (made if absent), each
// exact case's file is written there, and its expectations to
// matrix_cases.txt in it (read_table.h), for tests/read_files.py; without
// it, nothing.
class Export {
  public:
    Export()
    {
        const char *dir = getenv("TIFF_PROBES_MATRIX_DIR");
        if (!dir || !*dir)
            return;
        dir_ = dir;
        if (mkdir(dir, 0777) != 0 && errno != EEXIST) {
            Fail(dir_, "cannot create " + dir_ + ": " + strerror(errno));
            return;
        }
        const std::string path = dir_ + "/matrix_cases.txt";
        table_ = fopen(path.c_str(), "w");
        if (!table_) {
            Fail(path, "cannot create " + path + ": " + strerror(errno));
            return;
        }
        read_table::Begin(table_);
    }
    ~Export()
    {
        if (table_)
            fclose(table_);
    }
    Export(const Export &) = delete;
    Export &operator=(const Export &) = delete;

    void Add(const std::string &name, const std::vector<uint8_t> &bytes,
             const std::vector<read_cases::Directory> &pages)
    {
        if (!table_)
            return;
        const std::string path = dir_ + "/" + name;
        const ifd::Error err = ifd::SaveFile(path.c_str(), bytes);
        if (err)
            Fail(path, err.what);
        else
            read_table::Export(table_, name, pages);
    }

    // Closes the table; false if anything could not be written.
    bool Close()
    {
        if (table_) {
            const bool written = !ferror(table_);
            const bool closed = fclose(table_) == 0;
            table_ = nullptr;
            if (!closed || !written)
                Fail(dir_ + "/matrix_cases.txt", "cannot write " + dir_ + "/matrix_cases.txt");
        }
        return ok_;
    }

  private:
    // The first failure is said, and ends the export: one line, not one
    // per case.
    void Fail(const std::string &path, const std::string &why)
    {
        probe::Say<probe::Line::CantSave>(path.c_str(), why.c_str());
        ok_ = false;
        if (table_)
            fclose(table_);
        table_ = nullptr;
    }

    std::string dir_;
    FILE *table_ = nullptr;
    bool ok_ = true;
};

// What an exact field case's file means: the field, in the main IFD or the
// one it links, and both strips.
std::vector<read_cases::Directory> Meaning(const Row &row, const File &file)
{
    read_cases::Directory page;
    page.chunks.push_back({file.pixels});
    const read_cases::Want want{file.expect, read_cases::Rule::Exact};
    if (!file.sub_at) {
        page.wants.push_back(want);
        return {page};
    }
    read_cases::Directory linked;
    linked.wants.push_back(want);
    (row.home == Home::Exif ? page.exif_dirs : page.gps_dirs) = {linked};
    return {page};
}

} // namespace

bool Run(Totals *totals)
{
    Totals t;
    Tally tally;
    Export exported;
    const std::vector<Row> rows = Rows();
    InstallExtender();
    register_private = true;
    for (const Row &row : rows) {
        for (const read_cases::Format &fmt : read_cases::formats) {
            for (const Variant &v : Derive(row, fmt.bigtiff)) {
                const std::string name = CaseName(row, v, fmt);
                const File file = Build(row, v, fmt);
                if (v.outcome == Outcome::Exact)
                    exported.Add(name, file.bytes, Meaning(row, file));
                t.cases++;
                bool rounded = false;
                bool from_slot = false;
                int signal = 0;
                const std::string what =
                    Guarded(row) ? CheckApart(row, v, file, name.c_str(), &signal)
                                 : Check(row, v, file, name.c_str(), &rounded, &from_slot);
                if (what.empty())
                    continue;
                t.failed++;
                Broken line;
                line.home = HomeOf(row);
                line.tag = row.tag;
                line.klass = v.klass;
                line.what = what;
                // One fault of the library's conversion, whatever the
                // field: one line.
                std::string group = Key(row) + " " + v.klass;
                if (signal) {
                    // A crash is the field's, whatever the class: one line.
                    line.form = probe::Line::MatrixStopped;
                    line.signal = signal;
                    line.type = ifd::TypeName(row.type);
                    line.count = row.read_count == -1  ? "TIFF_VARIABLE"
                                 : row.read_count == 1 ? "one value"
                                                       : "a fixed count";
                    group = "stopped " + Key(row) + " " + line.count;
                } else if (from_slot) {
                    line.form = probe::Line::MatrixFromSlot;
                    group = std::string("from the offset ") + line.home;
                } else if (rounded) {
                    line.form = probe::Line::MatrixRounded;
                    group = "rounded";
                }
                tally.Add(group, line, name, file.bytes);
            }
        }
    }
    for (size_t i = 0; i < StructuralCount(); i++) {
        for (const read_cases::Format &fmt : read_cases::formats) {
            const Structural s = CheckStructural(i, fmt);
            const std::string name = std::string("read_") + s.slug + fmt.suffix;
            if (s.outcome == Outcome::Exact)
                exported.Add(name, s.bytes, s.pages);
            t.cases++;
            if (s.what.empty())
                continue;
            t.failed++;
            Broken line;
            line.form = probe::Line::MatrixBroken;
            line.klass = s.klass;
            line.what = s.what;
            tally.Add(s.klass, line, name, s.bytes);
        }
    }
    register_private = false;
    const bool exported_all = exported.Close();
    for (const std::string &group : tally.order)
        Say(tally.broken[group]);
    if (totals)
        *totals = t;
    return tally.order.empty() && exported_all;
}

} // namespace matrix
