// The TIFFOpen(3tiff) promises: refusals, modes and the defaults.
#include <cinttypes>
#include <cstdint>
#include <string>

#include <tiffio.h>

#include "manpage_probe.h"

namespace manpage {

// --- TIFFOpen(3tiff) ---

bool OpenFails(const Layout &layout, const Promise &p)
{
    const std::string missing = std::string(layout.filename) + ".missing";
    TIFF *const tif = Expecting([&] { return TIFFOpen(missing.c_str(), "r"); });
    if (tif) {
        TIFFClose(tif);
        return Broken(layout, p, "a missing file opened \"r\" gave a handle, expected none");
    }
    return true;
}

bool OpenOverwrites(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout, pages) || !MakeFile(layout, 1))
        return false;
    tdir_t got = 0;
    const probe::Tiff tif = Reread(layout, &got);
    if (!tif)
        return false;
    if (got != 1)
        return Broken(layout, p, "%u pages after one written over %u, expected 1",
                      static_cast<unsigned>(got), pages);
    return true;
}

bool OpenAppends(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    {
        probe::Tiff tif = probe::Reopen(layout.filename, "a");
        if (!tif || !SetStripPage(tif, layout.filename, page_widths[1]) ||
            !WriteStrips(tif, layout.filename, page_widths[1]))
            return false;
    }
    tdir_t got = 0;
    const probe::Tiff tif = Reread(layout, &got);
    if (!tif)
        return false;
    if (got != 2)
        return Broken(layout, p, "%u pages after one appended to 1, expected 2",
                      static_cast<unsigned>(got));
    if (!StripsHold(tif, layout.filename))
        return false;
    if (!TIFFSetDirectory(tif, 1)) {
        probe::SayCantDirectory("read", layout.filename, "page 1");
        return false;
    }
    return StripsHold(tif, layout.filename, page_widths[1]);
}

bool OpenUpdateAppends(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    {
        const probe::Tiff tif = ReopenDescribed(layout, "set through r+");
        if (!tif)
            return false;
    }
    tdir_t got = 0;
    const probe::Tiff tif = Reread(layout, &got);
    if (!tif)
        return false;
    const char *text = nullptr;
    const bool in_first = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) != 0;
    if (got != 2 || in_first)
        return Broken(layout, p,
                      "%u pages and the field %s page 0, expected 2 pages and not in "
                      "page 0",
                      static_cast<unsigned>(got), in_first ? "in" : "not in");
    return true;
}

// What TIFF 6.0 gives each field the page lists.
bool OpenDefaults(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    constexpr struct {
        ttag_t tag;
        uint32_t value;
        bool wide; // fetched as uint32_t, else uint16_t
    } defaults[] = {
        {TIFFTAG_BITSPERSAMPLE, 1, false},   {TIFFTAG_THRESHHOLDING, THRESHHOLD_BILEVEL, false},
        {TIFFTAG_FILLORDER, 1, false},       {TIFFTAG_ORIENTATION, 1, false},
        {TIFFTAG_SAMPLESPERPIXEL, 1, false}, {TIFFTAG_ROWSPERSTRIP, UINT32_MAX, true},
        {TIFFTAG_RESOLUTIONUNIT, 2, false},  {TIFFTAG_COMPRESSION, 1, false},
    };
    bool ok = true;
    for (const auto &d : defaults) {
        uint16_t narrow = 0xBEEF;
        uint32_t wide = 0xBEEF;
        const int got = d.wide ? TIFFGetFieldDefaulted(tif, d.tag, &wide)
                               : TIFFGetFieldDefaulted(tif, d.tag, &narrow);
        const uint32_t value = d.wide ? wide : narrow;
        if (got != 1 || value != d.value)
            ok = Broken(layout, p, "tag %lu: %d and %" PRIu32 ", expected 1 and %" PRIu32,
                        static_cast<unsigned long>(d.tag), got, value, d.value);
    }
    return SetStripPage(tif, layout.filename) && ok;
}

} // namespace manpage
