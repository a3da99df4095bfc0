// Proves that TIFFPrintDirectory prints what a directory holds: on pages
// with many standard fields (rationals, arrays, several strings in one
// field), a palette, transfer curves, JPEG tables, and the EXIF and GPS
// directories, in both byte orders and both formats, with and without each
// TIFFPRINT_* flag. The printed text is parsed, never compared with a
// recorded one: each field the directory holds must be printed once, under
// its standard's name, with the values written; nothing else may be. The
// spacing and the order are the library's to choose.
#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "print_probe.h"
#include "probe_support.h"

namespace print_probe {

uint16_t fields_codec = COMPRESSION_LZW;
uint16_t palette_codec = COMPRESSION_PACKBITS;

bool JpegConfigured()
{
    return TIFFIsCODECConfigured(COMPRESSION_JPEG) != 0;
}

} // namespace print_probe

namespace {

using namespace print_probe;

constexpr probe::Layout layouts[] = {
    {"prints_le.tif", false, false},
    {"prints_be.tif", true, false},
    {"prints_le.btf", false, true},
    {"prints_be.btf", true, true},
};

bool CheckPrints(const probe::Layout &layout)
{
    const char *name = layout.filename;
    probe::OnDisk disk;
    const size_t pages = JpegConfigured() ? 4 : 3;
    if (!probe::ReadFormat(layout, &disk) || !probe::PagesOnDisk(disk.file, pages, name))
        return false;
    const std::vector<ifd::Directory> &chain = disk.file.chain;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    if (!tif)
        return false;
    bool ok = true;
    for (unsigned k = 0; k < pages; k++) {
        if (!TIFFSetDirectory(tif, static_cast<tdir_t>(k))) {
            probe::SayCantDirectory("read", name, probe::Page(k).c_str());
            return false;
        }
        const std::vector<Field> fields = k == fields_page    ? FieldsPage(chain[k])
                                          : k == palette_page ? PalettePage()
                                          : k == curves_page  ? CurvesPage()
                                                              : JpegPage(chain[k]);
        ok = CheckDirectory(tif, fields, chain[k].offset, &chain[k], name, probe::Page(k)) && ok;
    }
    // The EXIF and GPS directories, through the offsets page 0 holds.
    struct Linked {
        uint32_t tag;
        const char *place;
        int (*read)(TIFF *, toff_t);
        std::vector<Field> (*fields)();
    };
    const Linked linked[] = {
        {TIFFTAG_EXIFIFD, "EXIF IFD", TIFFReadEXIFDirectory, ExifIfd},
        {TIFFTAG_GPSIFD, "GPS IFD", TIFFReadGPSDirectory, GpsIfd},
    };
    for (const Linked &l : linked) {
        const ifd::Entry *e = ifd::FindEntry(chain[fields_page], l.tag);
        if (!e || e->values.empty()) {
            probe::SayMissingOnDisk(l.tag, name, probe::Page(fields_page).c_str());
            return false;
        }
        if (!l.read(tif, e->values[0])) {
            probe::SayCantDirectory("read", name, l.place);
            return false;
        }
        ok = CheckDirectory(tif, l.fields(), e->values[0], nullptr, name, l.place) && ok;
    }
    return ok;
}

bool PrintTest(const probe::Layout &layout)
{
    const unsigned long messages = LibraryMessages();
    if (!WriteFile(layout))
        return false;
    const bool ok = CheckPrints(layout);
    return probe::LibraryQuiet(layout.filename, messages) && ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    fields_codec = probe::CodecOrNone(fields_codec);
    palette_codec = probe::CodecOrNone(palette_codec);
    int status = probe::RunLayouts(layouts, PrintTest);
    if (!CheckCases())
        status = 1;
    // Only a run that passed says it, so that a failed run's lines are all
    // failures.
    if (status == 0) {
        probe::SayCodecSkips();
        if (!JpegConfigured())
            probe::Say<probe::Line::Skipped>("JPEG");
    }
    return status;
}
