#include "mem_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace probe {

namespace {

// No case comes near this; a library that runs away writing gets a failed
// write instead of the machine's memory.
constexpr uint64_t max_size = 16U << 20;

tmsize_t MemRead(thandle_t h, void *buf, tmsize_t n)
{
    auto *m = static_cast<MemFile *>(h);
    const uint64_t size = m->bytes->size();
    if (n < 0 || m->at >= size)
        return 0;
    const uint64_t k = std::min<uint64_t>(static_cast<uint64_t>(n), size - m->at);
    memcpy(buf, m->bytes->data() + m->at, k);
    m->at += k;
    return static_cast<tmsize_t>(k);
}

tmsize_t MemWrite(thandle_t h, void *buf, tmsize_t n)
{
    auto *m = static_cast<MemFile *>(h);
    if (!m->writable || n < 0)
        return -1;
    const auto k = static_cast<uint64_t>(n);
    if (m->at > max_size || k > max_size - m->at)
        return -1;
    if (m->at + k > m->bytes->size())
        m->bytes->resize(m->at + k);
    if (k > 0)
        memcpy(m->bytes->data() + m->at, buf, k);
    m->at += k;
    return n;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence)
{
    auto *m = static_cast<MemFile *>(h);
    const uint64_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes->size() : 0;
    m->at = base + off;
    return m->at;
}

int MemClose(thandle_t /*h*/)
{
    return 0;
}

toff_t MemSize(thandle_t h)
{
    return static_cast<MemFile *>(h)->bytes->size();
}

// A file being written may move as it grows: only a read-only one is mapped.
int MemMap(thandle_t h, void **base, toff_t *size)
{
    auto *m = static_cast<MemFile *>(h);
    if (m->writable)
        return 0;
    *base = m->bytes->data();
    *size = m->bytes->size();
    return 1;
}

void MemUnmap(thandle_t /*h*/, void * /*base*/, toff_t /*size*/) {}

} // namespace

TIFF *OpenMemFile(const char *name, const char *mode, MemFile *m)
{
    m->at = 0;
    return TIFFClientOpen(name, mode, m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                          MemUnmap);
}

} // namespace probe
