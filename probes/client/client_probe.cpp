// The library's I/O through procedures of the probe's own: TIFFClientOpen
// over a file in memory (read, write, seek, close, size, map and unmap),
// TIFFFdOpen on a descriptor, the open options of libtiff 4.5 (a single
// allocation's limit, the per-handle error and warning handlers), and the
// failure paths: the procedures fail on the Nth call, each N in turn, in each
// step of a writer, an updater and a reader, and the library must say so.
//
// The rule for a failure: when one of its procedures fails during a library
// call, the call either fails (returns its failure value) with a message
// through the handle's error handler, or makes good the failure (its result
// reads back whole). TIFFClose(3tiff) returns void, so a failed close can
// only show through the handler. Whatever the call returns, the file never
// claims bytes that no write stored, and the library never reads a page of
// it back wrong without a message.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include "client_probe.h"
#include "client_values.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace {

using namespace client_probe;

constexpr Layout memory_layouts[] = {
    {"client_le.tif", false, false},
    {"client_be.tif", true, false},
    {"client_le.btf", false, true},
    {"client_be.btf", true, true},
};
constexpr Layout fd_layouts[] = {
    {"client_fd.tif", false, false},
    {"client_fd.btf", true, true},
};
constexpr Layout options_layout = {"client_options.tif", false, false};

// "NAME: the PROC procedure: called N times by a handle opened "MODE",
// expected M."
bool SameCalls(const char *name, const char *proc, const char *mode, unsigned got, unsigned expect)
{
    if (got == expect)
        return true;
    probe::Say<probe::Line::ProcedureCalls>(name, proc, got, mode, expect);
    return false;
}

// Both pages written through the probe's procedures, their bytes read by
// our own reader, read back mapped ("r") and through the read procedure
// ("rm", TIFFOpen(3tiff): "m" disables memory-mapped files); then the sweep.
bool MemoryTest(const Layout &layout)
{
    const char *name = layout.filename;
    const unsigned long messages = LibraryMessages();
    MemFile m;
    Reading w;
    // Messages go on to the library-wide handlers, which count them.
    Listener l;
    l.Stop(0);
    const char *mode = probe::Mode(layout, probe::Access::Create);
    bool ok = Writer(&m, name, mode, name, &l, &w);
    if (ok) {
        ok = SameCalls(name, "close", mode, m.closes, 1) && ok;
        ifd::File file;
        // A file that is wrong on disk would only repeat itself when read.
        ok = FormatOnDisk(layout, m.bytes, &file) && PagesOnDisk(name, m.bytes, file) && ok;
        struct Read {
            const char *mode;
            unsigned maps;
        };
        for (const Read &r : {Read{"r", 1}, Read{"rm", 0}}) {
            if (!ok)
                break;
            MemFile in = Copy(m);
            Reading got;
            Listener lr;
            lr.Stop(0);
            ReadPages(&in, name, r.mode, pages[0].description, nullptr, name, &lr, &got);
            ok = ok && !got.failed[Index(Step::OpenRead)] && got.Whole();
            ok = SameCalls(name, "map", r.mode, in.maps, r.maps) && ok;
            ok = SameCalls(name, "unmap", r.mode, in.unmaps, r.maps) && ok;
            ok = SameCalls(name, "close", r.mode, in.closes, 1) && ok;
            if (in.unmap_other) {
                probe::Say<probe::Line::UnmapRegion>(name);
                ok = false;
            }
        }
        ok = probe::LibraryQuiet(name, messages) && ok;
    }
    if (ok)
        ok = Sweep(layout);
    if (!ok)
        Keep(name, m);
    return ok;
}

// TIFFOpen(3tiff): "In order to close a TIFF file opened with TIFFFdOpen()
// first TIFFCleanup() should be called ... and afterwards the file should be
// closed using its file descriptor". So each page is written with
// TIFFWriteDirectory, and the descriptor must still be open after the
// cleanup.
bool CleanUp(TIFF *tif, int fd, const char *name)
{
    TIFFCleanup(tif);
    const bool open = fcntl(fd, F_GETFD) != -1;
    close(fd);
    if (!open)
        probe::Say<probe::Line::CleanupClosed>(name);
    return open;
}

bool FdTest(const Layout &layout)
{
    const char *name = layout.filename;
    const unsigned long messages = LibraryMessages();
    int fd = open(name, O_RDWR | O_CREAT | O_TRUNC, 0644);
    TIFF *tif = fd < 0 ? nullptr : TIFFFdOpen(fd, name, probe::Mode(layout, probe::Access::Create));
    if (!tif) {
        if (fd >= 0)
            close(fd);
        SayCantCreate(name);
        return false;
    }
    bool ok = true;
    for (size_t k = 0; k < page_count && ok; k++) {
        ok = SetPage(tif, k, name) && WriteStrips(tif, k, 0, StripCount(pages[k]), name);
        if (ok && !TIFFWriteDirectory(tif)) {
            probe::SayCantDirectory("write", name, probe::Page(k).c_str());
            ok = false;
        }
    }
    ok = CleanUp(tif, fd, name) && ok;
    if (!ok)
        return false;
    probe::OnDisk disk;
    if (!probe::ReadFormat(layout, &disk) || !PagesOnDisk(name, disk.bytes, disk.file))
        return false;
    fd = open(name, O_RDONLY);
    tif = fd < 0 ? nullptr : TIFFFdOpen(fd, name, "r");
    if (!tif) {
        if (fd >= 0)
            close(fd);
        SayCantOpen(name);
        return false;
    }
    Reading got;
    WalkPages(tif, nullptr, pages[0].description, nullptr, name, &got);
    ok = CleanUp(tif, fd, name) && got.Whole();
    return probe::LibraryQuiet(name, messages) && ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    int status = probe::RunLayouts(memory_layouts, MemoryTest);
    status |= probe::RunLayouts(fd_layouts, FdTest);
    status |= probe::RunLayouts(&options_layout, 1, OptionsTest);
    if (status == 0) {
        if (no_open_options)
            probe::Say<probe::Line::SkippedNoOptions>();
    }
    return status;
}
