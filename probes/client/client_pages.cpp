// client_probe's pages: written through a handle, read back and compared
// through the library, and their bytes read by our own reader.
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

std::vector<Field> PageFields(const Page &p)
{
    return {
        {TIFFTAG_IMAGEWIDTH, p.width, true},
        {TIFFTAG_IMAGELENGTH, p.length, true},
        {TIFFTAG_BITSPERSAMPLE, 8, false},
        {TIFFTAG_COMPRESSION, COMPRESSION_NONE, false},
        {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK, false},
        {TIFFTAG_SAMPLESPERPIXEL, 1, false},
        {TIFFTAG_ROWSPERSTRIP, p.rows_per_strip, true},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG, false},
    };
}

uint32_t StripCount(const Page &p)
{
    return (p.length + p.rows_per_strip - 1) / p.rows_per_strip;
}

// Strip s of page k: its rows of Pixel(k, i).
std::vector<uint8_t> StripBytes(size_t k, uint32_t s)
{
    const Page &p = pages[k];
    const uint32_t first = s * p.rows_per_strip;
    const uint32_t rows = std::min(p.rows_per_strip, p.length - first);
    std::vector<uint8_t> out(static_cast<size_t>(rows) * p.width);
    for (size_t i = 0; i < out.size(); i++)
        out[i] = client::Pixel(k, static_cast<size_t>(first) * p.width + i);
    return out;
}

// Sets page k's fields; `name` null says nothing.
bool SetPage(TIFF *tif, size_t k, const char *name)
{
    const Page &p = pages[k];
    const std::string place = probe::Page(k);
    for (const Field &f : PageFields(p)) {
        if (!TIFFSetField(tif, f.tag, f.value)) {
            if (name)
                probe::SayCantSet(f.tag, name, place.c_str());
            return false;
        }
    }
    if (!TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, p.description)) {
        if (name)
            probe::SayCantSet(TIFFTAG_IMAGEDESCRIPTION, name, place.c_str());
        return false;
    }
    return true;
}

// Writes strips [from, to) of page k. The library may swap the buffer it is
// given, so each call gets a copy.
bool WriteStrips(TIFF *tif, size_t k, uint32_t from, uint32_t to, const char *name)
{
    for (uint32_t s = from; s < to; s++) {
        std::vector<uint8_t> buf = StripBytes(k, s);
        if (TIFFWriteEncodedStrip(tif, s, buf.data(), static_cast<tmsize_t>(buf.size())) !=
            static_cast<tmsize_t>(buf.size())) {
            if (name)
                probe::SayCantWrite(name, probe::Page(k).c_str());
            return false;
        }
    }
    return true;
}

namespace {

// Compares the current directory with page k; `name` null says nothing.
// `description` is what page 0 must hold; `before` what it may hold instead.
void ComparePage(TIFF *tif, size_t k, const char *description, const char *before, const char *name,
                 Reading *r)
{
    const Page &p = pages[k];
    const std::string place = probe::Page(k);
    for (const Field &f : PageFields(p)) {
        uint32_t got32 = 0;
        uint16_t got16 = 0;
        const int ok = f.wide ? TIFFGetField(tif, f.tag, &got32) : TIFFGetField(tif, f.tag, &got16);
        const uint32_t got = f.wide ? got32 : got16;
        if (!ok) {
            r->refused = true;
            if (name)
                probe::SayProblemFetching(f.tag, name, place.c_str());
        } else if (got != f.value) {
            r->wrong = true;
            if (name)
                probe::SayWrongValue(f.wide ? "LONG" : "SHORT", f.tag, name, 0, got, f.value,
                                     place.c_str());
        }
    }
    const char *expect = k == 0 ? description : p.description;
    const char *text = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) || !text) {
        r->refused = true;
        if (name)
            probe::SayProblemFetching(TIFFTAG_IMAGEDESCRIPTION, name, place.c_str());
    } else if (strcmp(text, expect) != 0) {
        if (k == 0 && before && strcmp(text, before) == 0) {
            r->other_text = true;
        } else {
            r->wrong = true;
        }
        if (name)
            probe::SayWrongText(TIFFTAG_IMAGEDESCRIPTION, name, text, expect, place.c_str());
    }
    const uint32_t strips = TIFFNumberOfStrips(tif);
    if (strips != StripCount(p)) {
        r->wrong = true;
        if (name)
            probe::Say<probe::Line::ChunkCount>(name, probe::Field(place.c_str()).c_str(), strips,
                                                "strip", size_t{StripCount(p)});
        return;
    }
    for (uint32_t s = 0; s < strips; s++) {
        // A strip the file holds no bytes of was never written, and the
        // library reads it as zeros: the page is short, not wrong.
        if (TIFFGetStrileByteCount(tif, s) == 0) {
            r->refused = true;
            if (name)
                probe::SayCantRead("strip", s, name, place.c_str());
            continue;
        }
        const std::vector<uint8_t> expect_bytes = StripBytes(k, s);
        // One byte more than the strip, so that a strip read too long shows.
        std::vector<uint8_t> got(expect_bytes.size() + 1);
        const tmsize_t n =
            TIFFReadEncodedStrip(tif, s, got.data(), static_cast<tmsize_t>(got.size()));
        if (n < 0) {
            r->refused = true;
            if (name)
                probe::SayCantRead("strip", s, name, place.c_str());
            continue;
        }
        // Fewer bytes than the strip holds is a shortfall the caller sees.
        if (static_cast<size_t>(n) < expect_bytes.size()) {
            r->refused = true;
            if (name)
                probe::SayCantRead("strip", s, name, place.c_str());
            continue;
        }
        got.resize(static_cast<size_t>(std::min<tmsize_t>(n, static_cast<tmsize_t>(got.size()))));
        if (got != expect_bytes) {
            r->wrong = true;
            // More bytes than the strip holds is a wrong size, as fewer are.
            if (name && got.size() != expect_bytes.size())
                probe::SayCantRead("strip", s, name, place.c_str());
            else if (name)
                probe::SayWrongImage("strip", s, name, place.c_str());
        }
    }
}

} // namespace

// Reads every page of an open handle; the steps of its directory reads are
// counted in `m` where one is given.
void WalkPages(TIFF *tif, MemFile *m, const char *description, const char *before, const char *name,
               Reading *r)
{
    for (size_t k = 0; k < page_count; k++) {
        if (k > 0) {
            if (m)
                m->step = Step::ReadDir;
            const int ok = TIFFReadDirectory(tif);
            if (m)
                m->step = Step::None;
            if (!ok) {
                r->refused = true;
                r->failed[Index(Step::ReadDir)] = true;
                if (name)
                    probe::SayCantDirectory("read", name, probe::Page(k).c_str());
                return;
            }
        }
        ComparePage(tif, k, description, before, name, r);
    }
    if (TIFFReadDirectory(tif)) {
        r->wrong = true;
        if (name)
            probe::Say<probe::Line::WalksMore>(name, static_cast<unsigned>(page_count));
    }
}

// Opens `m` for reading and reads its pages.
void ReadPages(MemFile *m, const char *handle_name, const char *mode, const char *description,
               const char *before, const char *name, Listener *l, Reading *r)
{
    m->step = Step::OpenRead;
    TIFF *tif = OpenMem(m, handle_name, mode, l);
    m->step = Step::None;
    if (!tif) {
        r->refused = true;
        r->failed[Index(Step::OpenRead)] = true;
        if (name)
            SayCantOpen(name);
        return;
    }
    if (l) {
        l->error.handle = tif;
        l->warning.handle = tif;
    }
    WalkPages(tif, m, description, before, name, r);
    TIFFClose(tif);
}

// Writes both pages: page 0 checkpointed after its first strip and written
// with TIFFWriteDirectory, page 1 by the close; true when every call
// succeeded.
bool Writer(MemFile *m, const char *handle_name, const char *mode, const char *name, Listener *l,
            Reading *run)
{
    const auto step = [&](Step s, bool ok) {
        m->step = Step::None;
        if (!ok)
            run->failed[Index(s)] = true;
        return ok;
    };
    m->step = Step::OpenWrite;
    TIFF *tif = OpenMem(m, handle_name, mode, l);
    if (!step(Step::OpenWrite, tif != nullptr)) {
        if (name)
            SayCantCreate(name);
        return false;
    }
    // A program that checks each call: after a failure it only closes.
    const uint32_t strips0 = StripCount(pages[0]);
    bool ok = SetPage(tif, 0, name) && WriteStrips(tif, 0, 0, 1, name);
    if (ok) {
        m->step = Step::Checkpoint;
        ok = step(Step::Checkpoint, TIFFCheckpointDirectory(tif) != 0);
        if (!ok && name)
            probe::Say<probe::Line::CheckpointFails>(name);
    }
    ok = ok && WriteStrips(tif, 0, 1, strips0, name);
    if (ok) {
        m->step = Step::WriteDir;
        ok = step(Step::WriteDir, TIFFWriteDirectory(tif) != 0);
        if (!ok && name)
            probe::SayCantDirectory("write", name, probe::Page(0).c_str());
    }
    ok = ok && SetPage(tif, 1, name) && WriteStrips(tif, 1, 0, StripCount(pages[1]), name);
    m->step = Step::CloseWrite;
    TIFFClose(tif);
    m->step = Step::None;
    return ok;
}

// Gives page 0 a longer description in place ("r+", TIFFRewriteDirectory).
void Updater(MemFile *m, const char *handle_name, Listener *l, Reading *run)
{
    m->step = Step::OpenUpdate;
    TIFF *tif = OpenMem(m, handle_name, "r+", l);
    m->step = Step::None;
    if (!tif) {
        run->failed[Index(Step::OpenUpdate)] = true;
        return;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, client::updated_description);
    m->step = Step::Rewrite;
    if (!TIFFRewriteDirectory(tif))
        run->failed[Index(Step::Rewrite)] = true;
    m->step = Step::CloseUpdate;
    TIFFClose(tif);
    m->step = Step::None;
}

// Writes the bytes of a memory file to `name`, so that a failed layout's
// file stays for inspection as the other probes' do.
void Keep(const char *name, const MemFile &m)
{
    FILE *f = fopen(name, "wb");
    if (!f)
        return;
    if (!m.bytes.empty())
        fwrite(m.bytes.data(), 1, m.bytes.size(), f);
    fclose(f);
}

// The header's byte order and format, and no problem in the reading: the
// shared forms of probe::ReadFormat, for bytes that are in memory.
bool FormatOnDisk(const Layout &layout, const std::vector<uint8_t> &bytes, ifd::File *file)
{
    const char *name = layout.filename;
    *file = ifd::ReadFile(bytes.data(), bytes.size());
    if (!file->has_header) {
        probe::Say<probe::Line::HeaderProblem>(name, file->problems[0].what.c_str());
        return false;
    }
    const ifd::Header &h = file->header;
    if (h.big_endian != layout.big_endian || h.bigtiff != layout.bigtiff) {
        probe::Say<probe::Line::HeaderFormat>(name, h.big_endian ? "MM" : "II", h.bigtiff ? 43 : 42,
                                              layout.big_endian ? "MM" : "II",
                                              layout.bigtiff ? 43 : 42);
        return false;
    }
    return probe::NoProblems(name, *file);
}

// Both pages as the file's bytes hold them.
bool PagesOnDisk(const char *name, const std::vector<uint8_t> &bytes, const ifd::File &file)
{
    if (!probe::PagesOnDisk(file, page_count, name))
        return false;
    bool ok = true;
    for (size_t k = 0; k < page_count; k++) {
        const Page &p = pages[k];
        const ifd::Directory &dir = file.chain[k];
        const std::string place = probe::Page(k);
        if (!probe::TagsAscending(dir, name) || !probe::WordAligned(dir, name)) {
            ok = false;
            continue;
        }
        for (const Field &f : PageFields(p)) {
            const ifd::Entry *e = ifd::FindEntry(dir, f.tag);
            if (!e || e->values.size() != 1) {
                if (!e)
                    probe::SayMissingOnDisk(f.tag, name, place.c_str());
                else
                    probe::SayWrongEntry(*e, name, f.wide ? "SHORT or LONG" : "SHORT", 1,
                                         place.c_str());
                ok = false;
            } else if (e->values[0] != f.value) {
                probe::SayWrongValueOnDisk(f.tag, name, 0, e->values[0], f.value, place.c_str());
                ok = false;
            }
        }
        const ifd::Entry *text = ifd::FindEntry(dir, TIFFTAG_IMAGEDESCRIPTION);
        const size_t length = strlen(p.description) + 1;
        if (!text) {
            probe::SayMissingOnDisk(TIFFTAG_IMAGEDESCRIPTION, name, place.c_str());
            ok = false;
        } else if (text->type != ifd::ASCII || text->values.size() != length) {
            probe::SayWrongEntry(*text, name, "ASCII", static_cast<unsigned long>(length),
                                 place.c_str());
            ok = false;
        } else {
            for (size_t i = 0; i < length; i++) {
                const auto want = static_cast<unsigned>(static_cast<uint8_t>(p.description[i]));
                if (text->values[i] != want) {
                    probe::SayWrongByteOnDisk(TIFFTAG_IMAGEDESCRIPTION, name, i,
                                              static_cast<unsigned>(text->values[i]), want,
                                              place.c_str());
                    ok = false;
                    break;
                }
            }
        }
        if (!probe::ChunksInside(dir, bytes.size(), ifd::tag::StripOffsets,
                                 ifd::tag::StripByteCounts, StripCount(p), "strip", name)) {
            ok = false;
            continue;
        }
        const ifd::Entry *offsets = ifd::FindEntry(dir, ifd::tag::StripOffsets);
        const ifd::Entry *counts = ifd::FindEntry(dir, ifd::tag::StripByteCounts);
        for (uint32_t s = 0; s < StripCount(p); s++) {
            if (!probe::ChunkHolds(bytes, offsets->values[s], counts->values[s], StripBytes(k, s),
                                   "strip", s, static_cast<unsigned>(k), name))
                ok = false;
        }
    }
    return ok;
}

} // namespace client_probe
