// read_probe --explore's parts, as tables: the shrinker against failures of
// known causes, and the file of several deviations as our own reader reads
// it (each deviation's entry where its variant puts it, the linked IFDs
// linked, the strips intact).
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "explore.h"
#include "ifd_reader.h"
#include "matrix_detail.h"

namespace {

using Items = std::vector<size_t>;

bool Holds(const Items &items, size_t item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

TEST(ReadExplore, ShrinkKeepsTheFewestThatStillFail)
{
    const struct {
        const char *why;
        Items items;
        explore::Predicate fails;
        Items shrunk;
    } cases[] = {
        {"one cause", {0, 1, 2, 3, 4, 5, 6, 7}, [](const Items &i) { return Holds(i, 3); }, {3}},
        {"two together",
         {0, 1, 2, 3, 4, 5},
         [](const Items &i) { return Holds(i, 2) && Holds(i, 5); },
         {2, 5}},
        {"three together, first and last",
         {9, 4, 7, 1, 6},
         [](const Items &i) { return Holds(i, 9) && Holds(i, 6) && Holds(i, 1); },
         {9, 1, 6}},
        // Either of two: dropping the first still fails, so the last stays.
        {"either of two",
         {0, 1, 2, 3},
         [](const Items &i) { return Holds(i, 0) || Holds(i, 3); },
         {3}},
        {"any three", {0, 1, 2, 3, 4, 5}, [](const Items &i) { return i.size() >= 3; }, {3, 4, 5}},
        // Never down to none, even where nothing at all would fail.
        {"always", {0, 1, 2}, [](const Items &) { return true; }, {2}},
        {"one item", {4}, [](const Items &) { return false; }, {4}},
        // A drop that passes is undone: nothing smaller fails.
        {"all needed", {0, 1, 2}, [](const Items &i) { return i.size() == 3; }, {0, 1, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        size_t calls = 0;
        const Items got = explore::Shrink(c.items, [&](const Items &i) {
            calls++;
            EXPECT_FALSE(i.empty());
            return c.fails(i);
        });
        EXPECT_EQ(got, c.shrunk);
        // One pass per drop, at most the items left each.
        EXPECT_LE(calls, c.items.size() * c.items.size());
    }
}

TEST(ReadExplore, ParseTakesItsOptionsInEitherOrder)
{
    const struct {
        std::vector<std::string> args;
        explore::Options want;
    } cases[] = {
        {{}, {}},
        {{"--explore", "30"}, {true, 30, false, 0}},
        {{"--explore", "1", "--seed", "0"}, {true, 1, true, 0}},
        {{"--seed", "18446744073709551615", "--explore", "86400"},
         {true, 86400, true, 18446744073709551615ULL}},
        {{"--explore", "007", "--seed", "42"}, {true, 7, true, 42}},
    };
    for (const auto &c : cases) {
        explore::Options got;
        explore::BadArgument bad;
        ASSERT_TRUE(explore::Parse(c.args, &got, &bad)) << bad.arg << ": " << bad.why;
        EXPECT_EQ(got.explore, c.want.explore);
        EXPECT_EQ(got.seconds, c.want.seconds);
        EXPECT_EQ(got.seeded, c.want.seeded);
        EXPECT_EQ(got.seed, c.want.seed);
    }
}

// --- The file of several deviations ------------------------------------------

struct Want {
    uint16_t tag;
    matrix::Home home;
    const char *slug;
};

const matrix::Row *RowOf(const std::vector<matrix::Row> &rows, const Want &w)
{
    for (const matrix::Row &r : rows) {
        if (r.tag == w.tag && r.home == w.home)
            return &r;
    }
    return nullptr;
}

uint64_t Elements(const ifd::Field &f)
{
    const bool pairs = f.type == ifd::RATIONAL || f.type == ifd::SRATIONAL;
    return f.count != ifd::derived ? f.count : pairs ? f.values.size() / 2 : f.values.size();
}

// The IFD of a home in the file: the first of the chain, or the one the
// main IFD links by `link`.
const ifd::Directory *IfdOf(const ifd::File &file, matrix::Home home)
{
    if (home == matrix::Home::Main || home == matrix::Home::Private)
        return &file.chain[0];
    const ifd::Entry *link = ifd::FindEntry(
        file.chain[0], home == matrix::Home::Exif ? ifd::tag::ExifIFD : ifd::tag::GPSInfoIFD);
    return link && link->values.size() == 1 ? file.Find(link->values[0]) : nullptr;
}

// Each pick's entry as its variant places it: where it lies in the file,
// its type, count and values; out of the file, dropped by the reader.
void ExpectPlaced(const ifd::File &file, const matrix::detail::Combined &c, size_t i,
                  const matrix::detail::Pick &p)
{
    const matrix::Variant &v = *p.variant;
    SCOPED_TRACE(std::to_string(p.row->tag) + " " + v.slug);
    const ifd::Directory *dir = IfdOf(file, p.row->home);
    ASSERT_NE(dir, nullptr);
    const ifd::Entry *e = ifd::FindEntry(*dir, p.row->tag);
    if (v.place == matrix::Place::PastEnd || v.place == matrix::Place::Straddle) {
        EXPECT_EQ(e, nullptr) << "its values lie inside the file";
        return;
    }
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type, v.field.type);
    EXPECT_EQ(e->count, Elements(v.field));
    if (v.place == matrix::Place::OverIfd) {
        EXPECT_EQ(e->value_at, dir->offset);
        EXPECT_EQ(e->values, c.expect[i].values);
        return;
    }
    EXPECT_EQ(e->values, v.field.values);
    if (!e->is_inline) {
        EXPECT_EQ(e->value_at % 2, v.place == matrix::Place::Odd ? 1U : 0U);
    }
}

TEST(ReadExplore, SeveralDeviationsLieInOneFileEachWhereItsVariantPutsIt)
{
    using matrix::Home;
    const std::vector<matrix::Row> rows = matrix::Rows();
    const struct {
        size_t format; // of read_cases::formats
        std::vector<Want> picks;
        size_t past; // picks whose values lie past the end or straddle it
        matrix::detail::Shapes shapes;
    } cases[] = {
        // Values after the main IFD in entry order, one odd, one past the end.
        {0,
         {{274, Home::Main, "more"}, {270, Home::Main, "odd"}, {282, Home::Main, "past"}},
         1,
         {}},
        // A value after one of odd length: at the next even offset.
        {0, {{270, Home::Main, "over"}, {282, Home::Main, "more"}}, 0, {}},
        // A linked EXIF and GPS IFD each after the main one's values, and
        // one value straddling the end of the file, from the main IFD.
        {3,
         {{270, Home::Main, "straddle"},
          {33434, Home::Exif, "more"},
          {0, Home::Gps, "more"},
          {318, Home::Main, "odd"}},
         1,
         {}},
        // An image field replaced, a private one over the IFD, in big-endian.
        {1, {{256, Home::Main, "rational"}, {65103, Home::Private, "overifd"}}, 0, {}},
        // The structural classes: entries descending, strips reversed.
        {0, {{274, Home::Main, "byte"}, {270, Home::Main, "odd"}}, 0, {true, false}},
        {3, {{33434, Home::Exif, "more"}, {65103, Home::Private, "over"}}, 0, {true, true}},
        {1, {{282, Home::Main, "overifd"}}, 0, {false, true}},
        {1,
         {{33434, Home::Exif, "overifd"},
          {282, Home::Main, "overifd"},
          {33437, Home::Exif, "past"},
          {270, Home::Main, "over"}},
         1,
         {}},
    };
    for (const auto &c : cases) {
        const read_cases::Format &fmt = read_cases::formats[c.format];
        SCOPED_TRACE(fmt.suffix);
        std::vector<std::vector<matrix::Variant>> kept;
        std::vector<matrix::detail::Pick> picks;
        for (const Want &w : c.picks) {
            const matrix::Row *row = RowOf(rows, w);
            ASSERT_NE(row, nullptr) << w.tag;
            kept.push_back(matrix::Derive(*row, fmt.bigtiff));
        }
        for (size_t i = 0; i < c.picks.size(); i++) {
            auto v = std::find_if(kept[i].begin(), kept[i].end(), [&](const matrix::Variant &x) {
                return x.slug == c.picks[i].slug;
            });
            ASSERT_NE(v, kept[i].end()) << c.picks[i].tag << " " << c.picks[i].slug;
            picks.push_back({RowOf(rows, c.picks[i]), &*v});
        }
        const matrix::detail::Combined built = matrix::detail::BuildMany(picks, fmt, c.shapes);
        const ifd::File file = ifd::ReadFile(built.bytes.data(), built.bytes.size());
        ASSERT_EQ(file.chain.size(), 1U);
        const std::vector<ifd::Entry> &entries = file.chain[0].entries;
        const auto descending = [](const ifd::Entry &a, const ifd::Entry &b) {
            return a.tag > b.tag;
        };
        EXPECT_EQ(std::is_sorted(entries.begin(), entries.end(), descending), c.shapes.descending);
        EXPECT_NE(std::is_sorted(entries.rbegin(), entries.rend(), descending),
                  c.shapes.descending);
        // The reader's problems: the values outside the file, no other.
        EXPECT_EQ(file.problems.size(), c.past);
        const ifd::Entry *offsets = ifd::FindEntry(file.chain[0], ifd::tag::StripOffsets);
        ASSERT_NE(offsets, nullptr);
        ASSERT_EQ(offsets->values.size(), 2U);
        EXPECT_EQ(offsets->values[0] > offsets->values[1], c.shapes.strips_reversed);
        for (size_t k = 0; k < 2; k++) {
            const uint64_t at = offsets->values[k];
            ASSERT_LE(at + matrix::detail::strip_bytes, built.bytes.size());
            EXPECT_TRUE(std::equal(
                built.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                built.bytes.begin() + static_cast<std::ptrdiff_t>(at + matrix::detail::strip_bytes),
                built.pixels.begin() +
                    static_cast<std::ptrdiff_t>(k * matrix::detail::strip_bytes)));
        }
        for (size_t i = 0; i < picks.size(); i++)
            ExpectPlaced(file, built, i, picks[i]);
    }
}

} // namespace
