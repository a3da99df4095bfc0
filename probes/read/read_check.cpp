#include "read_check.h"

#include <string>
#include <vector>

#include <tiffio.h>

#include "fetch.h"
#include "probe_support.h"

namespace {

using read_cases::Chunk;
using read_cases::Directory;
using read_cases::Rule;
using read_cases::Want;
using read_fetch::Fetch;
using read_fetch::Got;

std::vector<uint64_t> ExpectedInts(const ifd::Field &f)
{
    std::vector<uint64_t> out;
    for (const uint64_t v : f.values)
        out.push_back(read_fetch::IsSigned(f.type)
                          ? static_cast<uint64_t>(ifd::Signed(v, ifd::TypeSize(f.type)))
                          : v);
    return out;
}

bool SameReal(const Got &got, size_t i, double expect)
{
    if (got.size == 4)
        return static_cast<float>(got.reals[i]) == static_cast<float>(expect);
    return got.reals[i] == expect;
}

// The values given are the field's; says what differs unless `quiet`.
bool Matches(const Got &got, const ifd::Field &f, const char *name, const char *place, bool quiet)
{
    const char *type = ifd::TypeName(f.type);
    if (f.type == ifd::ASCII || got.text) {
        std::string expect(f.values.begin(), f.values.end());
        const size_t nul = expect.find('\0');
        if (!got.counted && nul != std::string::npos)
            expect.resize(nul);
        if (got.bytes == expect)
            return true;
        if (!quiet)
            probe::SayWrongText(f.tag, name, got.bytes.c_str(), expect.c_str(), place);
        return false;
    }
    const bool real = got.real || f.type == ifd::FLOAT || f.type == ifd::DOUBLE ||
                      f.type == ifd::RATIONAL || f.type == ifd::SRATIONAL;
    const std::vector<double> reals = read_fetch::Numbers(f);
    const std::vector<uint64_t> ints = ExpectedInts(f);
    const size_t n = reals.size();
    const size_t m = got.real ? got.reals.size() : got.ints.size();
    if (!(got.scalar && m == 1) && m != n) {
        if (!quiet)
            probe::SayWrongCount(type, f.tag, name, m, n, place);
        return false;
    }
    // Every value is judged: the first few wrong ones named, the rest
    // counted, so that one wrong value hides no other.
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t i = 0; i < n; i++) {
        const size_t g = got.scalar ? 0 : i;
        const double value =
            got.real ? got.reals[g] : static_cast<double>(static_cast<int64_t>(got.ints[g]));
        const bool numbers = real || got.real;
        const bool same = !numbers   ? got.ints[g] == ints[i]
                          : got.real ? SameReal(got, g, reals[i])
                                     : value == reals[i];
        if (same)
            continue;
        if (!quiet && wrong < probe::named_problems) {
            if (numbers)
                probe::SayWrongNumber(type, f.tag, name, i, value, reals[i], place);
            else
                probe::SayWrongValue(type, f.tag, name, i, got.ints[g], ints[i], place);
        }
        last = i;
        wrong++;
        // One value given for all: one problem, whatever the file holds.
        if (got.scalar)
            break;
    }
    if (!quiet && wrong > probe::named_problems)
        probe::Say<probe::Line::MoreWrongValues>(
            type, static_cast<unsigned long>(f.tag), name, probe::After(place).c_str(),
            wrong - probe::named_problems, static_cast<unsigned long>(last));
    return wrong == 0;
}

bool CheckWants(TIFF *tif, const std::vector<Want> &wants, const char *name, const char *place)
{
    bool ok = true;
    for (size_t i = 0; i < wants.size(); i++) {
        const Want &w = wants[i];
        // A tag the file holds twice is judged once, at its first want.
        bool seen = false;
        for (size_t j = 0; j < i; j++)
            seen = seen || wants[j].field.tag == w.field.tag;
        if (seen)
            continue;
        Got got;
        const bool present = Fetch(tif, w.field.tag, &got);
        switch (w.rule) {
        case Rule::Exact:
            if (!present) {
                probe::SayProblemFetching(w.field.tag, name, place);
                ok = false;
            } else {
                ok = Matches(got, w.field, name, place, false) && ok;
            }
            break;
        case Rule::ExactOrAbsent:
            if (present)
                ok = Matches(got, w.field, name, place, false) && ok;
            break;
        case Rule::AtLeast:
            if (present && (got.ints.size() != 1 || got.ints[0] < w.field.values[0])) {
                probe::Say<probe::Line::AtLeast>(name, probe::Field(place).c_str(), w.field.tag,
                                                 got.ints.empty() ? 0 : got.ints[0],
                                                 w.field.values[0]);
                ok = false;
            }
            break;
        case Rule::Absent:
            if (present) {
                probe::Say<probe::Line::NoValue>(name, probe::Field(place).c_str(), w.field.tag);
                ok = false;
            }
            break;
        case Rule::OneOf: {
            if (!present)
                break;
            bool any = false;
            for (size_t j = i; j < wants.size(); j++)
                any = any || (wants[j].field.tag == w.field.tag &&
                              Matches(got, wants[j].field, name, place, true));
            if (!any) {
                Matches(got, w.field, name, place, false);
                ok = false;
            }
            break;
        }
        }
    }
    return ok;
}

// A chunk read whole: its first wrong byte named, the others counted.
bool SameBytes(const std::vector<uint8_t> &buf, const std::vector<uint8_t> &want, const char *unit,
               uint32_t k, const char *name, const char *place, bool say)
{
    unsigned long wrong = 0;
    size_t first = 0;
    size_t last = 0;
    for (size_t i = 0; i < want.size(); i++) {
        if (buf[i] == want[i])
            continue;
        if (wrong++ == 0)
            first = i;
        last = i;
    }
    if (wrong == 0 || !say)
        return wrong == 0;
    probe::SayWrongImageByte(unit, k, name, place, first, buf[first], want[first]);
    if (wrong > 1)
        probe::SayMoreWrongBytes(unit, k, name, place, wrong - 1, "bytes", last);
    return false;
}

// Chunk k read as the case wants; says what is wrong when `say`.
bool ChunkRight(TIFF *tif, const Directory &d, uint32_t k, const char *name, const char *place,
                bool say)
{
    const char *unit = d.tiled ? "tile" : "strip";
    const Chunk &c = d.chunks[k];
    std::vector<uint8_t> buf(c.bytes.size() + 16);
    const auto cap = static_cast<tmsize_t>(buf.size());
    const tmsize_t n = d.tiled ? TIFFReadEncodedTile(tif, k, buf.data(), cap)
                               : TIFFReadEncodedStrip(tif, k, buf.data(), cap);
    if (c.refuse) {
        if (n < 0)
            return true;
        if (say)
            probe::Say<probe::Line::ReadBut>(name, probe::Field(place).c_str(), unit, k,
                                             static_cast<long>(n), c.refuse);
        return false;
    }
    if (n < 0) {
        if (say && !c.may_fail)
            probe::SayCantRead(unit, k, name, place);
        return c.may_fail;
    }
    if (static_cast<size_t>(n) != c.bytes.size()) {
        if (say)
            probe::Say<probe::Line::ReadAs>(name, probe::Field(place).c_str(), unit, k,
                                            static_cast<long>(n), c.bytes.size());
        return false;
    }
    return SameBytes(buf, c.bytes, unit, k, name, place, say);
}

bool CheckChunks(TIFF *tif, const Directory &d, const char *name, const char *place)
{
    const char *unit = d.tiled ? "tile" : "strip";
    if ((TIFFIsTiled(tif) != 0) != d.tiled) {
        probe::Say<probe::Line::Organization>(name, probe::Field(place).c_str(),
                                              TIFFIsTiled(tif) ? "tiled" : "in strips",
                                              d.tiled ? "tiled" : "in strips");
        return false;
    }
    const uint32_t count = d.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    bool ok = true;
    if (count != d.chunks.size()) {
        probe::Say<probe::Line::ChunkCount>(name, probe::Field(place).c_str(), count, unit,
                                            d.chunks.size());
        ok = false;
    }
    // Every chunk is read: the first few wrong ones named, the rest counted.
    probe::Tally tally;
    for (uint32_t k = 0; k < count && k < d.chunks.size(); k++) {
        if (!ChunkRight(tif, d, k, name, place, tally.Naming()))
            tally.Add(k);
    }
    if (tally.Unnamed())
        probe::SayMoreWrongImages(unit, tally.from, name, place, tally.Unnamed(), tally.last);
    ok = ok && tally.wrong == 0;
    return ok;
}

// The EXIF or GPS IFD of a page: read and its fields right, or refused
// where the file has none.
bool CheckLinked(TIFF *tif, bool exif, uint64_t offset, const std::vector<Directory> &dirs,
                 const char *name)
{
    const char *place = exif ? "EXIF IFD" : "GPS IFD";
    const int read = exif ? TIFFReadEXIFDirectory(tif, offset) : TIFFReadGPSDirectory(tif, offset);
    if (dirs.empty()) {
        if (read) {
            probe::Say<probe::Line::ReadNoIfd>(name, place, offset);
            return false;
        }
        return true;
    }
    if (!read) {
        probe::Say<probe::Line::NoIfdAt>(name, place, offset);
        return false;
    }
    return CheckWants(tif, dirs[0].wants, name, place);
}

bool CheckDirectory(TIFF *tif, const Directory &d, const char *name, const char *place)
{
    bool ok = CheckWants(tif, d.wants, name, place);
    ok = CheckChunks(tif, d, name, place) && ok;
    for (size_t i = 0; i < d.subifds.size(); i++) {
        const std::string sub = "SubIFD " + std::to_string(i);
        if (!TIFFSetSubDirectory(tif, d.subifd_offsets[i])) {
            probe::Say<probe::Line::CantGoToIfd>(name, sub.c_str(), d.subifd_offsets[i]);
            ok = false;
            continue;
        }
        ok = CheckDirectory(tif, d.subifds[i], name, sub.c_str()) && ok;
    }
    if (d.exif)
        ok = CheckLinked(tif, true, d.exif, d.exif_dirs, name) && ok;
    if (d.gps)
        ok = CheckLinked(tif, false, d.gps, d.gps_dirs, name) && ok;
    return ok;
}

// More pages than any case has: a library that counts a loop forever is
// stopped here.
constexpr unsigned page_limit = 64;

// The chain as the library counts it, reaches and walks: each the file's.
bool CountPages(const read_cases::Built &b, const char *name)
{
    const probe::Tiff tif(TIFFOpen(name, "r"));
    const unsigned n = tif ? TIFFNumberOfDirectories(tif) : 0;
    if (!tif || n == b.chain || (b.empty_last && n == b.chain + 1))
        return true;
    probe::Say<probe::Line::LibraryCounts>(name, b.chain, n);
    return false;
}

bool ReachPages(const read_cases::Built &b, const char *name)
{
    const probe::Tiff tif(TIFFOpen(name, "r"));
    if (!tif)
        return true;
    // Every page is tried: one the library cannot reach hides no other
    // (the catalogue's chains are a few pages long).
    bool ok = true;
    for (unsigned k = 0; k < b.chain; k++) {
        if (!TIFFSetDirectory(tif, static_cast<tdir_t>(k))) {
            probe::SayCantDirectory("read", name, probe::Page(k).c_str());
            ok = false;
        }
    }
    int went;
    bool said = false;
    if (b.empty_last) {
        const probe::ExpectedMessages seen;
        went = TIFFSetDirectory(tif, static_cast<tdir_t>(b.chain));
        said = seen.Count() > 0;
    } else {
        went = TIFFSetDirectory(tif, static_cast<tdir_t>(b.chain));
    }
    if (went) {
        probe::Say<probe::Line::SetDirectoryPast>(name, b.chain);
        return false;
    }
    // A page the count includes and no call can read must say why.
    if (b.empty_last && !said && TIFFNumberOfDirectories(tif) > b.chain) {
        probe::Say<probe::Line::CountedUnread>(name, b.chain);
        return false;
    }
    return ok;
}

bool WalkPages(const read_cases::Built &b, const char *name)
{
    const probe::Tiff tif(TIFFOpen(name, "r"));
    if (!tif)
        return true;
    unsigned walked = 1;
    while (walked <= page_limit && TIFFReadDirectory(tif))
        walked++;
    if (walked == b.chain)
        return true;
    if (walked > page_limit)
        probe::Say<probe::Line::WalksMore>(name, b.chain);
    else
        probe::Say<probe::Line::Walks>(name, b.chain, walked);
    return false;
}

} // namespace

bool CheckFile(const read_cases::Built &b, const char *name)
{
    {
        const probe::Tiff tif(TIFFOpen(name, "r"));
        if (!tif) {
            if (b.open != read_cases::Open::Must)
                return true;
            probe::Say<probe::Line::CantOpen>(name);
            return false;
        }
        if (b.open == read_cases::Open::Refuse) {
            probe::Say<probe::Line::NoImage>(name);
            return false;
        }
    }
    bool ok = CountPages(b, name);
    ok = ReachPages(b, name) && ok;
    ok = WalkPages(b, name) && ok;
    // Each page with its own handle.
    for (unsigned k = 0; k < b.pages.size(); k++) {
        const probe::Tiff tif(TIFFOpen(name, "r"));
        const std::string page = probe::Page(k);
        const char *place = b.pages.size() > 1 ? page.c_str() : nullptr;
        if (!tif || !TIFFSetDirectory(tif, static_cast<tdir_t>(k)))
            continue; // said by ReachPages
        ok = CheckDirectory(tif, b.pages[k], name, place) && ok;
    }
    return ok;
}
