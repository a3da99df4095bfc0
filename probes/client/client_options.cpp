// client_probe's open options (libtiff 4.5): the per-handle error and
// warning handlers and a single allocation's limit.
#include <cstdarg>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "client_probe.h"
#include "client_values.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace client_probe {

bool no_open_options = false;

namespace {

#if TIFF_PROBES_HAVE_OPEN_OPTIONS

using probe::Line;

// Says the broken promise of row `Id` ("NAME: CALL: WHAT."); false.
template <Line Id, typename... Args>
bool Broken(Args... args)
{
    probe::Say<Id>(args...);
    return false;
}

// A message of the program's own through a handle's handler.
struct Injected {
    bool error; // TIFFErrorExtR, else TIFFWarningExtR
    int stop;   // what the handler returns
    // The library-wide handlers' calls that TIFFError(3tiff) gives for it:
    // none when the handler returns non-zero, one otherwise.
    unsigned library_wide;
};

constexpr Injected injected[] = {
    {true, 1, 0},
    {false, 1, 0},
    {true, 0, 1},
    {false, 0, 1},
};

// The handlers given through the open options: each message of the handle
// reaches its handler once, with the handle and the user data given; the
// library-wide handlers as the handler's result says; a message of another
// handle never reaches it.
bool HandlerTest(const char *name, const MemFile &image)
{
    bool ok = true;
    MemFile m = Copy(image);
    Listener l;
    TIFF *tif = OpenMem(&m, name, "rm", &l);
    if (!tif) {
        SayCantOpen(name);
        return false;
    }
    l.error.handle = tif;
    l.warning.handle = tif;
    unsigned number = 0;
    for (const Injected &row : injected) {
        Channel &c = row.error ? l.error : l.warning;
        const char *call = row.error ? "TIFFOpenOptionsSetErrorHandlerExtR"
                                     : "TIFFOpenOptionsSetWarningHandlerExtR";
        const unsigned before = c.calls;
        c.stop = row.stop;
        char expect[64];
        snprintf(expect, sizeof(expect), "client_probe: injected message %u", ++number);
        const probe::ExpectedMessages wide;
        if (row.error)
            TIFFErrorExtR(tif, "client_probe", "injected message %u", number);
        else
            TIFFWarningExtR(tif, "client_probe", "injected message %u", number);
        if (c.calls - before != 1)
            ok = Broken<Line::HandlerCalls>(name, call, c.calls - before);
        else if (c.last != expect)
            ok = Broken<Line::HandlerGiven>(name, call, c.last.c_str(), expect);
        if (wide.Count() != row.library_wide)
            ok = Broken<Line::HandlerLibraryWide>(name, call, wide.Count(), row.library_wide,
                                                  row.stop);
    }
    // A message the library makes itself: the handler takes it, and with 0
    // returned, the library-wide handler gets it once too.
    {
        l.error.stop = 0;
        const unsigned before = l.error.calls;
        const probe::ExpectedMessages wide;
        TIFFSetField(tif, client::unknown_tag, 1);
        // The handler counts behind the analyzer's back.
        // cppcheck-suppress duplicateExpression
        const unsigned own = l.error.calls - before;
        // cppcheck-suppress knownConditionTrueFalse
        if (own == 0)
            ok = Broken<Line::HandlerNotCalled>(name);
        else if (wide.Count() != own)
            ok = Broken<Line::HandlerReached>(name, own, wide.Count());
    }
    for (const Channel *c : {&l.error, &l.warning}) {
        const char *call = c->error ? "TIFFOpenOptionsSetErrorHandlerExtR"
                                    : "TIFFOpenOptionsSetWarningHandlerExtR";
        if (c->wrong_handle)
            ok = Broken<Line::HandlerOtherHandle>(name, call, c->wrong_handle);
        if (c->wrong_kind)
            ok = Broken<Line::HandlerOtherData>(name, call, c->wrong_kind);
    }
    if (lost_user_data)
        ok = Broken<Line::HandlerNoUserData>(name, lost_user_data);
    // Another handle, opened without the options: its messages are not this
    // handler's.
    MemFile other = Copy(image);
    TIFF *plain = OpenMem(&other, name, "rm", nullptr);
    if (!plain) {
        SayCantOpen(name);
        ok = false;
    } else {
        const unsigned before = l.Messages();
        {
            const probe::ExpectedMessages wide;
            TIFFErrorExtR(plain, "client_probe", "a message of another handle");
        }
        // cppcheck-suppress knownConditionTrueFalse
        if (l.Messages() != before)
            ok = Broken<Line::HandlerForeign>(name);
        TIFFClose(plain);
    }
    TIFFClose(tif);
    return ok;
}

// A page of limit_strips one-row strips, in memory.
bool LimitPage(MemFile *m, const char *name)
{
    TIFF *tif = OpenMem(m, name, "wl", nullptr);
    if (!tif) {
        SayCantCreate(name);
        return false;
    }
    const std::vector<uint8_t> row(client::limit_width, 0x5A);
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, client::limit_width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, client::limit_strips) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    for (uint32_t s = 0; ok && s < client::limit_strips; s++) {
        std::vector<uint8_t> buf = row;
        ok = TIFFWriteEncodedStrip(tif, s, buf.data(), static_cast<tmsize_t>(buf.size())) ==
             static_cast<tmsize_t>(buf.size());
    }
    if (!ok)
        probe::SayCantWrite(name);
    TIFFClose(tif);
    return ok;
}

// Whether the page of limit_strips strips reads whole under `limit`, and the
// error messages its handler got.
bool ReadsUnder(const MemFile &image, long limit, const char *name, unsigned *errors)
{
    MemFile m = Copy(image);
    Listener l;
    TIFF *tif = OpenMem(&m, name, "rm", &l, limit);
    bool whole = tif != nullptr;
    if (tif) {
        const uint64_t *offsets = nullptr;
        uint8_t buf[client::limit_width + 1];
        whole = TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) && offsets &&
                TIFFNumberOfStrips(tif) == client::limit_strips &&
                TIFFReadEncodedStrip(tif, client::limit_strips - 1, buf, sizeof(buf)) ==
                    static_cast<tmsize_t>(client::limit_width);
        TIFFClose(tif);
    }
    *errors = l.error.calls;
    return whole;
}

// TIFFOpenOptionsSetMaxSingleMemAlloc: a directory whose strip arrays exceed
// the limit is refused with a message; under an ample limit it reads.
bool LimitTest(const char *name)
{
    MemFile image;
    if (!LimitPage(&image, name))
        return false;
    bool ok = true;
    unsigned errors = 0;
    {
        const probe::ExpectedMessages quiet;
        if (ReadsUnder(image, client::refused_limit, name, &errors))
            ok = Broken<Line::LimitRead>(name, client::limit_strips, client::refused_limit);
        else if (errors == 0)
            ok = Broken<Line::LimitSilent>(name, client::limit_strips);
    }
    const unsigned long messages = LibraryMessages();
    if (!ReadsUnder(image, client::ample_limit, name, &errors) || errors)
        ok = Broken<Line::LimitRefused>(name, client::limit_strips, client::ample_limit);
    return probe::LibraryQuiet(name, messages) && ok;
}

#endif

} // namespace

bool OptionsTest(const Layout &layout)
{
#if TIFF_PROBES_HAVE_OPEN_OPTIONS
    const char *name = layout.filename;
    MemFile image;
    Reading w;
    if (!Writer(&image, name, probe::Mode(layout, probe::Access::Create), name, nullptr, &w)) {
        Keep(name, image);
        return false;
    }
    bool ok = HandlerTest(name, image);
    ok = LimitTest(name) && ok;
    if (!ok)
        Keep(name, image);
    return ok;
#else
    (void)layout;
    no_open_options = true;
    return true;
#endif
}

} // namespace client_probe
