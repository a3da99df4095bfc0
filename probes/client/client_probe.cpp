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
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include "client_values.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace {

using client::Fault;
using client::fault_count;
using client::faults;
using client::Page;
using client::page_count;
using client::pages;
using client::Step;
using client::step_count;
using client::steps;
using probe::Layout;

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

// Whether the library lacks the open options, said as a skip only when the
// whole probe passed.
bool no_open_options = false;

size_t Index(Step s)
{
    return static_cast<size_t>(s);
}
size_t Index(Fault f)
{
    return static_cast<size_t>(f);
}

// No page of the probe comes near this; a library that runs away writing
// gets a failed write instead of the machine's memory.
constexpr uint64_t max_image = 16U << 20;

// A file in memory and the bookkeeping of its procedures.
struct MemFile {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> written; // 1 where a write stored the byte
    uint64_t pos = 0;
    bool mappable = true;
    // The step in progress, and the calls of each procedure in each step.
    Step step = Step::None;
    unsigned calls[step_count][fault_count] = {};
    // The call to break: call fault_at of the procedure of `fault` in
    // fault_step; `fired` once it has been broken.
    Fault fault = Fault::None;
    Step fault_step = Step::None;
    unsigned fault_at = 0;
    bool fired = false;
    unsigned closes = 0;
    unsigned maps = 0;
    unsigned unmaps = 0;
    bool unmap_other = false; // an unmap of another region than the map gave
    const void *map_base = nullptr;
    toff_t map_size = 0;
};

// The same bytes, with fresh bookkeeping.
MemFile Copy(const MemFile &m)
{
    MemFile c;
    c.bytes = m.bytes;
    c.written = m.written;
    return c;
}

// Counts a call of the procedure of `kind`; true when it is the one to break.
bool Breaks(MemFile *m, Fault kind)
{
    if (m->step == Step::None)
        return false;
    const unsigned n = ++m->calls[Index(m->step)][Index(kind)];
    return m->fault == kind && m->fault_step == m->step && n == m->fault_at;
}

tmsize_t ReadProc(thandle_t h, void *buf, tmsize_t size)
{
    auto *m = static_cast<MemFile *>(h);
    if (size < 0)
        return -1;
    const uint64_t left = m->pos < m->bytes.size() ? m->bytes.size() - m->pos : 0;
    uint64_t n = std::min(static_cast<uint64_t>(size), left);
    if (Breaks(m, Fault::ShortRead) && n > 0) {
        n /= 2;
        m->fired = true;
    }
    if (n > 0)
        memcpy(buf, m->bytes.data() + m->pos, n);
    m->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t h, void *buf, tmsize_t size)
{
    auto *m = static_cast<MemFile *>(h);
    if (size < 0)
        return -1;
    if (Breaks(m, Fault::FailedWrite)) {
        m->fired = true;
        return -1;
    }
    const auto n = static_cast<uint64_t>(size);
    if (m->pos > max_image || n > max_image - m->pos)
        return -1;
    const uint64_t end = m->pos + n;
    if (end > m->bytes.size()) {
        m->bytes.resize(end);
        m->written.resize(end);
    }
    if (n > 0) {
        memcpy(m->bytes.data() + m->pos, buf, n);
        std::fill(m->written.begin() + static_cast<long>(m->pos),
                  m->written.begin() + static_cast<long>(end), 1);
    }
    m->pos = end;
    return size;
}

toff_t SeekProc(thandle_t h, toff_t off, int whence)
{
    auto *m = static_cast<MemFile *>(h);
    uint64_t base;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = m->pos;
        break;
    case SEEK_END:
        base = m->bytes.size();
        break;
    default:
        return static_cast<toff_t>(-1);
    }
    if (Breaks(m, Fault::FailedSeek)) {
        m->fired = true;
        return static_cast<toff_t>(-1);
    }
    m->pos = base + off;
    return m->pos;
}

int CloseProc(thandle_t h)
{
    static_cast<MemFile *>(h)->closes++;
    return 0;
}

toff_t SizeProc(thandle_t h)
{
    return static_cast<MemFile *>(h)->bytes.size();
}

int MapProc(thandle_t h, void **base, toff_t *size)
{
    auto *m = static_cast<MemFile *>(h);
    if (!m->mappable)
        return 0;
    m->maps++;
    m->map_base = m->bytes.data();
    m->map_size = m->bytes.size();
    *base = m->bytes.data();
    *size = m->bytes.size();
    return 1;
}

// The library's TIFFUnmapFileProc fixes the type of `base`.
// cppcheck-suppress constParameter
void UnmapProc(thandle_t h, void *base, toff_t size)
{
    auto *m = static_cast<MemFile *>(h);
    m->unmaps++;
    if (base != m->map_base || size != m->map_size)
        m->unmap_other = true;
}

// What one handler of the open options received: its user data.
struct Channel {
    explicit Channel(bool is_error) : error(is_error) {}
    bool error;                   // the error handler's, else the warning handler's
    int stop = 1;                 // what the handler returns
    unsigned calls = 0;           // calls with this user data
    unsigned wrong_kind = 0;      // calls of the other handler with this user data
    const TIFF *handle = nullptr; // the handle the calls must name, once known
    unsigned wrong_handle = 0;
    std::string last; // "MODULE: TEXT" of the last call
};

struct Listener {
    Channel error = Channel(true);
    Channel warning = Channel(false);
    unsigned Messages() const { return error.calls + warning.calls; }
    void Stop(int stop)
    {
        error.stop = stop;
        warning.stop = stop;
    }
};

// Calls of either handler without user data.
unsigned lost_user_data = 0;

int Note(const TIFF *tif, void *user, bool error, const char *module, const char *format,
         va_list ap)
{
    auto *c = static_cast<Channel *>(user);
    if (!c) {
        lost_user_data++;
        return 0;
    }
    c->calls++;
    if (c->error != error)
        c->wrong_kind++;
    if (c->handle && tif != c->handle)
        c->wrong_handle++;
    char text[256];
    vsnprintf(text, sizeof(text), format, ap);
    c->last = std::string(module ? module : "") + ": " + text;
    return c->stop;
}

int OnError(TIFF *tif, void *user, const char *module, const char *format, va_list ap)
{
    return Note(tif, user, true, module, format, ap);
}

int OnWarning(TIFF *tif, void *user, const char *module, const char *format, va_list ap)
{
    return Note(tif, user, false, module, format, ap);
}

// Opens `m` through the probe's procedures; with a listener (and a limit)
// through the open options where the library has them.
TIFF *OpenMem(MemFile *m, const char *name, const char *mode, Listener *l, long max_alloc = 0)
{
    m->pos = 0;
#if TIFF_PROBES_HAVE_OPEN_OPTIONS
    if (l || max_alloc) {
        TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
        if (!opts)
            return nullptr;
        if (max_alloc)
            TIFFOpenOptionsSetMaxSingleMemAlloc(opts, max_alloc);
        if (l) {
            TIFFOpenOptionsSetErrorHandlerExtR(opts, OnError, &l->error);
            TIFFOpenOptionsSetWarningHandlerExtR(opts, OnWarning, &l->warning);
        }
        TIFF *tif = TIFFClientOpenExt(name, mode, m, ReadProc, WriteProc, SeekProc, CloseProc,
                                      SizeProc, MapProc, UnmapProc, opts);
        // TIFFOpen(3tiff): the options may go as soon as the open returns.
        TIFFOpenOptionsFree(opts);
        return tif;
    }
#else
    (void)l;
    (void)max_alloc;
#endif
    return TIFFClientOpen(name, mode, m, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                          MapProc, UnmapProc);
}

// The shared forms of probe::Create and probe::Reopen, for the handles that
// TIFFOpen does not open.
void SayCantCreate(const char *name)
{
    probe::Say<probe::Line::CantCreate>(name);
}
void SayCantOpen(const char *name)
{
    probe::Say<probe::Line::CantOpen>(name);
}

// A field of a page: its tag, its value, and whether TIFFGetField gives it
// as a uint32_t (else a uint16_t).
struct Field {
    uint32_t tag;
    uint32_t value;
    bool wide;
};

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

// What a reading of the pages found.
struct Reading {
    bool refused = false;    // a call failed: the file is visibly short of whole
    bool wrong = false;      // a value came back other than written
    bool other_text = false; // page 0's description is the one before the update
    bool failed[step_count] = {};
    unsigned messages = 0;
    bool Whole() const { return !refused && !wrong && !other_text; }
};

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

// Whether bytes [at, at + n) were all stored by writes.
bool Written(const MemFile &m, uint64_t at, uint64_t n)
{
    if (at > m.written.size() || n > m.written.size() - at)
        return false;
    const auto first = m.written.begin() + static_cast<long>(at);
    return std::all_of(first, first + static_cast<long>(n), [](uint8_t w) { return w != 0; });
}

// True when the file claims no byte that no write stored: its IFDs, their
// values and the strips they point to. A file whose header was never
// written whole, or is no header, claims nothing: that it was lost is the
// other rules' business.
bool ClaimsOnlyWritten(const MemFile &m)
{
    if (!Written(m, 0, 8))
        return true;
    const ifd::File file = ifd::ReadFile(m.bytes.data(), m.bytes.size());
    if (!file.has_header)
        return true;
    if (!file.problems.empty())
        return false;
    const bool big = file.header.bigtiff;
    if (big && !Written(m, 0, 16))
        return false;
    for (const auto *dirs : {&file.chain, &file.linked}) {
        for (const ifd::Directory &dir : *dirs) {
            const uint64_t n = dir.entries.size();
            if (!Written(m, dir.offset, big ? 16 + 20 * n : 6 + 12 * n))
                return false;
            for (const ifd::Entry &e : dir.entries) {
                if (!e.is_inline && !Written(m, e.value_at, e.count * ifd::TypeSize(e.type)))
                    return false;
            }
            const ifd::Entry *offsets = ifd::FindEntry(dir, ifd::tag::StripOffsets);
            const ifd::Entry *counts = ifd::FindEntry(dir, ifd::tag::StripByteCounts);
            if (!offsets || !counts)
                continue;
            for (size_t s = 0; s < offsets->values.size() && s < counts->values.size(); s++) {
                if (!Written(m, offsets->values[s], counts->values[s]))
                    return false;
            }
        }
    }
    return true;
}

// The rules of a failure, one line each per step and fault.
enum Rule : uint8_t { AsSuccess, NoMessage, Claims, ReadsWrong, RuleCount };

struct Tally {
    unsigned cases = 0;
    unsigned broken[RuleCount] = {};
    unsigned first[RuleCount] = {};
};

void SayTally(const char *name, const client::StepInfo &s, const client::FaultInfo &f,
              const Tally &t)
{
    for (unsigned r = 0; r < RuleCount; r++) {
        if (!t.broken[r])
            continue;
        std::string what;
        switch (r) {
        case AsSuccess:
            what = std::string(f.what) + " reported as success by " + s.call;
            break;
        case NoMessage:
            what = std::string(f.what) + " without a message";
            break;
        case Claims:
            what = std::string("after ") + f.what + " the file claims bytes never written";
            break;
        default:
            what = std::string("after ") + f.what + " the file reads back wrong without a message";
        }
        probe::Say<probe::Line::StepBroken>(name, s.name, what.c_str(), t.broken[r], t.cases,
                                            f.call, t.first[r]);
    }
}

// The stage a step belongs to.
enum class Stage : uint8_t { Write, Update, Read };
Stage StageOf(Step s)
{
    if (s <= Step::CloseWrite)
        return Stage::Write;
    return s <= Step::CloseUpdate ? Stage::Update : Stage::Read;
}

// The three stages without a fault, each from the last one's file.
struct Clean {
    MemFile written;
    MemFile updated;
    MemFile read;
};

// Runs one stage on `m`, its messages counted and not printed: `run` is
// what its calls returned, `after` the reading of its result (the reader's
// own reading), `claims` whether the file claims only bytes written.
void RunStage(Stage stage, MemFile *m, const std::string &handle, const Layout &layout,
              Reading *run, Reading *after, bool *claims)
{
    Listener l;
    const probe::ExpectedMessages quiet;
    if (stage == Stage::Read) {
        ReadPages(m, handle.c_str(), "rm", client::updated_description, nullptr, nullptr, &l, run);
        run->messages = l.Messages() + static_cast<unsigned>(quiet.Count());
        *after = *run;
        *claims = true;
        return;
    }
    if (stage == Stage::Write)
        Writer(m, handle.c_str(), probe::Mode(layout, probe::Access::Create), nullptr, &l, run);
    else
        Updater(m, handle.c_str(), &l, run);
    run->messages = l.Messages() + static_cast<unsigned>(quiet.Count());
    *claims = ClaimsOnlyWritten(*m);
    // Read back with procedures that do not fail.
    MemFile back = Copy(*m);
    Listener lb;
    const unsigned long before = quiet.Count();
    if (stage == Stage::Write)
        ReadPages(&back, handle.c_str(), "rm", pages[0].description, nullptr, nullptr, &lb, after);
    else
        ReadPages(&back, handle.c_str(), "rm", client::updated_description, pages[0].description,
                  nullptr, &lb, after);
    // The handlers count behind the analyzer's back.
    // cppcheck-suppress duplicateExpression
    after->messages = lb.Messages() + static_cast<unsigned>(quiet.Count() - before);
}

// The failure sweep of one layout: every call of every procedure in every
// step broken in turn, each case judged by the rule at the top.
bool Sweep(const Layout &layout)
{
    const char *name = layout.filename;
    const std::string handle = std::string("sweep_") + name;
    Clean clean;
    Reading run[3];
    Reading after[3];
    bool claims[3];

    RunStage(Stage::Write, &clean.written, handle, layout, &run[0], &after[0], &claims[0]);
    clean.updated = Copy(clean.written);
    RunStage(Stage::Update, &clean.updated, handle, layout, &run[1], &after[1], &claims[1]);
    clean.read = Copy(clean.updated);
    RunStage(Stage::Read, &clean.read, handle, layout, &run[2], &after[2], &claims[2]);
    for (int i = 0; i < 3; i++) {
        if (!after[i].Whole() || !claims[i] || run[i].messages) {
            probe::Say<probe::Line::NotWhole>(name);
            return false;
        }
    }

    bool ok = true;
    for (const client::StepInfo &s : steps) {
        const Stage stage = StageOf(s.step);
        const MemFile &counted = stage == Stage::Write    ? clean.written
                                 : stage == Stage::Update ? clean.updated
                                                          : clean.read;
        for (const client::FaultInfo &f : faults) {
            const unsigned n =
                std::min(counted.calls[Index(s.step)][Index(f.fault)], client::max_calls_swept);
            Tally t;
            for (unsigned at = 1; at <= n; at++) {
                MemFile m = stage == Stage::Write    ? MemFile()
                            : stage == Stage::Update ? Copy(clean.written)
                                                     : Copy(clean.updated);
                m.fault = f.fault;
                m.fault_step = s.step;
                m.fault_at = at;
                Reading r;
                Reading back;
                bool sound = true;
                RunStage(stage, &m, handle, layout, &r, &back, &sound);
                if (!m.fired)
                    continue;
                t.cases++;
                const bool whole = back.Whole();
                const bool failed = r.failed[Index(s.step)];
                bool broken[RuleCount] = {};
                if (!whole && s.returns_status && !failed && (s.writes || r.messages == 0))
                    broken[AsSuccess] = true;
                if ((failed || (!whole && !s.returns_status)) && r.messages == 0)
                    broken[NoMessage] = true;
                if (!sound)
                    broken[Claims] = true;
                if (back.wrong && back.messages == 0 && !broken[AsSuccess])
                    broken[ReadsWrong] = true;
                for (unsigned k = 0; k < RuleCount; k++) {
                    if (broken[k] && t.broken[k]++ == 0)
                        t.first[k] = at;
                }
            }
            for (unsigned k : t.broken) {
                if (k)
                    ok = false;
            }
            SayTally(name, s, f, t);
        }
    }
    return ok;
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

#if TIFF_PROBES_HAVE_OPEN_OPTIONS

// "NAME: CALL: WHAT."
bool Broken(const char *name, const char *call, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
bool Broken(const char *name, const char *call, const char *format, ...)
{
    char what[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(what, sizeof(what), format, ap);
    va_end(ap);
    probe::Say<probe::Line::OptionBroken>(name, call, what);
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
            ok =
                Broken(name, call, "called %u times for one message, expected 1", c.calls - before);
        else if (c.last != expect)
            ok = Broken(name, call, "given \"%s\", expected \"%s\"", c.last.c_str(), expect);
        if (wide.Count() != row.library_wide)
            ok = Broken(name, call,
                        "the library-wide handler called %lu times, expected %u, the handler "
                        "returning %d",
                        wide.Count(), row.library_wide, row.stop);
    }
    // A message the library makes itself: the handler takes it, and with 0
    // returned, the library-wide handler gets it once too.
    {
        l.error.stop = 0;
        const unsigned before = l.error.calls;
        const probe::ExpectedMessages wide;
        TIFFSetField(tif, 65000, 1);
        // The handler counts behind the analyzer's back.
        // cppcheck-suppress duplicateExpression
        const unsigned own = l.error.calls - before;
        // cppcheck-suppress knownConditionTrueFalse
        if (own == 0)
            ok = Broken(name, "TIFFOpenOptionsSetErrorHandlerExtR",
                        "not called for the library's error on an unknown tag");
        else if (wide.Count() != own)
            ok = Broken(name, "TIFFOpenOptionsSetErrorHandlerExtR",
                        "%u messages of the handle, %lu reached the library-wide handler", own,
                        wide.Count());
    }
    for (const Channel *c : {&l.error, &l.warning}) {
        const char *call = c->error ? "TIFFOpenOptionsSetErrorHandlerExtR"
                                    : "TIFFOpenOptionsSetWarningHandlerExtR";
        if (c->wrong_handle)
            ok = Broken(name, call, "called %u times with another handle than the one opened",
                        c->wrong_handle);
        if (c->wrong_kind)
            ok = Broken(name, call, "called %u times with the other handler's user data",
                        c->wrong_kind);
    }
    if (lost_user_data)
        ok = Broken(name, "TIFFOpenOptionsSetErrorHandlerExtR",
                    "called %u times without the user data given", lost_user_data);
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
            ok = Broken(name, "TIFFOpenOptionsSetErrorHandlerExtR",
                        "called for a message of another handle");
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
    const char *call = "TIFFOpenOptionsSetMaxSingleMemAlloc";
    bool ok = true;
    unsigned errors = 0;
    {
        const probe::ExpectedMessages quiet;
        if (ReadsUnder(image, client::refused_limit, name, &errors))
            ok = Broken(name, call, "a directory of %u strips read under a limit of %ld bytes",
                        client::limit_strips, client::refused_limit);
        else if (errors == 0)
            ok = Broken(name, call, "a directory of %u strips refused without a message",
                        client::limit_strips);
    }
    const unsigned long messages = LibraryMessages();
    if (!ReadsUnder(image, client::ample_limit, name, &errors) || errors)
        ok = Broken(name, call, "a directory of %u strips refused under a limit of %ld bytes",
                    client::limit_strips, client::ample_limit);
    return probe::LibraryQuiet(name, messages) && ok;
}

#endif

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
