// Proves that every field the standards define and the library knows
// survives write, close, reopen and read, in both byte orders and both
// formats: the standard fields on pages whose image each needs, the EXIF,
// GPS and Interoperability fields in their own directories. What must come back and what must
// stand on disk comes from field_table.cpp; the library's own description of
// a field only says how to pass its values, so a wrong description fails.
// Around the fields: TIFFGetFieldDefaulted against TIFF 6.0's defaults,
// TIFFUnsetField, a field set twice, TIFFVSetField and TIFFVGetField, the
// field-query calls and the tag list after a tag extender.
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "field_probe.h"

namespace fields {
namespace {

constexpr Layout layouts[] = {
    {"fields_le.tif", false, false},
    {"fields_be.tif", true, false},
    {"fields_le.btf", false, true},
    {"fields_be.btf", true, true},
};

// ---------------------------------------------------------------------------
// The bytes on disk, read by our own reader.

std::string AllowedNames(uint32_t types)
{
    std::string names;
    for (unsigned t = 1; t < 32; t++) {
        if (types & field::TypeBit(t)) {
            if (!names.empty())
                names += " or ";
            names += ifd::TypeName(static_cast<uint16_t>(t));
        }
    }
    return names;
}

bool CheckEntry(const Run &run, const ifd::Directory &dir, size_t row, const Shape &s)
{
    const Definition &f = field::fields[row];
    const Values &v = rows[row].values;
    if (!rows[row].present || run.WasRefused(f))
        return true;
    const ifd::Entry *e = ifd::FindEntry(dir, f.tag);
    if (!e) {
        probe::SayMissingOnDisk(f.tag, run.name);
        return false;
    }
    const uint64_t count = DiskCount(f, s, v);
    const uint32_t types = run.layout.bigtiff ? f.types : f.types & ~field::ALLOW_BIGTIFF_ONLY;
    const bool fraction = e->type == ifd::RATIONAL || e->type == ifd::SRATIONAL;
    if (!(types & field::TypeBit(e->type)) || e->count != count ||
        e->values.size() != (fraction ? 2 : 1) * count) {
        probe::SayWrongEntry(*e, run.name, AllowedNames(types).c_str(),
                             static_cast<unsigned long>(count));
        return false;
    }
    // The first wrong byte or value named, the rest counted: a known defect
    // in one value hides no other.
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t i = 0; i < count; i++) {
        if (v.text) {
            // Past the text, nothing was set: a NUL is what stands there.
            const uint8_t expect = i < v.text_size ? static_cast<uint8_t>(v.text[i]) : 0;
            if (i < v.text_size && e->values[i] == expect)
                continue;
            if (wrong++ == 0)
                probe::SayWrongByteOnDisk(f.tag, run.name, static_cast<unsigned long>(i),
                                          static_cast<unsigned>(e->values[i]), expect);
            last = i;
            continue;
        }
        // One value set for every sample stands once per sample.
        const double expect = v.numbers[v.numbers.size() == count ? i : 0];
        if (probe::Number(*e, i) == expect)
            continue;
        if (wrong++ == 0)
            probe::SayWrongNumberOnDisk(f.tag, run.name, static_cast<unsigned long>(i),
                                        probe::Number(*e, i), expect);
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreOnDisk(f.tag, run.name, v.text ? "byte" : "value", wrong - 1,
                             static_cast<unsigned long>(last));
    return wrong == 0;
}

bool CheckDirectory(Run &run, const ifd::Directory &dir, Home home)
{
    const Shape &shape = ShapeOf(home);
    if (!probe::TagsAscending(dir, run.name) || !probe::WordAligned(dir, run.name))
        return false;
    bool ok = true;
    for (size_t i = 0; i < field::field_count; i++) {
        if (field::fields[i].home == home)
            ok = CheckEntry(run, dir, i, shape) && ok;
    }
    if (home == unset_home) {
        for (const Unset &u : unsets) {
            if (ifd::FindEntry(dir, u.tag))
                ok = run.SayLingering(u.tag) && ok;
        }
    }
    return ok;
}

bool CheckDisk(Run &run)
{
    probe::OnDisk disk;
    const ifd::File &file = disk.file;
    if (!probe::ReadFormat(run.layout, &disk) || !probe::PagesOnDisk(file, page_count, run.name))
        return false;
    bool ok = true;
    for (size_t p = 0; p < page_count; p++) {
        const Shape &s = shapes[p];
        ok = CheckDirectory(run, file.chain[p], s.home) && ok;
        if (!probe::ChunksInside(file.chain[p], disk.bytes.size(),
                                 s.tile ? ifd::tag::TileOffsets : ifd::tag::StripOffsets,
                                 s.tile ? ifd::tag::TileByteCounts : ifd::tag::StripByteCounts,
                                 ChunksOf(s), s.tile ? "tile" : "strip", run.name))
            ok = false;
    }
    for (const Home home : {Home::Exif, Home::Gps, Home::Interop}) {
        const ifd::Directory *dir = file.Find(run.links[CustomIndex(home)]);
        if (!dir) {
            probe::Say<probe::Line::NoIfdAt>(run.name, CustomName(home),
                                             run.links[CustomIndex(home)]);
            ok = false;
            continue;
        }
        ok = CheckDirectory(run, *dir, home) && ok;
    }
    return ok;
}

bool FieldTest(const Layout &layout, bool query)
{
    const unsigned long messages = LibraryMessages();
    Run run{layout, layout.filename, false, false, 0, {0, 0, 0}, {}, {}};

    run.query = query;
    SetByteOrder(run);
    if (!WriteFile(run) || !ReadBack(run))
        return false;
    const bool disk_ok = CheckDisk(run);
    // The file stays behind for inspection on any failure.
    return probe::LibraryQuiet(layout.filename, messages + run.explained) && disk_ok && !run.failed;
}

} // namespace
} // namespace fields

int main()
{
    bool first = true;

    CountLibraryMessages();
    for (size_t p = 0; p < fields::page_count; p++) {
        fields::wanted_compression[p] = fields::shapes[p].compression;
        if (fields::shapes[p].compression != 0)
            fields::shapes[p].compression = probe::CodecOrNone(fields::shapes[p].compression);
    }
    fields::MakeRows();
    fields::previous_extender = TIFFSetTagExtender(fields::RegisterPrivateFields);
    // The library's field lists are the same for all layouts, so they are
    // queried once.
    const int status = probe::RunLayouts(fields::layouts, [&first](const probe::Layout &layout) {
        const bool query = first;
        first = false;
        return fields::FieldTest(layout, query);
    });
    if (status == 0)
        probe::SayCodecSkips();
    return status;
}