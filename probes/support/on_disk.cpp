#include "on_disk.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstring>

namespace probe {

ifd::Error ReadOnDisk(const char *filename, OnDisk *disk)
{
    ifd::Error err = ifd::LoadFile(filename, &disk->bytes);
    if (!err)
        disk->file = ifd::ReadFile(disk->bytes.data(), disk->bytes.size());
    return err;
}

bool NoProblems(const char *filename, const ifd::File &file)
{
    // Enough to see what went wrong; a file of thousands of broken entries
    // would bury the verdict.
    constexpr size_t shown = 20;
    const size_t n = file.problems.size();

    for (size_t i = 0; i < n && i < shown; i++)
        Say<Line::IfdProblem>(filename, file.problems[i].offset, file.problems[i].what.c_str());
    if (n > shown)
        Say<Line::MoreProblems>(filename, n - shown);
    return n == 0;
}

// Each of the structure checks below names its first few problems and
// counts the rest, so that a known defect in one entry or chunk hides no
// other; `wrong` is how many there were.
static void SayRest(const char *filename, size_t wrong)
{
    if (wrong > named_problems)
        Say<Line::MoreProblems>(filename, static_cast<size_t>(wrong - named_problems));
}

bool TagsAscending(const ifd::Directory &dir, const char *filename)
{
    size_t wrong = 0;
    for (size_t i = 1; i < dir.entries.size(); i++) {
        if (dir.entries[i].tag > dir.entries[i - 1].tag)
            continue;
        if (wrong++ < named_problems)
            Say<Line::TagOrder>(filename, dir.offset, dir.entries[i].tag, dir.entries[i - 1].tag);
    }
    SayRest(filename, wrong);
    return wrong == 0;
}

bool WordAligned(const ifd::Directory &dir, const char *filename)
{
    size_t wrong = 0;
    for (const ifd::Entry &e : dir.entries) {
        if (e.is_inline || e.value_at % 2 == 0)
            continue;
        if (wrong++ < named_problems)
            Say<Line::OddOffset>(filename, e.tag, e.value_at);
    }
    SayRest(filename, wrong);
    return wrong == 0;
}

bool ChunksInside(const ifd::Directory &dir, uint64_t file_size, uint16_t offsets_tag,
                  uint16_t counts_tag, uint64_t count, const char *unit, const char *filename)
{
    const ifd::Entry *offsets = ifd::FindEntry(dir, offsets_tag);
    const ifd::Entry *counts = ifd::FindEntry(dir, counts_tag);

    if (!offsets || !counts || offsets->values.size() != count || counts->values.size() != count) {
        Say<Line::ArraysCount>(
            filename, dir.offset, count,
            offsets_tag == ifd::tag::StripOffsets ? "StripOffsets" : "TileOffsets",
            counts_tag == ifd::tag::StripByteCounts ? "StripByteCounts" : "TileByteCounts");
        return false;
    }
    size_t wrong = 0;
    for (uint64_t s = 0; s < count; s++) {
        if (offsets->values[s] <= file_size && counts->values[s] <= file_size - offsets->values[s])
            continue;
        if (wrong++ < named_problems)
            Say<Line::ChunkOutside>(filename, offsets_tag, unit, s);
    }
    SayRest(filename, wrong);
    return wrong == 0;
}

// The quotient as a double. On 32-bit x86 the x87 unit divides in 80 bits
// and a quotient kept in a register is compared in 80 bits: 301/10 would
// then differ from the double 30.1 that it stands for. Stored, it is
// rounded to a double.
static double Quotient(double num, double den)
{
    const volatile double q = num / den;
    return q;
}

double Number(const ifd::Entry &e, size_t i)
{
    const unsigned size = ifd::TypeSize(e.type);

    switch (e.type) {
    case ifd::RATIONAL:
    case ifd::SRATIONAL: {
        const uint64_t num = e.values.at(2 * i);
        const uint64_t den = e.values.at(2 * i + 1);
        if (den == 0)
            return NAN;
        if (e.type == ifd::RATIONAL)
            return Quotient(static_cast<double>(num), static_cast<double>(den));
        return Quotient(static_cast<double>(ifd::Signed(num, 4)),
                        static_cast<double>(ifd::Signed(den, 4)));
    }
    case ifd::FLOAT:
        return ifd::FloatFromBits(e.values.at(i));
    case ifd::DOUBLE:
        return ifd::DoubleFromBits(e.values.at(i));
    case ifd::SBYTE:
    case ifd::SSHORT:
    case ifd::SLONG:
    case ifd::SLONG8:
        return static_cast<double>(ifd::Signed(e.values.at(i), size));
    default:
        return static_cast<double>(e.values.at(i));
    }
}

bool ChunksApart(const ifd::Directory &dir, uint16_t offsets_tag, uint16_t counts_tag,
                 const char *unit, const char *filename)
{
    const std::vector<uint64_t> &offsets = ifd::FindEntry(dir, offsets_tag)->values;
    const std::vector<uint64_t> &counts = ifd::FindEntry(dir, counts_tag)->values;
    std::vector<size_t> order;

    // Empty chunks hold no byte, so they overlap nothing.
    for (size_t i = 0; i < offsets.size(); i++) {
        if (counts[i] > 0)
            order.push_back(i);
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    for (size_t k = 1; k < order.size(); k++) {
        const size_t a = order[k - 1];
        const size_t b = order[k];
        // ChunksInside has checked that no chunk ends past the file, so the sum cannot wrap.
        if (offsets[a] + counts[a] > offsets[b]) {
            Say<Line::ChunksOverlap>(filename, unit, std::min(a, b), unit, std::max(a, b));
            return false;
        }
    }
    return true;
}

bool ChunkHolds(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                const std::vector<uint8_t> &expected, const char *unit, uint64_t index,
                unsigned page, const char *filename)
{
    if (count != expected.size() || offset > bytes.size() || count > bytes.size() - offset) {
        Say<Line::ChunkSize>(filename, unit, index, page, count, offset, expected.size());
        return false;
    }
    size_t first = expected.size();
    size_t last = 0;
    unsigned long wrong = 0;
    for (size_t i = 0; i < expected.size(); i++) {
        if (bytes[offset + i] != expected[i]) {
            first = std::min(first, i);
            last = i;
            wrong++;
        }
    }
    if (wrong == 0)
        return true;
    Say<Line::ChunkByte>(filename, unit, index, page, first, bytes[offset + first],
                         expected[first]);
    if (wrong > 1)
        Say<Line::MoreBytesOnDisk>(filename, unit, index, page, wrong - 1, last);
    return false;
}

bool ChunkMatches(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                  const std::vector<uint8_t> &expected)
{
    return count == expected.size() && offset <= bytes.size() && count <= bytes.size() - offset &&
           std::equal(expected.begin(), expected.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool ReadFormat(const char *filename, bool big_endian, bool bigtiff, OnDisk *disk)
{
    const ifd::Error err = ReadOnDisk(filename, disk);
    const ifd::File &file = disk->file;

    if (err || !file.has_header) {
        Say<Line::HeaderProblem>(filename, (err ? err : file.problems[0]).what.c_str());
        return false;
    }
    const ifd::Header &header = file.header;
    if (header.big_endian != big_endian || header.bigtiff != bigtiff) {
        Say<Line::HeaderFormat>(filename, header.big_endian ? "MM" : "II", header.bigtiff ? 43 : 42,
                                big_endian ? "MM" : "II", bigtiff ? 43 : 42);
        return false;
    }
    return NoProblems(filename, file);
}

bool ReadFormat(const Layout &layout, OnDisk *disk)
{
    return ReadFormat(layout.filename, layout.big_endian, layout.bigtiff, disk);
}

bool PagesOnDisk(const ifd::File &file, size_t pages, const char *filename)
{
    if (file.chain.size() == pages)
        return true;
    Say<Line::PagesOnDisk>(filename, pages, file.chain.size());
    return false;
}

} // namespace probe
