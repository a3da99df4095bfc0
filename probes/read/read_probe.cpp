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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "fetch.h"
#include "ifd_writer.h"
#include "explore.h"
#include "matrix.h"
#include "peak.h"
#include "read_check.h"
#include "probe_support.h"
#include "read_cases.h"
#include "read_table.h"

namespace {

using read_cases::Directory;
using read_cases::Want;

// --- The tag extender of the cases that register their private tags ------

bool register_private = false;

char private_names[19][16];
TIFFFieldInfo private_infos[16];
unsigned private_info_count = 0;

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
    read_fetch::RegisterWhile(private_infos, private_info_count, &register_private);
}

// The well-formed cases' expectations, for a second reader, when
// TIFF_PROBES_READ_TABLE names a file (read_table.h).
FILE *table = nullptr;

// Whether a page of the case is compressed with a codec the library lacks
// (a build without it): the case is not run (probe::CodecOrNone).
bool NeedsMissingCodec(const read_cases::Built &b)
{
    for (const Directory &d : b.pages) {
        for (const Want &w : d.wants) {
            if (w.field.tag == ifd::tag::Compression && w.field.values.size() == 1 &&
                w.field.values[0] != COMPRESSION_NONE &&
                probe::CodecOrNone(static_cast<uint16_t>(w.field.values[0])) == COMPRESSION_NONE)
                return true;
        }
    }
    return false;
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
        read_table::Export(table, name, b.pages);
    register_private = c.register_tags;
    read_peak::ResetPeak();
    const long before = read_peak::PeakKib();
    bool ok;
    if (c.messages) {
        const probe::ExpectedMessages allowed;
        ok = CheckFile(b, name);
    } else {
        const unsigned long since = LibraryMessages();
        ok = CheckFile(b, name);
        ok = probe::LibraryQuiet(name, since) && ok;
    }
    const long after = read_peak::PeakKib();
    register_private = false;
    if (before >= 0 && after >= 0 && after - before > read_peak::max_growth_kib) {
        probe::Say<probe::Line::PeakResident>(name, after - before, read_peak::max_growth_kib);
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    explore::Options options;
    explore::BadArgument bad;
    if (!explore::Parse(std::vector<std::string>(argv + 1, argv + argc), &options, &bad)) {
        probe::Say<probe::Line::ExploreUsage>(bad.arg.c_str(), bad.why);
        return 2;
    }
    CountLibraryMessages();
    if (options.explore) {
        if (!options.seeded)
            options.seed = explore::TimeSeed();
        return explore::Run(options.seconds, options.seed) ? 0 : 1;
    }
    InstallExtender();
    const char *table_name = getenv("TIFF_PROBES_READ_TABLE");
    if (table_name && *table_name)
        table = fopen(table_name, "w");
    if (table)
        read_table::Begin(table);
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
