/* A directory linked though its write failed (docs/known-defects.md).
 *
 * Two pages are written into a file in memory through TIFFClientOpen, the
 * second by TIFFClose, whose write procedure fails on its Nth call, each N
 * in turn. Whatever fails, the first page must not link to a directory
 * that was never written.
 *
 * Exit status: 0 when it never does, 1 when page 0 links to bytes no write
 * stored (the defect), 2 when the program cannot run. */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

/* A file in memory behind TIFFClientOpen: the procedures count their calls
 * and fail the one the program names. */
#define MAX_BYTES 65536

struct memfile {
    unsigned char bytes[MAX_BYTES];
    unsigned char written[MAX_BYTES]; /* 1 where a write stored the byte */
    uint64_t size, pos;
    int counting;                              /* calls are counted while this is set */
    unsigned reads, writes, seeks;             /* counted calls */
    unsigned fail_read, fail_write, fail_seek; /* the call to break, 0 for none */
};

static tmsize_t mem_read(thandle_t h, void *buf, tmsize_t n)
{
    struct memfile *m = h;
    uint64_t left = m->pos < m->size ? m->size - m->pos : 0;
    uint64_t got = (uint64_t)n < left ? (uint64_t)n : left;

    if (m->counting && ++m->reads == m->fail_read)
        got /= 2; /* a short read */
    memcpy(buf, m->bytes + m->pos, (size_t)got);
    m->pos += got;
    return (tmsize_t)got;
}

static tmsize_t mem_write(thandle_t h, void *buf, tmsize_t n)
{
    struct memfile *m = h;

    if (m->counting && ++m->writes == m->fail_write)
        return -1;
    if (n < 0 || m->pos + (uint64_t)n > MAX_BYTES)
        return -1;
    memcpy(m->bytes + m->pos, buf, (size_t)n);
    memset(m->written + m->pos, 1, (size_t)n);
    m->pos += (uint64_t)n;
    if (m->pos > m->size)
        m->size = m->pos;
    return n;
}

static toff_t mem_seek(thandle_t h, toff_t off, int whence)
{
    struct memfile *m = h;
    uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;

    if (m->counting && ++m->seeks == m->fail_seek)
        return (toff_t)-1;
    m->pos = base + off;
    return m->pos;
}

static int mem_close(thandle_t h)
{
    (void)h;
    return 0;
}

static toff_t mem_size(thandle_t h)
{
    return ((struct memfile *)h)->size;
}

static int mem_map(thandle_t h, void **base, toff_t *size)
{
    (void)h;
    (void)base;
    (void)size;
    return 0;
}

static void mem_unmap(thandle_t h, void *base, toff_t size)
{
    (void)h;
    (void)base;
    (void)size;
}

static TIFF *mem_open(struct memfile *m, const char *mode)
{
    m->pos = 0;
    return TIFFClientOpen("memory.tif", mode, m, mem_read, mem_write, mem_seek, mem_close, mem_size,
                          mem_map, mem_unmap);
}

/* The library's messages, counted and not printed. */
static unsigned messages;

static void count_message(const char *module, const char *fmt, va_list ap)
{
    (void)module;
    (void)fmt;
    (void)ap;
    messages++;
}

/* A page of 8 x 4 grey pixels in one strip, described "page". */
static int write_page(TIFF *tif)
{
    unsigned char pixels[32];

    memset(pixels, 0x55, sizeof(pixels));
    return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4) &&
           TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
           TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
           TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4) &&
           TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "a page described at length") &&
           TIFFWriteEncodedStrip(tif, 0, pixels, sizeof(pixels)) == (tmsize_t)sizeof(pixels);
}

/* The first IFD offset of a classic little-endian file, or 0. */
static uint32_t first_ifd(const struct memfile *m)
{
    if (m->size < 8 || memcmp(m->bytes, "II*\0", 4) != 0)
        return 0;
    return (uint32_t)m->bytes[4] | (uint32_t)m->bytes[5] << 8 | (uint32_t)m->bytes[6] << 16 |
           (uint32_t)m->bytes[7] << 24;
}

/* The link after the first IFD, or 0 where the file holds none. */
static uint32_t first_link(const struct memfile *m)
{
    uint32_t d0 = first_ifd(m), at;
    unsigned count;

    if (d0 == 0 || (uint64_t)d0 + 2 > m->size)
        return 0;
    count = (unsigned)m->bytes[d0] | (unsigned)m->bytes[d0 + 1] << 8;
    at = d0 + 2 + 12 * count;
    if ((uint64_t)at + 4 > m->size)
        return 0;
    return (uint32_t)m->bytes[at] | (uint32_t)m->bytes[at + 1] << 8 |
           (uint32_t)m->bytes[at + 2] << 16 | (uint32_t)m->bytes[at + 3] << 24;
}

int main(void)
{
    static struct memfile m;
    unsigned n;

    TIFFSetErrorHandler(count_message);
    TIFFSetWarningHandler(count_message);
    for (n = 1; n <= 16; n++) {
        TIFF *tif;
        uint32_t link;

        memset(&m, 0, sizeof(m));
        tif = mem_open(&m, "wl");
        if (!tif || !write_page(tif) || !TIFFWriteDirectory(tif) || !write_page(tif))
            return 2;
        messages = 0;
        m.counting = 1;
        m.fail_write = n;
        /* Page 1's directory is written by the close. */
        TIFFClose(tif);
        if (n > m.writes)
            break;
        link = first_link(&m);
        if (link != 0 &&
            ((uint64_t)link + 2 > m.size || !m.written[link] || !m.written[link + 1])) {
            printf("write %u of %u in TIFFClose failed (%u messages); page 0 now links to offset "
                   "%u, where no directory was written (the file holds %u bytes)\n",
                   n, m.writes, messages, link, (unsigned)m.size);
            return 1;
        }
    }
    return 0;
}
