// Reads files the library did not write. Each case of the catalogue
// (read_cases.cpp) is built byte by byte by ifd_writer in each layout its
// encoding exists in, and read through the library, which must give back
// exactly the values and pixels the bytes mean: legal encodings the
// library's own writer never makes, deviations that readers tolerate, and
// malformed files, which must fail cleanly. Principles, for every case:
// - a call that returns success hands back the bytes and values the file
//   holds, never filler and never other bytes of the file;
// - a field the library cannot read is absent (TIFFGetField returns 0);
// - TIFFNumberOfDirectories, TIFFReadDirectory and TIFFSetDirectory agree
//   with each other and with the chain in the file, loops included;
// - no crash, no hang, and the peak resident size grows by at most 64 MiB.
// A library message fails a legal case; the other kinds may have them.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_writer.h"
#include "matrix.h"
#include "probe_support.h"
#include "read_cases.h"

namespace {

using read_cases::Chunk;
using read_cases::Directory;
using read_cases::Rule;
using read_cases::Want;

// --- The tag extender of the cases that register their private tags ------

bool register_private = false;
TIFFExtendProc previous_extender = nullptr;

char private_names[19][16];
TIFFFieldInfo private_infos[16];
unsigned private_info_count = 0;

void PrivateTags(TIFF *tif)
{
    if (register_private)
        TIFFMergeFieldInfo(tif, private_infos, private_info_count);
    if (previous_extender)
        previous_extender(tif);
}

void InstallExtender()
{
    const uint16_t types[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18};
    for (const uint16_t type : types) {
        snprintf(private_names[type], sizeof(private_names[type]), "Private%u", type);
        private_infos[private_info_count++] = {static_cast<ttag_t>(read_cases::private_base + type),
                                               TIFF_VARIABLE2,
                                               TIFF_VARIABLE2,
                                               static_cast<TIFFDataType>(type),
                                               FIELD_CUSTOM,
                                               1,
                                               1,
                                               private_names[type]};
    }
    previous_extender = TIFFSetTagExtender(PrivateTags);
}

// --- Memory: the peak resident size, reset before each case ---------------

// VmHWM in KiB, or -1 where /proc does not tell it.
long PeakKib()
{
    FILE *f = fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof(line), f)) {
        if (strncmp(line, "VmHWM:", 6) == 0) {
            kib = strtol(line + 6, nullptr, 10);
            break;
        }
    }
    fclose(f);
    return kib;
}

void ResetPeak()
{
    FILE *f = fopen("/proc/self/clear_refs", "w");
    if (!f)
        return;
    fputs("5", f);
    fclose(f);
}

constexpr long max_growth_kib = 64L * 1024;

// --- What the library gives for a field ------------------------------------

struct Got {
    bool text = false;
    bool counted = false; // fetched with its count
    bool scalar = false;  // one value, whatever the file holds per sample
    bool real = false;
    unsigned size = 0; // bytes of each value as the library holds it
    std::string bytes;
    std::vector<uint64_t> ints;
    std::vector<double> reals;
};

bool IsReal(TIFFDataType t)
{
    return t == TIFF_RATIONAL || t == TIFF_SRATIONAL || t == TIFF_FLOAT || t == TIFF_DOUBLE;
}

bool IsSigned(uint16_t t)
{
    return t == ifd::SBYTE || t == ifd::SSHORT || t == ifd::SLONG || t == ifd::SLONG8;
}

void Decode(const void *p, uint64_t n, unsigned size, TIFFDataType dt, Got *got)
{
    got->size = size;
    got->real = IsReal(dt) && size >= 4;
    const bool sign = IsSigned(static_cast<uint16_t>(dt));
    const auto *bytes = static_cast<const uint8_t *>(p);
    for (uint64_t i = 0; p && i < n; i++) {
        const uint8_t *v = bytes + i * size;
        if (got->real) {
            if (size == 4) {
                float f;
                memcpy(&f, v, 4);
                got->reals.push_back(f);
            } else {
                double d;
                memcpy(&d, v, 8);
                got->reals.push_back(d);
            }
            continue;
        }
        uint64_t u = 0;
        memcpy(&u, v, size); // host order; the low bytes come first on little-endian hosts
        if (probe::HostBigEndian())
            u >>= 8 * (8 - size);
        got->ints.push_back(sign ? static_cast<uint64_t>(ifd::Signed(u, size)) : u);
    }
}

bool IsStrileArray(uint16_t tag)
{
    return tag == ifd::tag::StripOffsets || tag == ifd::tag::StripByteCounts ||
           tag == ifd::tag::TileOffsets || tag == ifd::tag::TileByteCounts;
}

// The field as TIFFGetField gives it, in the calling form its description
// asks for; false when it is absent.
bool Fetch(TIFF *tif, uint16_t tag, Got *got)
{
    const TIFFField *f = TIFFFieldWithTag(tif, tag);
    if (!f)
        return false;
    const TIFFDataType dt = TIFFFieldDataType(f);
    const int size = TIFFFieldSetGetSize(f);
    const int count_size = TIFFFieldSetGetCountSize(f);
    const int read_count = TIFFFieldReadCount(f);
    void *p = nullptr;

    if (IsStrileArray(tag)) {
        uint64_t *array = nullptr;
        if (!TIFFGetField(tif, tag, &array))
            return false;
        const uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        Decode(array, array ? n : 0, 8, TIFF_LONG8, got);
        return true;
    }
    if (count_size == 2 || count_size == 4) {
        uint16_t n16 = 0;
        uint32_t n32 = 0;
        const int ok =
            count_size == 2 ? TIFFGetField(tif, tag, &n16, &p) : TIFFGetField(tif, tag, &n32, &p);
        if (!ok)
            return false;
        got->counted = true;
        const uint32_t n = count_size == 2 ? n16 : n32;
        if (dt == TIFF_ASCII) {
            got->text = true;
            got->bytes.assign(static_cast<const char *>(p), p ? n : 0);
        } else {
            Decode(p, n, static_cast<unsigned>(size), dt, got);
        }
        return true;
    }
    if (dt == TIFF_ASCII) {
        const char *text = nullptr;
        if (!TIFFGetField(tif, tag, &text))
            return false;
        got->text = true;
        got->bytes = text ? text : "";
        return true;
    }
    if (read_count > 1) {
        if (!TIFFGetField(tif, tag, &p))
            return false;
        Decode(p, static_cast<uint64_t>(read_count), static_cast<unsigned>(size), dt, got);
        return true;
    }
    // One value, of the size the library keeps: 8 bytes hold any of them.
    uint64_t value[2] = {0, 0};
    if (!TIFFGetField(tif, tag, value))
        return false;
    got->scalar = true;
    Decode(value, 1, static_cast<unsigned>(size), dt, got);
    return true;
}

// --- What the file means ----------------------------------------------------

std::vector<double> ExpectedReals(const ifd::Field &f)
{
    std::vector<double> out;
    const bool pairs = f.type == ifd::RATIONAL || f.type == ifd::SRATIONAL;
    for (size_t i = 0; i < f.values.size(); i += pairs ? 2 : 1) {
        const uint64_t v = f.values[i];
        if (f.type == ifd::FLOAT)
            out.push_back(ifd::FloatFromBits(v));
        else if (f.type == ifd::DOUBLE)
            out.push_back(ifd::DoubleFromBits(v));
        else if (f.type == ifd::RATIONAL)
            out.push_back(static_cast<double>(v) / static_cast<double>(f.values[i + 1]));
        else if (f.type == ifd::SRATIONAL)
            out.push_back(static_cast<double>(ifd::Signed(v, 4)) /
                          static_cast<double>(ifd::Signed(f.values[i + 1], 4)));
        else if (IsSigned(f.type))
            out.push_back(static_cast<double>(ifd::Signed(v, ifd::TypeSize(f.type))));
        else
            out.push_back(static_cast<double>(v));
    }
    return out;
}

std::vector<uint64_t> ExpectedInts(const ifd::Field &f)
{
    std::vector<uint64_t> out;
    for (const uint64_t v : f.values)
        out.push_back(
            IsSigned(f.type) ? static_cast<uint64_t>(ifd::Signed(v, ifd::TypeSize(f.type))) : v);
    return out;
}

bool SameReal(const Got &got, size_t i, double expect)
{
    if (got.size == 4)
        return static_cast<float>(got.reals[i]) == static_cast<float>(expect);
    return got.reals[i] == expect;
}

// The values given are the field's; says the first difference unless
// `quiet`.
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
    const std::vector<double> reals = ExpectedReals(f);
    const std::vector<uint64_t> ints = ExpectedInts(f);
    const size_t n = reals.size();
    const size_t m = got.real ? got.reals.size() : got.ints.size();
    if (!(got.scalar && m == 1) && m != n) {
        if (!quiet)
            probe::SayWrongCount(type, f.tag, name, m, n, place);
        return false;
    }
    for (size_t i = 0; i < n; i++) {
        const size_t g = got.scalar ? 0 : i;
        if (real || got.real) {
            const double value =
                got.real ? got.reals[g] : static_cast<double>(static_cast<int64_t>(got.ints[g]));
            const bool same = got.real ? SameReal(got, g, reals[i]) : value == reals[i];
            if (!same) {
                if (!quiet)
                    probe::SayWrongNumber(type, f.tag, name, i, value, reals[i], place);
                return false;
            }
        } else if (got.ints[g] != ints[i]) {
            if (!quiet)
                probe::SayWrongValue(type, f.tag, name, i, got.ints[g], ints[i], place);
            return false;
        }
    }
    return true;
}

std::string Prefix(const char *place)
{
    return place ? std::string(place) + ": " : std::string();
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
                probe::Say<probe::Line::AtLeast>(name, Prefix(place).c_str(), w.field.tag,
                                                 got.ints.empty() ? 0 : got.ints[0],
                                                 w.field.values[0]);
                ok = false;
            }
            break;
        case Rule::Absent:
            if (present) {
                probe::Say<probe::Line::NoValue>(name, Prefix(place).c_str(), w.field.tag);
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

bool CheckChunks(TIFF *tif, const Directory &d, const char *name, const char *place)
{
    const char *unit = d.tiled ? "tile" : "strip";
    if ((TIFFIsTiled(tif) != 0) != d.tiled) {
        probe::Say<probe::Line::Organization>(name, Prefix(place).c_str(),
                                              TIFFIsTiled(tif) ? "tiled" : "in strips",
                                              d.tiled ? "tiled" : "in strips");
        return false;
    }
    const uint32_t count = d.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    bool ok = true;
    if (count != d.chunks.size()) {
        probe::Say<probe::Line::ChunkCount>(name, Prefix(place).c_str(), count, unit,
                                            d.chunks.size());
        ok = false;
    }
    for (uint32_t k = 0; k < count && k < d.chunks.size(); k++) {
        const Chunk &c = d.chunks[k];
        std::vector<uint8_t> buf(c.bytes.size() + 16);
        const auto cap = static_cast<tmsize_t>(buf.size());
        const tmsize_t n = d.tiled ? TIFFReadEncodedTile(tif, k, buf.data(), cap)
                                   : TIFFReadEncodedStrip(tif, k, buf.data(), cap);
        if (c.refuse) {
            if (n >= 0) {
                probe::Say<probe::Line::ReadBut>(name, Prefix(place).c_str(), unit, k,
                                                 static_cast<long>(n), c.refuse);
                ok = false;
            }
            continue;
        }
        if (n < 0) {
            if (!c.may_fail) {
                probe::SayCantRead(unit, k, name, place);
                ok = false;
            }
            continue;
        }
        if (static_cast<size_t>(n) != c.bytes.size()) {
            probe::Say<probe::Line::ReadAs>(name, Prefix(place).c_str(), unit, k,
                                            static_cast<long>(n), c.bytes.size());
            ok = false;
            continue;
        }
        for (size_t i = 0; i < c.bytes.size(); i++) {
            if (buf[i] != c.bytes[i]) {
                probe::SayWrongImageByte(unit, k, name, place, i, buf[i], c.bytes[i]);
                ok = false;
                break;
            }
        }
    }
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
    for (unsigned k = 0; k < b.chain; k++) {
        if (!TIFFSetDirectory(tif, static_cast<tdir_t>(k))) {
            probe::SayCantDirectory("read", name, probe::Page(k).c_str());
            return false;
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
    return true;
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

// The expectations of the well-formed cases as text, for a second reader
// (tests/read_files.py), when TIFF_PROBES_READ_TABLE names a file: "F NAME",
// then per directory "D PLACE", its fields "T TAG TYPE RULE ELEMENTS..." (the
// elements as ifd::Field holds them) and, for strips, "I HEX" (the image as
// read, in the host's order, which a first line "H big" or "H little"
// names).
FILE *table = nullptr;

void ExportDirectory(const Directory &d, const std::string &place)
{
    const char rules[] = "EANOL"; // Exact, ExactOrAbsent, Absent, OneOf, AtLeast
    fprintf(table, "D %s\n", place.c_str());
    for (const Want &w : d.wants) {
        fprintf(table, "T %u %u %c", w.field.tag, w.field.type, rules[static_cast<int>(w.rule)]);
        for (const uint64_t v : w.field.values)
            fprintf(table, " %" PRIu64, v);
        fputc('\n', table);
    }
    if (!d.tiled && !d.chunks.empty()) {
        fputs("I ", table);
        for (const Chunk &c : d.chunks) {
            for (const uint8_t byte : c.bytes)
                fprintf(table, "%02x", byte);
        }
        fputc('\n', table);
    }
    for (size_t i = 0; i < d.subifds.size(); i++)
        ExportDirectory(d.subifds[i], place + "/SubIFD_" + std::to_string(i));
    for (const Directory &e : d.exif_dirs)
        ExportDirectory(e, place + "/EXIF");
    for (const Directory &g : d.gps_dirs)
        ExportDirectory(g, place + "/GPS");
}

// Whether a page of the case is compressed with a codec the library lacks
// (a build without it): the case is not run (probe::CodecOrNone).
bool NeedsMissingCodec(const read_cases::Built &b)
{
    for (const Directory &d : b.pages) {
        for (const Want &w : d.wants) {
            if (w.field.tag == TIFFTAG_COMPRESSION && w.field.values.size() == 1 &&
                w.field.values[0] != COMPRESSION_NONE &&
                probe::CodecOrNone(static_cast<uint16_t>(w.field.values[0])) == COMPRESSION_NONE)
                return true;
        }
    }
    return false;
}

void Export(const read_cases::Built &b, const char *name)
{
    fprintf(table, "F %s\n", name);
    for (size_t k = 0; k < b.pages.size(); k++)
        ExportDirectory(b.pages[k], std::to_string(k));
}

bool CheckCase(const read_cases::Case &c, const probe::Layout &layout)
{
    const char *name = layout.filename;
    read_cases::Built b(layout.big_endian, layout.bigtiff);
    c.build(&b, c.tag, c.type);
    if (NeedsMissingCodec(b))
        return true; // said once, as a skip
    const ifd::Error err = ifd::SaveFile(name, b.w.Bytes());
    if (err) {
        probe::Say<probe::Line::CantSave>(name, err.what.c_str());
        return false;
    }
    if (table && c.kind != read_cases::Kind::Malformed)
        Export(b, name);
    register_private = c.register_tags;
    ResetPeak();
    const long before = PeakKib();
    bool ok;
    if (c.messages) {
        const probe::ExpectedMessages allowed;
        ok = CheckFile(b, name);
    } else {
        const unsigned long since = LibraryMessages();
        ok = CheckFile(b, name);
        ok = probe::LibraryQuiet(name, since) && ok;
    }
    const long after = PeakKib();
    register_private = false;
    if (before >= 0 && after >= 0 && after - before > max_growth_kib) {
        probe::Say<probe::Line::PeakResident>(name, after - before, max_growth_kib);
        ok = false;
    }
    return ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    InstallExtender();
    const char *table_name = getenv("TIFF_PROBES_READ_TABLE");
    if (table_name && *table_name)
        table = fopen(table_name, "w");
    // The images are exported as this host holds them; the reader may run
    // on a host of the other byte order (a cross build under emulation).
    if (table)
        fprintf(table, "H %s\n", probe::HostBigEndian() ? "big" : "little");
    int failure = 0;
    // Every case runs in every layout its encoding exists in, whatever the
    // earlier ones returned.
    for (size_t i = 0; i < read_cases::case_count; i++) {
        const read_cases::Case &c = read_cases::cases[i];
        std::vector<std::string> names;
        std::vector<probe::Layout> layouts;
        for (const read_cases::Format &f : read_cases::formats) {
            if (read_cases::RunsIn(c, f))
                names.push_back(std::string("read_") + c.name + f.suffix);
        }
        size_t k = 0;
        for (const read_cases::Format &f : read_cases::formats) {
            if (read_cases::RunsIn(c, f))
                layouts.push_back({names[k++].c_str(), f.big_endian, f.bigtiff});
        }
        failure |= probe::RunLayouts(layouts.data(), layouts.size(),
                                     [&c](const probe::Layout &l) { return CheckCase(c, l); });
    }
    if (table)
        fclose(table);
    // The read matrix, after the catalogue: its lines come last.
    if (!matrix::Run())
        failure = 1;
    if (failure == 0)
        probe::SayCodecSkips();
    return failure;
}
