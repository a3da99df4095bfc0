// The procedures of a memory file (memory_file.h).
#include "memory_file.h"

#include <algorithm>
#include <cstring>

namespace probe {
namespace {

// No probe's file comes near this; a library that runs away writing gets a
// failed write instead of the machine's memory.
constexpr uint64_t max_bytes = 16U << 20;

tmsize_t MemRead(thandle_t h, void *buf, tmsize_t n)
{
    auto *m = static_cast<MemoryFile *>(h);
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
    auto *m = static_cast<MemoryFile *>(h);
    if (!m->writable || n < 0 || m->at > max_bytes || static_cast<uint64_t>(n) > max_bytes - m->at)
        return -1;
    const uint64_t end = m->at + static_cast<uint64_t>(n);
    if (end > m->writable->size())
        m->writable->resize(end);
    if (n > 0)
        memcpy(m->writable->data() + m->at, buf, static_cast<size_t>(n));
    m->at = end;
    return n;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence)
{
    auto *m = static_cast<MemoryFile *>(h);
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
    return static_cast<MemoryFile *>(h)->bytes->size();
}

// A file being written may move as it grows: only a read-only one is mapped.
int MemMap(thandle_t h, void **base, toff_t *size)
{
    auto *m = static_cast<MemoryFile *>(h);
    if (m->writable)
        return 0;
    *base = const_cast<uint8_t *>(m->bytes->data());
    *size = m->bytes->size();
    return 1;
}

void MemUnmap(thandle_t /*h*/, void * /*base*/, toff_t /*size*/) {}

} // namespace

TIFF *OpenMemory(const char *name, const char *mode, MemoryFile *mem)
{
    mem->at = 0;
    return TIFFClientOpen(name, mode, mem, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                          MemUnmap);
}

} // namespace probe
