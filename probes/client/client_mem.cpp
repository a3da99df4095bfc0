// client_probe's file in memory: the procedures it gives TIFFClientOpen,
// each counting its calls and failing the one it is told to, and the
// handlers of the open options.
#include <algorithm>
#include <cstdarg>
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

unsigned lost_user_data = 0;

// The same bytes, with fresh bookkeeping.
MemFile Copy(const MemFile &m)
{
    MemFile c;
    c.bytes = m.bytes;
    c.written = m.written;
    return c;
}

namespace {

// No page of the probe comes near this; a library that runs away writing
// gets a failed write instead of the machine's memory.
constexpr uint64_t max_image = 16U << 20;

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

} // namespace

TIFF *OpenMem(MemFile *m, const char *name, const char *mode, Listener *l, long max_alloc)
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

void SayCantCreate(const char *name)
{
    probe::Say<probe::Line::CantCreate>(name);
}
void SayCantOpen(const char *name)
{
    probe::Say<probe::Line::CantOpen>(name);
}

} // namespace client_probe
