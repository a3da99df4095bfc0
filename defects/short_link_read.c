/* A short read of the link to the next directory (docs/known-defects.md).
 *
 * A two-page file in memory is opened through TIFFClientOpen with a read
 * procedure that returns half the bytes asked for on its Nth call during
 * the open, each N in turn. TIFFReadDirectory(3tiff): "0 is returned if an
 * error was encountered, or if there are no more directories to be read".
 * A failed read must not pass for the end of the file: the open or
 * TIFFReadDirectory must fail with a message, or the second page be found.
 *
 * Exit status: 0 when so, 1 when the open succeeds and TIFFReadDirectory
 * returns 0, neither saying anything (the defect: the link to the second
 * page, read short, is taken for the end of the chain), 2 when the program
 * cannot run. */
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

int main(void)
{
    static struct memfile m;
    unsigned n;
    TIFF *tif;

    TIFFSetErrorHandler(count_message);
    TIFFSetWarningHandler(count_message);
    tif = mem_open(&m, "wl");
    if (!tif || !write_page(tif) || !TIFFWriteDirectory(tif) || !write_page(tif))
        return 2;
    TIFFClose(tif);
    for (n = 1; n <= 16; n++) {
        unsigned reads;
        int next;

        messages = 0;
        m.reads = 0;
        m.counting = 1;
        m.fail_read = n;
        tif = mem_open(&m, "rm");
        m.counting = 0;
        reads = m.reads;
        if (n > reads) {
            if (tif)
                TIFFClose(tif);
            break;
        }
        if (!tif)
            continue;
        next = TIFFReadDirectory(tif);
        TIFFClose(tif);
        if (!next && messages == 0) {
            printf("read %u of %u in TIFFClientOpen was short, and neither the open nor "
                   "TIFFReadDirectory said so: the file's second page is not found\n",
                   n, reads);
            return 1;
        }
    }
    return 0;
}
