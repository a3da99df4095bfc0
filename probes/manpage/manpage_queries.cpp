// The TIFFquery(3tiff) promises about the open file.
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <tiffio.h>

#include "manpage_probe.h"

namespace manpage {

// --- TIFFquery(3tiff) ---

namespace {

// A flag TIFFquery(3tiff) gives of a written file: non-zero exactly when
// `expect`; otherwise "CALL gave N, expected non-zero" (or 0).
bool FlagIs(const Layout &layout, const Promise &p, int (*query)(TIFF *), const char *call,
            bool expect)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const int got = query(tif);
    if ((got != 0) != expect)
        return Broken(layout, p, "%s gave %d, expected %s", call, got, expect ? "non-zero" : "0");
    return true;
}

} // namespace

bool ByteOrder(const Layout &layout, const Promise &p)
{
    return FlagIs(layout, p, TIFFIsBigEndian, "TIFFIsBigEndian", layout.big_endian);
}

bool ByteSwapped(const Layout &layout, const Promise &p)
{
    return FlagIs(layout, p, TIFFIsByteSwapped, "TIFFIsByteSwapped",
                  layout.big_endian != probe::HostBigEndian());
}

bool BigTiff(const Layout &layout, const Promise &p)
{
    return FlagIs(layout, p, TIFFIsBigTIFF, "TIFFIsBigTIFF", layout.bigtiff);
}

bool Tiled(const Layout &layout, const Promise &p)
{
    int stripped = 0;
    int tiled = 0;
    {
        if (!MakeFile(layout))
            return false;
        probe::Tiff tif = probe::Reopen(layout, Access::Read);
        if (!tif)
            return false;
        stripped = TIFFIsTiled(tif);
    }
    {
        if (!MakeTiledFile(layout))
            return false;
        probe::Tiff tif = probe::Reopen(layout, Access::Read);
        if (!tif)
            return false;
        tiled = TIFFIsTiled(tif);
    }
    if (stripped != 0 || tiled == 0)
        return Broken(layout, p,
                      "TIFFIsTiled gave %d for strips and %d for tiles, expected 0 and non-zero",
                      stripped, tiled);
    return true;
}

bool FileName(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const char *got = TIFFFileName(tif);
    if (!got || strcmp(got, layout.filename) != 0)
        return Broken(layout, p, "TIFFFileName gave \"%s\", expected \"%s\"", got ? got : "(null)",
                      layout.filename);
    return true;
}

bool OpenMode(const Layout &layout, const Promise &p)
{
    constexpr struct {
        Access access;
        const char *mode;
        int open_flags;
    } opens[] = {
        {Access::Create, "w", O_RDWR | O_CREAT | O_TRUNC},
        {Access::Read, "r", O_RDONLY},
        {Access::Update, "r+", O_RDWR},
    };
    bool ok = true;
    for (const auto &o : opens) {
        if (o.access != Access::Create && !MakeFile(layout))
            return false;
        probe::Tiff tif =
            o.access == Access::Create ? probe::Create(layout) : probe::Reopen(layout, o.access);
        if (!tif)
            return false;
        const int got = TIFFGetMode(tif);
        if (got != o.open_flags)
            ok = Broken(layout, p, "mode \"%s\" gave 0%o, expected 0%o", o.mode, got, o.open_flags);
        if (o.access == Access::Create && !SetStripPage(tif, layout.filename))
            return false;
    }
    return ok;
}

bool GetVersion(const Layout &layout, const Promise &p)
{
    const char *version = TIFFGetVersion();
    if (!version || !*version)
        return Broken(layout, p, "TIFFGetVersion gave no text, expected a version");
    for (const char *c = version; *c; c++) {
        if (static_cast<unsigned char>(*c) > 0x7F)
            return Broken(layout, p, "TIFFGetVersion gave byte 0x%x at %td, expected ASCII",
                          static_cast<unsigned char>(*c), c - version);
    }
    return true;
}

} // namespace manpage
