// Proves the strile interfaces in both byte orders and both formats:
// queries of single striles (TIFFGetStrileOffset, TIFFGetStrileByteCount
// and their WithErr forms), with the arrays loaded on demand ("O") or not;
// strile arrays deferred and written after the data; and a directory
// checkpointed twice while a second handle reads each state in turn.
//
// Each check writes files of its own, one per layout (queries_*, deferred_*,
// checkpoints_*), and owns its opens and reads, so none depends on another's
// pages, handles or outcome: every check runs in every layout, and each
// failed one leaves its file behind.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include "chunks.h"
#include "ifd_reader.h"
#include "probe_support.h"
#include "strile_values.h"

namespace {

using chunks::GoTo;
using chunks::SameNumber;
using chunks::StripCount;
using chunks::StripImage;
using chunks::StripPage;
using chunks::TilePage;
using striles::checkpointed;
using striles::deferred_strips;
using striles::many_strips;
using striles::on_demand_array_bytes;
using striles::queried_tiles;
using striles::strips_at_checkpoint;

constexpr probe::Layout query_layouts[] = {
    {"queries_le.tif", false, false},
    {"queries_be.tif", true, false},
    {"queries_le.btf", false, true},
    {"queries_be.btf", true, true},
};
constexpr probe::Layout deferred_layouts[] = {
    {"deferred_le.tif", false, false},
    {"deferred_be.tif", true, false},
    {"deferred_le.btf", false, true},
    {"deferred_be.btf", true, true},
};
constexpr probe::Layout checkpoint_layouts[] = {
    {"checkpoints_le.tif", false, false},
    {"checkpoints_be.tif", true, false},
    {"checkpoints_le.btf", false, true},
    {"checkpoints_be.btf", true, true},
};

// The queries' file: a tiled page whose last tiles are in its last plane,
// then the page of many strips, only the queried ones written (the others
// stay empty, offset and count 0, which costs the library nothing per
// strip).
constexpr unsigned tiled_page = 0;
constexpr unsigned many_page = 1;

StripPage ManyStrips(const probe::Layout &layout)
{
    return {striles::many_width, probe::ForLayout(many_strips, layout),
            striles::many_rows_per_strip};
}

// Tile t of the queried page: its bytes row by row, as a strip's.
std::vector<uint8_t> TileImage(uint32_t t)
{
    const TilePage &p = queried_tiles;
    return StripImage(tiled_page, {chunks::TileRowBytes(p), p.tile_length, p.tile_length}, t);
}

bool WriteStrips(TIFF *tif, unsigned k, const StripPage &p, uint32_t first, uint32_t end,
                 const char *filename)
{
    for (uint32_t s = first; s < end; s++) {
        std::vector<uint8_t> buf = StripImage(k, p, s);
        if (TIFFWriteEncodedStrip(tif, s, buf.data(), static_cast<tmsize_t>(buf.size())) <= 0) {
            probe::SayCantWrite(filename);
            return false;
        }
    }
    return true;
}

// The first `end` strips read back through the library, each: the first
// few wrong ones named, the rest counted.
bool CheckStripPixels(TIFF *tif, unsigned k, const StripPage &p, uint32_t end, const char *filename)
{
    const std::string place = probe::Page(k);
    probe::Tally tally;
    for (uint32_t s = 0; s < end; s++) {
        const std::vector<uint8_t> expect = StripImage(k, p, s);
        std::vector<uint8_t> got(expect.size());
        const tmsize_t n =
            TIFFReadEncodedStrip(tif, s, got.data(), static_cast<tmsize_t>(got.size()));
        if (n == static_cast<tmsize_t>(expect.size()) && got == expect)
            continue;
        // A short read is "Can't read", other bytes "Wrong image data".
        if (tally.Naming())
            (void)probe::ReadBack("strip", s, n, expect.size(), got == expect, filename,
                                  place.c_str());
        tally.Add(s);
    }
    if (tally.Unnamed())
        probe::SayMoreWrongImages("strip", tally.from, filename, place.c_str(), tally.Unnamed(),
                                  tally.last);
    return tally.wrong == 0;
}

bool SayOnDisk(const char *filename, const ifd::Error &err)
{
    probe::Say<probe::Line::IfdProblem>(filename, err.offset, err.what.c_str());
    return false;
}

// The file as it is on disk now, read whole, holding `pages` pages;
// otherwise says why not.
bool ReadPages(const probe::Layout &layout, size_t pages, probe::OnDisk *disk)
{
    return probe::ReadFormat(layout, disk) &&
           probe::PagesOnDisk(disk->file, pages, layout.filename);
}

// The layout's file, as it is on disk now, holds one page, striped page k,
// and its first `end` strips hold their data; the strips are read value by
// value, as a reader of a large directory would. Every strip is checked: the
// first few wrong ones named, the rest counted.
bool StripsOnDisk(const probe::Layout &layout, unsigned k, const StripPage &p, uint32_t end)
{
    const char *name = layout.filename;
    probe::OnDisk disk;

    if (!ReadPages(layout, 1, &disk))
        return false;
    const std::vector<uint8_t> &bytes = disk.bytes;
    const uint64_t ifd_offset = disk.file.chain[0].offset;
    probe::Tally tally;
    for (uint32_t s = 0; s < end; s++) {
        uint64_t offset = 0;
        uint64_t count = 0;
        ifd::Error err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset,
                                      ifd::tag::StripOffsets, s, &offset);
        if (!err)
            err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset, ifd::tag::StripByteCounts, s,
                               &count);
        if (err)
            return SayOnDisk(name, err);
        const std::vector<uint8_t> image = StripImage(k, p, s);
        if (tally.Naming() ? probe::ChunkHolds(bytes, offset, count, image, "strip", s, k, name)
                           : probe::ChunkMatches(bytes, offset, count, image))
            continue;
        tally.Add(s);
    }
    if (tally.Unnamed())
        probe::SayMoreWrongOnDisk("strip", tally.from, k, name, tally.Unnamed(), tally.last);
    return tally.wrong == 0;
}

// A file handle whose reads are counted: proof that a query on demand reads
// a few values, not whole arrays.
struct CountedFile {
    int fd = -1;
    uint64_t bytes_read = 0;
};

// The bytes read so far through a handle that OpenCounted opened: the
// library's reads add to them through its client data.
uint64_t BytesRead(TIFF *tif)
{
    return static_cast<const CountedFile *>(TIFFClientdata(tif))->bytes_read;
}

tmsize_t CountedRead(thandle_t h, void *buf, tmsize_t size)
{
    auto *f = static_cast<CountedFile *>(h);
    const ssize_t n = read(f->fd, buf, static_cast<size_t>(size));
    if (n > 0)
        f->bytes_read += static_cast<uint64_t>(n);
    return n;
}

tmsize_t NoWrite(thandle_t /*h*/, void * /*buf*/, tmsize_t /*size*/)
{
    return -1;
}

toff_t CountedSeek(thandle_t h, toff_t offset, int whence)
{
    return static_cast<toff_t>(
        lseek(static_cast<CountedFile *>(h)->fd, static_cast<off_t>(offset), whence));
}

int CountedClose(thandle_t h)
{
    return close(static_cast<CountedFile *>(h)->fd);
}

toff_t CountedSize(thandle_t h)
{
    struct stat st;
    return fstat(static_cast<CountedFile *>(h)->fd, &st) == 0 ? static_cast<toff_t>(st.st_size) : 0;
}

int NoMap(thandle_t /*h*/, void ** /*base*/, toff_t * /*size*/)
{
    return 0;
}

void NoUnmap(thandle_t /*h*/, void * /*base*/, toff_t /*size*/) {}

probe::Tiff OpenCounted(const char *filename, const char *mode, CountedFile *file)
{
    file->fd = open(filename, O_RDONLY);
    if (file->fd < 0) {
        probe::Say<probe::Line::CantOpen>(filename);
        return probe::Tiff();
    }
    probe::Tiff tif(TIFFClientOpen(filename, mode, file, CountedRead, NoWrite, CountedSeek,
                                   CountedClose, CountedSize, NoMap, NoUnmap));
    if (!tif) {
        close(file->fd);
        probe::Say<probe::Line::CantOpen>(filename);
    }
    return tif;
}

// The striles queried on one page: the first, one in the middle and the
// last, with their values on disk.
struct Queried {
    unsigned page;
    bool tiled;
    uint32_t count;
    uint32_t striles[3];
    uint64_t offsets[3];
    uint64_t counts[3];
};

Queried MakeQueried(unsigned page, bool tiled, uint32_t count)
{
    return {page, tiled, count, {0, count / 2, count - 1}, {0, 0, 0}, {0, 0, 0}};
}

bool ReadQueried(const std::vector<uint8_t> &bytes, uint64_t ifd_offset, Queried *q,
                 const char *filename)
{
    const uint16_t offsets_tag = q->tiled ? ifd::tag::TileOffsets : ifd::tag::StripOffsets;
    const uint16_t counts_tag = q->tiled ? ifd::tag::TileByteCounts : ifd::tag::StripByteCounts;
    for (int i = 0; i < 3; i++) {
        ifd::Error err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset, offsets_tag,
                                      q->striles[i], &q->offsets[i]);
        if (!err)
            err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset, counts_tag, q->striles[i],
                               &q->counts[i]);
        if (err)
            return SayOnDisk(filename, err);
    }
    return true;
}

// Single strile queries on an open handle against the values on disk, and
// past the last strile an error.
bool CheckQueries(TIFF *tif, const Queried &q, const char *how, const char *filename)
{
    const char *const calls[4] = {"TIFFGetStrileOffset", "TIFFGetStrileOffsetWithErr",
                                  "TIFFGetStrileByteCount", "TIFFGetStrileByteCountWithErr"};

    if (!GoTo(tif, q.page, filename))
        return false;
    for (int i = 0; i < 3; i++) {
        const uint32_t s = q.striles[i];
        int err[2] = {1, 1};
        const uint64_t got[4] = {
            TIFFGetStrileOffset(tif, s), TIFFGetStrileOffsetWithErr(tif, s, &err[0]),
            TIFFGetStrileByteCount(tif, s), TIFFGetStrileByteCountWithErr(tif, s, &err[1])};
        for (int c = 0; c < 4; c++) {
            if (!SameNumber(filename, q.page, got[c], c < 2 ? q.offsets[i] : q.counts[i],
                            "%s(%lu)%s", calls[c], static_cast<unsigned long>(s), how))
                return false;
        }
        for (int c = 0; c < 2; c++) {
            if (!SameNumber(filename, q.page, static_cast<uint64_t>(err[c]), 0,
                            "the error of %s(%lu)%s", calls[2 * c + 1],
                            static_cast<unsigned long>(s), how))
                return false;
        }
    }
    int err[2] = {0, 0};
    {
        const probe::ExpectedMessages expected;
        TIFFGetStrileOffsetWithErr(tif, q.count, &err[0]);
        TIFFGetStrileByteCountWithErr(tif, q.count, &err[1]);
    }
    for (int c = 0; c < 2; c++) {
        if (!SameNumber(filename, q.page, static_cast<uint64_t>(err[c]), 1,
                        "the error of %s(%lu)%s", calls[2 * c + 1],
                        static_cast<unsigned long>(q.count), how))
            return false;
    }
    return true;
}

bool WriteQueriedFile(const probe::Layout &layout)
{
    const char *name = layout.filename;
    const TilePage &p = queried_tiles;
    const StripPage many = ManyStrips(layout);
    const Queried q = MakeQueried(many_page, false, many.length);
    const probe::Tiff tif = probe::Create(layout);

    if (!tif || !chunks::SetTileFields(tif, p, name))
        return false;
    for (uint32_t t = 0; t < chunks::TileCount(p); t++) {
        std::vector<uint8_t> buf = TileImage(t);
        if (TIFFWriteEncodedTile(tif, t, buf.data(), static_cast<tmsize_t>(buf.size())) !=
            static_cast<tmsize_t>(buf.size())) {
            probe::SayCantWrite(name);
            return false;
        }
    }
    if (!probe::WriteDirectory(tif, tiled_page, name) || !chunks::SetStripFields(tif, many, name))
        return false;
    for (uint32_t s : q.striles) {
        if (!WriteStrips(tif, many_page, many, s, s + 1, name))
            return false;
    }
    return probe::WriteDirectory(tif, many_page, name);
}

// On demand ("O"): the queries and the last strip's pixels read a few
// values, never a whole array.
bool CheckOnDemand(const probe::Layout &layout, const Queried queried[2])
{
    const char *name = layout.filename;
    const StripPage many = ManyStrips(layout);
    CountedFile counted;
    // "h": page 0 is not read before its queries.
    const probe::Tiff tif = OpenCounted(name, "rOh", &counted);

    if (!tif)
        return false;
    const uint64_t array_bytes = uint64_t{many.length} * (layout.bigtiff ? 8 : 4);
    for (int i = 0; i < 2; i++) {
        const uint64_t start = BytesRead(tif);
        if (!CheckQueries(tif, queried[i], " in \"O\" mode", name))
            return false;
        // On demand the queries read a few values, not the arrays. The
        // library reads them in windows of a few KB, so only arrays far
        // larger than that tell the two apart (the page of many strips).
        const uint64_t queries_read = BytesRead(tif) - start;
        if (queried[i].page == many_page && array_bytes >= on_demand_array_bytes &&
            queries_read >= array_bytes) {
            probe::Say<probe::Line::QueriesRead>(name, many_page, queries_read, array_bytes);
            return false;
        }
    }
    const uint64_t before = BytesRead(tif);
    const uint32_t last = many.length - 1;
    const std::vector<uint8_t> expect = StripImage(many_page, many, last);
    std::vector<uint8_t> got(expect.size());
    const tmsize_t n =
        TIFFReadEncodedStrip(tif, last, got.data(), static_cast<tmsize_t>(got.size()));
    if (!probe::ReadBack("strip", last, n, expect.size(), got == expect, name,
                         probe::Page(many_page).c_str()))
        return false;
    const uint64_t read_now = BytesRead(tif) - before;
    if (read_now < array_bytes)
        return true;
    probe::Say<probe::Line::StripReadOnDemand>(name, many_page, static_cast<unsigned long>(last),
                                               read_now, array_bytes);
    return false;
}

// The queries, on demand and not, against the file's own values.
bool CheckStrileQueries(const probe::Layout &layout)
{
    const char *name = layout.filename;
    Queried queried[2] = {
        MakeQueried(tiled_page, true, chunks::TileCount(queried_tiles)),
        MakeQueried(many_page, false, ManyStrips(layout).length),
    };
    probe::OnDisk disk;

    if (!WriteQueriedFile(layout) || !ReadPages(layout, 2, &disk))
        return false;
    for (Queried &q : queried) {
        if (!ReadQueried(disk.bytes, disk.file.chain[q.page].offset, &q, name))
            return false;
    }
    if (!CheckOnDemand(layout, queried))
        return false;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    return tif && CheckQueries(tif, queried[0], "", name) &&
           CheckQueries(tif, queried[1], "", name);
}

// The arrays are deferred, the directory written with room for them, the
// data written into it, and only then the arrays: they are in the file as
// soon as TIFFForceStrileArrayWriting returns, not only after the close.
bool CheckDeferredArrays(const probe::Layout &layout)
{
    const char *name = layout.filename;
    const StripPage &p = deferred_strips;
    const unsigned k = 0;
    bool ok = true;
    {
        const probe::Tiff tif = probe::Create(layout);
        if (!tif || !chunks::SetStripFields(tif, p, name))
            return false;
        if (!TIFFDeferStrileArrayWriting(tif) || !TIFFWriteCheck(tif, 0, "strile_probe") ||
            !TIFFWriteDirectory(tif) || !TIFFSetDirectory(tif, k)) {
            probe::Say<probe::Line::CantDefer>(name, k);
            return false;
        }
        if (!WriteStrips(tif, k, p, 0, StripCount(p), name))
            return false;
        if (!TIFFForceStrileArrayWriting(tif)) {
            probe::Say<probe::Line::ForceFailed>(name, k);
            return false;
        }
        // A wrong strip hides nothing after it: every state is checked.
        ok = StripsOnDisk(layout, k, p, StripCount(p));
    }
    ok = StripsOnDisk(layout, k, p, StripCount(p)) && ok;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    return tif && CheckStripPixels(tif, k, p, StripCount(p), name) && ok;
}

// What the file holds at checkpoint `n`, and what a second handle opened
// then finds: the one page, the strips written so far with their data, the
// others still empty.
bool CheckAtCheckpoint(const probe::Layout &layout, unsigned n, uint32_t written)
{
    const char *name = layout.filename;
    const StripPage &p = checkpointed;
    const bool on_disk = StripsOnDisk(layout, 0, p, written);
    const probe::Tiff reader = probe::Reopen(layout, probe::Access::Read);
    if (!reader || !SameNumber(name, 0, TIFFNumberOfDirectories(reader), 1,
                               "the page count a reader finds at checkpoint %u", n))
        return false;
    for (uint32_t s = 0; s < StripCount(p); s++) {
        const uint64_t expect = s < written ? StripImage(0, p, s).size() : 0;
        if (!SameNumber(name, 0, TIFFGetStrileByteCount(reader, s), expect,
                        "TIFFGetStrileByteCount(%lu) at checkpoint %u",
                        static_cast<unsigned long>(s), n))
            return false;
    }
    return CheckStripPixels(reader, 0, p, written, name) && on_disk;
}

// A page checkpointed twice, the second time with more strips: a second
// handle reads each state in turn, and after the close the file holds the
// page once, with all its strips.
bool CheckCheckpoints(const probe::Layout &layout)
{
    const char *name = layout.filename;
    const StripPage &p = checkpointed;
    bool ok = true;
    {
        const probe::Tiff writer = probe::Create(layout);
        if (!writer || !chunks::SetStripFields(writer, p, name))
            return false;
        uint32_t written = 0;
        unsigned n = 0;
        for (uint32_t end : strips_at_checkpoint) {
            if (!WriteStrips(writer, 0, p, written, end, name))
                return false;
            written = end;
            n++;
            if (!TIFFCheckpointDirectory(writer)) {
                probe::Say<probe::Line::CheckpointFailed>(name, n);
                return false;
            }
            // A wrong state hides not the states after it.
            ok = CheckAtCheckpoint(layout, n, written) && ok;
        }
        if (!WriteStrips(writer, 0, p, written, StripCount(p), name))
            return false;
    }
    ok = StripsOnDisk(layout, 0, p, StripCount(p)) && ok;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    return tif && CheckStripPixels(tif, 0, p, StripCount(p), name) && ok;
}

// A check that passes only if the library said nothing while it ran.
template <bool (*Check)(const probe::Layout &)>
bool Quietly(const probe::Layout &layout)
{
    const unsigned long messages = LibraryMessages();
    return Check(layout) && probe::LibraryQuiet(layout.filename, messages);
}

} // namespace

int main()
{
    CountLibraryMessages();
    // Every check runs, whatever the others returned.
    const int queries = probe::RunLayouts(query_layouts, Quietly<CheckStrileQueries>);
    const int deferred = probe::RunLayouts(deferred_layouts, Quietly<CheckDeferredArrays>);
    const int checkpoints = probe::RunLayouts(checkpoint_layouts, Quietly<CheckCheckpoints>);
    return queries | deferred | checkpoints;
}
