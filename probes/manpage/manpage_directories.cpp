// The directory pages: counting, reading, setting, creating, unlinking and
// rewriting directories.
#include <cinttypes>
#include <cstdint>

#include <tiffio.h>

#include "ifd_reader.h"
#include "manpage_probe.h"

namespace manpage {

// --- Directories: TIFFquery(3tiff), TIFFReadDirectory(3tiff), TIFFSetDirectory(3tiff),
// TIFFCreateDirectory(3tiff), TIFFWriteDirectory(3tiff) ---

bool DirectoryCount(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    const tdir_t got = TIFFNumberOfDirectories(tif);
    if (got != pages)
        return Broken(layout, p, "TIFFNumberOfDirectories gave %u, expected %u",
                      static_cast<unsigned>(got), pages);
    return true;
}

bool FirstDirectoryRead(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    const tdir_t current = TIFFCurrentDirectory(tif);
    if (current != 0 || Width(tif) != page_widths[0])
        return Broken(layout, p,
                      "after TIFFOpen: directory %u, width %" PRIu32 ", expected 0 and %" PRIu32,
                      static_cast<unsigned>(current), Width(tif), page_widths[0]);
    return StripsHold(tif, layout.filename, page_widths[0]);
}

bool ReadDirectoryWalk(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    for (unsigned k = 1; k <= pages; k++) {
        const int got = Expecting([&] { return TIFFReadDirectory(tif); });
        const int expect = k < pages ? 1 : 0;
        if (got != expect)
            return Broken(layout, p, "the read after page %u gave %d, expected %d", k - 1, got,
                          expect);
        if (k < pages && (TIFFCurrentDirectory(tif) != k || Width(tif) != page_widths[k]))
            return Broken(layout, p,
                          "the read after page %u: directory %u, width %" PRIu32
                          ", expected %u and %" PRIu32,
                          k - 1, static_cast<unsigned>(TIFFCurrentDirectory(tif)), Width(tif), k,
                          page_widths[k]);
    }
    return true;
}

bool LastDirectory(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    for (unsigned k = 0; k < pages; k++) {
        if (k > 0 && !TIFFReadDirectory(tif)) {
            probe::SayCantDirectory("read", layout.filename, probe::Page(k).c_str());
            return false;
        }
        const int got = TIFFLastDirectory(tif);
        if ((got != 0) != (k + 1 == pages))
            return Broken(layout, p, "page %u of %u gave %d, expected %s", k, pages, got,
                          k + 1 == pages ? "non-zero" : "0");
    }
    return true;
}

bool SetDirectory(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    for (unsigned k : {2U, 0U, 1U}) {
        const int got = TIFFSetDirectory(tif, k);
        const tdir_t current = TIFFCurrentDirectory(tif);
        if (got != 1 || Width(tif) != page_widths[k] || current != k)
            return Broken(layout, p,
                          "directory %u gave %d, then directory %u, width %" PRIu32
                          ", expected 1, %u and %" PRIu32,
                          k, got, static_cast<unsigned>(current), Width(tif), k, page_widths[k]);
    }
    const int past = Expecting([&] { return TIFFSetDirectory(tif, pages); });
    if (past != 0)
        return Broken(layout, p, "directory %u of %u gave %d, expected 0", pages, pages, past);
    return true;
}

bool SetSubDirectory(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    if (!TIFFSetDirectory(tif, 2)) {
        probe::SayCantDirectory("read", layout.filename, "page 2");
        return false;
    }
    const uint64_t third = TIFFCurrentDirOffset(tif);
    if (!TIFFSetDirectory(tif, 0)) {
        probe::SayCantDirectory("read", layout.filename, "page 0");
        return false;
    }
    const int got = TIFFSetSubDirectory(tif, third);
    if (got != 1 || Width(tif) != page_widths[2])
        return Broken(layout, p,
                      "offset %" PRIu64 " gave %d, width %" PRIu32 ", expected 1 and %" PRIu32,
                      third, got, Width(tif), page_widths[2]);
    const int past = Expecting([&] { return TIFFSetSubDirectory(tif, uint64_t{1} << 40); });
    if (past != 0)
        return Broken(layout, p, "an offset past the file gave %d, expected 0", past);
    return true;
}

bool CurrentDirectoryUnwritten(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    const tdir_t got = TIFFCurrentDirectory(tif);
    if (got != 65535)
        return Broken(layout, p, "a new file's directory gave %lu, expected 65535",
                      static_cast<unsigned long>(got));
    return SetStripPage(tif, layout.filename);
}

bool UnlinkDirectory(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout, pages))
        return false;
    {
        probe::Tiff tif = probe::Reopen(layout, Access::Update);
        if (!tif)
            return false;
        const int zero = Expecting([&] { return TIFFUnlinkDirectory(tif, 0); });
        if (zero != 0)
            return Broken(layout, p, "directory 0 gave %d, expected 0", zero);
        const int got = TIFFUnlinkDirectory(tif, 2);
        if (got != 1)
            return Broken(layout, p, "directory 2 gave %d, expected 1", got);
    }
    tdir_t left = 0;
    const probe::Tiff tif = Reread(layout, &left);
    if (!tif)
        return false;
    const uint32_t first = Width(tif);
    const uint32_t second = TIFFSetDirectory(tif, 1) ? Width(tif) : 0;
    if (left != 2 || first != page_widths[0] || second != page_widths[2])
        return Broken(layout, p,
                      "after directory 2: %u pages %" PRIu32 " and %" PRIu32
                      " wide, expected 2 pages %" PRIu32 " and %" PRIu32 " wide",
                      static_cast<unsigned>(left), first, second, page_widths[0], page_widths[2]);
    return true;
}

bool WrittenByClose(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif || !WriteStrips(tif, layout.filename))
            return false;
    }
    tdir_t got = 0;
    const probe::Tiff tif = Reread(layout, &got);
    if (!tif)
        return false;
    if (got != 1)
        return Broken(layout, p, "TIFFClose left %u pages, expected 1", static_cast<unsigned>(got));
    return StripsHold(tif, layout.filename);
}

bool Checkpoint(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    if (!WriteStrip(tif, layout.filename, 0))
        return false;
    const int got = TIFFCheckpointDirectory(tif);
    if (got != 1)
        return Broken(layout, p, "TIFFCheckpointDirectory gave %d, expected 1", got);
    if (!FirstStripReads(layout, p, "the checkpoint"))
        return false;
    // "so they can be updated (as strips/tiles are written) and written
    // again": the rest of the strips, then TIFFWriteDirectory to finish.
    for (uint32_t s = 1; s < strips; s++) {
        if (!WriteStrip(tif, layout.filename, s))
            return false;
    }
    if (!WriteDirectory(tif, layout.filename, 0))
        return false;
    tif.Close();
    probe::Tiff reader = probe::Reopen(layout, Access::Read);
    if (!reader)
        return false;
    for (uint32_t s = 0; s < strips; s++) {
        if (!StripReadsAfter(layout, p, reader, s, "the checkpoint and the close"))
            return false;
    }
    return true;
}

namespace {

// The file's bytes and our reader's view of them; false after saying why
// they could not be loaded.
bool Loaded(const char *filename, probe::OnDisk *disk)
{
    const ifd::Error e = probe::ReadOnDisk(filename, disk);
    if (e)
        probe::Say<probe::Line::HeaderProblem>(filename, e.what.c_str());
    return !e;
}

} // namespace

bool RewriteAtEnd(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    probe::OnDisk before;
    if (!Loaded(layout.filename, &before))
        return false;
    {
        probe::Tiff tif = ReopenDescribed(layout, "rewritten by manpage_probe");
        if (!tif)
            return false;
        const int got = TIFFRewriteDirectory(tif);
        if (got != 1)
            return Broken(layout, p, "TIFFRewriteDirectory gave %d, expected 1", got);
    }
    probe::OnDisk after;
    if (!Loaded(layout.filename, &after))
        return false;
    if (after.file.header.first_ifd < before.bytes.size())
        return Broken(layout, p,
                      "the header points to %" PRIu64 ", expected past the old %zu bytes",
                      after.file.header.first_ifd, before.bytes.size());
    if (after.file.chain.size() != 1 ||
        !ifd::FindEntry(after.file.chain[0], TIFFTAG_IMAGEDESCRIPTION))
        return Broken(layout, p,
                      "the chain holds %zu IFDs, the description %s, expected 1 IFD and there",
                      after.file.chain.size(),
                      after.file.chain.empty() ||
                              !ifd::FindEntry(after.file.chain[0], TIFFTAG_IMAGEDESCRIPTION)
                          ? "missing"
                          : "there");
    return true;
}

} // namespace manpage
