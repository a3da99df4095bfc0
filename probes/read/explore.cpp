#include "explore.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <random>

#include <unistd.h>

#include "matrix_detail.h"
#include "peak.h"
#include "probe_support.h"

namespace explore {

namespace {

using matrix::Outcome;
using matrix::Place;
using matrix::Row;
using matrix::Variant;
using matrix::detail::Pick;

// --- Arguments ---------------------------------------------------------------

constexpr unsigned max_seconds = 86400;

// A decimal number of digits alone, at most `max`.
bool Whole(const std::string &text, uint64_t max, uint64_t *value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long v = strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v > max)
        return false;
    *value = v;
    return true;
}

bool Fault(BadArgument *bad, const std::string &arg, const char *why)
{
    bad->arg = arg;
    bad->why = why;
    return false;
}

// --- The deviations: every row's variants but its standard encoding, and ---
// --- the structural classes a file of several rows' variants can take -------

constexpr size_t formats = sizeof(read_cases::formats) / sizeof(read_cases::formats[0]);

// The matrix's structural cases (matrix_shapes.cpp) BuildMany can apply.
struct ShapeItem {
    const char *slug;
    bool matrix::detail::Shapes::*flag;
};
constexpr ShapeItem shape_items[] = {
    {"descending", &matrix::detail::Shapes::descending},
    {"strips_reversed", &matrix::detail::Shapes::strips_reversed},
};
constexpr size_t shape_count = sizeof(shape_items) / sizeof(shape_items[0]);

struct Deviation {
    size_t row;
    size_t variant;
};

// What a deviation does alone, in the matrix's own case: untried, passes,
// fails (the matrix's line, or a known defect's, says it).
enum class Alone : unsigned char { Untried, Passes, Fails };

struct Pool {
    std::vector<Row> rows;
    std::vector<std::vector<Variant>> variants[formats]; // per format, per row
    std::vector<Deviation> deviations[formats];
    std::vector<Alone> alone[formats]; // per deviation, then per shape
    matrix::detail::StructuralClass shapes[shape_count];
    bool has_shape[shape_count];
};

// An item of a combination: deviation `item` of its format, or from
// shape_base on, structural class `item - shape_base`.
constexpr size_t shape_base = size_t{1} << 30;

void Fill(Pool *pool)
{
    pool->rows = matrix::Rows();
    for (size_t f = 0; f < formats; f++) {
        for (size_t r = 0; r < pool->rows.size(); r++) {
            pool->variants[f].push_back(
                matrix::Derive(pool->rows[r], read_cases::formats[f].bigtiff));
            // Variant 0 is the standard encoding: no deviation.
            for (size_t v = 1; v < pool->variants[f][r].size(); v++)
                pool->deviations[f].push_back({r, v});
        }
        pool->alone[f].assign(pool->deviations[f].size() + shape_count, Alone::Untried);
    }
    for (size_t s = 0; s < shape_count; s++)
        pool->has_shape[s] = matrix::detail::StructuralRule(shape_items[s].slug, &pool->shapes[s]);
}

struct Combination {
    size_t format = 0;
    std::vector<size_t> items;
};

// The file a combination's items make: its fields, its structure.
struct Assembled {
    std::vector<Pick> picks;
    matrix::detail::Shapes shapes;
    Outcome structure = Outcome::Exact;
};

Assembled Assemble(const Pool &pool, size_t format, const std::vector<size_t> &items)
{
    Assembled a;
    for (const size_t item : items) {
        if (item >= shape_base) {
            const size_t s = item - shape_base;
            a.shapes.*shape_items[s].flag = true;
            if (pool.shapes[s].outcome != Outcome::Exact)
                a.structure = pool.shapes[s].outcome;
            continue;
        }
        const Deviation &dev = pool.deviations[format][item];
        a.picks.push_back({&pool.rows[dev.row], &pool.variants[format][dev.row][dev.variant]});
    }
    return a;
}

// --- Running a file in a child -------------------------------------------------

constexpr unsigned time_limit = 10; // seconds a file may take

// What broke reading the file of `items` as `name`, in a child process with
// a time limit and the peak resident size watched; empty when nothing did.
std::string Try(const Pool &pool, size_t format, const std::vector<size_t> &items,
                const std::string &name)
{
    const Assembled a = Assemble(pool, format, items);
    const matrix::detail::Combined c =
        matrix::detail::BuildMany(a.picks, read_cases::formats[format], a.shapes);
    int signal = 0;
    std::string what = matrix::detail::Apart(
        [&] {
            alarm(time_limit);
            read_peak::ResetPeak();
            const long before = read_peak::PeakKib();
            std::string broke = matrix::detail::CheckMany(a.picks, c, name.c_str(), a.structure);
            const long after = read_peak::PeakKib();
            if (broke.empty() && before >= 0 && after >= 0 &&
                after - before > read_peak::max_growth_kib)
                broke = "the peak resident size grows by " + std::to_string(after - before) +
                        " KiB, more than " + std::to_string(read_peak::max_growth_kib);
            return broke;
        },
        &signal);
    if (signal == SIGALRM)
        return "no answer within " + std::to_string(time_limit) + " s";
    if (signal)
        return what + " (signal " + std::to_string(signal) + ")";
    return what;
}

std::string FileName(const read_cases::Format &fmt)
{
    return std::string("read_explore") + fmt.suffix;
}

// Whether `item` passes alone, in a file named as the matrix's case of it,
// tried once.
bool PassesAlone(Pool *pool, size_t format, size_t item)
{
    const size_t at =
        item >= shape_base ? pool->deviations[format].size() + item - shape_base : item;
    Alone &a = pool->alone[format][at];
    if (a == Alone::Untried) {
        const read_cases::Format &fmt = read_cases::formats[format];
        std::string name;
        if (item >= shape_base) {
            name = std::string("read_") + shape_items[item - shape_base].slug + fmt.suffix;
        } else {
            const Deviation &dev = pool->deviations[format][item];
            name = matrix::detail::CaseName(pool->rows[dev.row],
                                            pool->variants[format][dev.row][dev.variant], fmt);
        }
        a = Try(*pool, format, {item}, name).empty() ? Alone::Passes : Alone::Fails;
    }
    return a == Alone::Passes;
}

// The IFD a row's field goes in: the main one, the EXIF or the GPS IFD.
int IfdOf(const Row &row)
{
    return row.home == matrix::Home::Exif ? 1 : row.home == matrix::Home::Gps ? 2 : 0;
}

// Whether deviation `d` can join the items: its tag not yet in its IFD, and
// at most one value straddling the end of the file.
bool Joins(const Pool &pool, size_t format, const std::vector<size_t> &chosen, size_t d)
{
    const Deviation &dev = pool.deviations[format][d];
    const Row &row = pool.rows[dev.row];
    const bool straddles = pool.variants[format][dev.row][dev.variant].place == Place::Straddle;
    return std::none_of(chosen.begin(), chosen.end(), [&](size_t e) {
        const Deviation &other = pool.deviations[format][e];
        const Row &r = pool.rows[other.row];
        return (r.tag == row.tag && IfdOf(r) == IfdOf(row)) ||
               (straddles &&
                pool.variants[format][other.row][other.variant].place == Place::Straddle);
    });
}

constexpr size_t fewest = 2, most = 8;

// A combination of up to 8 deviations of one format, each passing alone,
// and each structural class one time in four, from a fixed number of draws:
// which deviations fail alone on this host does not change the combinations
// that follow.
Combination Draw(Pool *pool, std::mt19937_64 *rng)
{
    Combination c;
    c.format = (*rng)() % formats;
    const size_t want = fewest + (*rng)() % (most - fewest + 1);
    const size_t size = pool->deviations[c.format].size();
    for (size_t attempt = 0; attempt < 4 * want; attempt++) {
        const size_t d = (*rng)() % size;
        if (c.items.size() < want && Joins(*pool, c.format, c.items, d) &&
            PassesAlone(pool, c.format, d))
            c.items.push_back(d);
    }
    for (size_t s = 0; s < shape_count; s++) {
        const bool take = (*rng)() % 4 == 0;
        if (take && pool->has_shape[s] && PassesAlone(pool, c.format, shape_base + s))
            c.items.push_back(shape_base + s);
    }
    return c;
}

const char *OutcomeName(Outcome o)
{
    return o == Outcome::Exact ? "exact" : o == Outcome::Refused ? "refused" : "tolerated";
}

// The lines of a combination's item.
void SayItem(const Pool &pool, size_t format, size_t item)
{
    if (item >= shape_base) {
        const matrix::detail::StructuralClass &s = pool.shapes[item - shape_base];
        probe::Say<probe::Line::ExploreDeviation>(s.klass, s.rule, OutcomeName(s.outcome));
        return;
    }
    const Deviation &dev = pool.deviations[format][item];
    const Variant &v = pool.variants[format][dev.row][dev.variant];
    const std::string what = matrix::detail::Key(pool.rows[dev.row]) + " " + v.klass;
    probe::Say<probe::Line::ExploreDeviation>(what.c_str(), v.rule, OutcomeName(v.outcome));
}

} // namespace

bool Parse(const std::vector<std::string> &args, Options *options, BadArgument *bad)
{
    Options o;
    bool seconds_given = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string &arg = args[i];
        const bool is_explore = arg == "--explore";
        if (!is_explore && arg != "--seed")
            return Fault(bad, arg, "not an option");
        if (is_explore ? seconds_given : o.seeded)
            return Fault(bad, arg, "given twice");
        if (i + 1 == args.size())
            return Fault(bad, arg, is_explore ? "needs a number of seconds" : "needs a number");
        const std::string &value = args[++i];
        uint64_t v = 0;
        if (is_explore) {
            if (!Whole(value, max_seconds, &v) || v == 0)
                return Fault(bad, value, "not a number of seconds from 1 to 86400");
            o.seconds = static_cast<unsigned>(v);
            seconds_given = true;
        } else {
            if (!Whole(value, ~uint64_t{0}, &v))
                return Fault(bad, value, "not a seed from 0 to 18446744073709551615");
            o.seed = v;
            o.seeded = true;
        }
    }
    if (o.seeded && !seconds_given)
        return Fault(bad, "--seed", "needs --explore");
    o.explore = seconds_given;
    *options = o;
    return true;
}

uint64_t TimeSeed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return static_cast<uint64_t>(ns) ^ (static_cast<uint64_t>(getpid()) << 48);
}

std::vector<size_t> Shrink(std::vector<size_t> items, const Predicate &fails)
{
    bool dropped = true;
    while (dropped && items.size() > 1) {
        dropped = false;
        for (size_t i = 0; i < items.size(); i++) {
            std::vector<size_t> fewer = items;
            fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(i));
            if (fails(fewer)) {
                items = fewer;
                dropped = true;
                break;
            }
        }
    }
    return items;
}

bool Run(unsigned seconds, uint64_t seed)
{
    Pool pool;
    Fill(&pool);
    matrix::detail::RegisterPrivate(true);
    std::mt19937_64 rng(seed);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    size_t number = 0;
    bool passed = true;
    while (passed && std::chrono::steady_clock::now() < end) {
        const Combination c = Draw(&pool, &rng);
        number++; // every draw, run or not, so that a number names one on every host
        if (c.items.size() < fewest)
            continue;
        const read_cases::Format &fmt = read_cases::formats[c.format];
        const std::string name = FileName(fmt);
        std::string what = Try(pool, c.format, c.items, name);
        if (what.empty())
            continue;
        passed = false;
        // What the fewest items that still fail break.
        const std::vector<size_t> shrunk = Shrink(c.items, [&](const std::vector<size_t> &fewer) {
            std::string broke = Try(pool, c.format, fewer, name);
            if (broke.empty())
                return false;
            what = broke;
            return true;
        });
        probe::Say<probe::Line::ExploreFailed>(seed, number, c.items.size(), shrunk.size());
        for (const size_t item : shrunk)
            SayItem(pool, c.format, item);
        probe::Say<probe::Line::ExploreBroke>(name.c_str(), what.c_str());
        const Assembled a = Assemble(pool, c.format, shrunk);
        const ifd::Error err =
            ifd::SaveFile(name.c_str(), matrix::detail::BuildMany(a.picks, fmt, a.shapes).bytes);
        if (err)
            probe::Say<probe::Line::CantSave>(name.c_str(), err.what.c_str());
    }
    matrix::detail::RegisterPrivate(false);
    return passed;
}

} // namespace explore
