#include "read_table.h"

#include <cinttypes>

#include "probe_support.h"

namespace read_table {

namespace {

void ExportDirectory(FILE *table, const read_cases::Directory &d, const std::string &place)
{
    const char rules[] = "EANOL"; // Exact, ExactOrAbsent, Absent, OneOf, AtLeast
    fprintf(table, "D %s\n", place.c_str());
    for (const read_cases::Want &w : d.wants) {
        fprintf(table, "T %u %u %c", w.field.tag, w.field.type, rules[static_cast<int>(w.rule)]);
        for (const uint64_t v : w.field.values)
            fprintf(table, " %" PRIu64, v);
        fputc('\n', table);
    }
    if (!d.tiled && !d.chunks.empty()) {
        fputs("I ", table);
        for (const read_cases::Chunk &c : d.chunks) {
            for (const uint8_t byte : c.bytes)
                fprintf(table, "%02x", byte);
        }
        fputc('\n', table);
    }
    for (size_t i = 0; i < d.subifds.size(); i++)
        ExportDirectory(table, d.subifds[i], place + "/SubIFD_" + std::to_string(i));
    for (const read_cases::Directory &e : d.exif_dirs)
        ExportDirectory(table, e, place + "/EXIF");
    for (const read_cases::Directory &g : d.gps_dirs)
        ExportDirectory(table, g, place + "/GPS");
}

} // namespace

void Begin(FILE *table)
{
    fprintf(table, "H %s\n", probe::HostBigEndian() ? "big" : "little");
}

void Export(FILE *table, const std::string &name, const std::vector<read_cases::Directory> &pages)
{
    fprintf(table, "F %s\n", name.c_str());
    for (size_t k = 0; k < pages.size(); k++)
        ExportDirectory(table, pages[k], std::to_string(k));
}

} // namespace read_table
