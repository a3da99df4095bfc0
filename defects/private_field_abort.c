/* Reading a private field the program registered stops the program
 * (docs/known-defects.md).
 *
 * Two private fields, registered with TIFFMergeFieldInfo(3tiff) in forms
 * its TIFFFieldInfo allows: an ASCII field with TIFF_VARIABLE and its count
 * passed (TIFFFieldPassCount(3tiff) describes a 16-bit count for it), and
 * an IFD field of three values. A little-endian classic file, built byte by
 * byte, holds the one ("abc") or the other (three offsets). Each file is
 * opened in a child process of its own.
 *
 * Exit status: 0 when both open, 1 when one stops its child on a signal (the
 * defect: an assertion of the library; the signal printed), 2 when the
 * program cannot run. */
#define _POSIX_C_SOURCE 200809L
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#define TEXT_TAG 65202
#define IFD_TAG 65313

static unsigned char file[512];
static TIFFExtendProc previous;
static char text_name[] = "private text";
static char ifd_name[] = "private ifd";

static void add_fields(TIFF *tif)
{
    static const TIFFFieldInfo info[] = {
        {TEXT_TAG, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 1, text_name},
        {IFD_TAG, 3, 3, TIFF_IFD, FIELD_CUSTOM, 1, 0, ifd_name}};
    TIFFMergeFieldInfo(tif, info, 2);
    if (previous)
        previous(tif);
}

static void put16(unsigned at, unsigned v)
{
    file[at] = (unsigned char)v;
    file[at + 1] = (unsigned char)(v >> 8);
}

static void put32(unsigned at, uint32_t v)
{
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
}

static void entry(unsigned i, unsigned tag, unsigned type, uint32_t count, uint32_t value)
{
    const unsigned at = 8 + 2 + 12 * i;
    put16(at, tag);
    put16(at + 2, type);
    put32(at + 4, count);
    put32(at + 8, value);
}

/* A one-pixel page with the private field `tag`; the file's status as a
 * child's: 0 opened, 3 refused, or the signal that stopped it. */
static int try_field(const char *path, unsigned tag)
{
    const unsigned entries = 9;
    const unsigned values = 8 + 2 + 12 * entries + 4;
    const unsigned pixel = values + 12;
    const unsigned size = pixel + 1;
    FILE *f;
    pid_t pid;
    int status;

    memset(file, 0, sizeof(file));
    file[0] = 'I';
    file[1] = 'I';
    put16(2, 42);
    put32(4, 8);
    put16(8, entries);
    entry(0, 256, 3, 1, 1);
    entry(1, 257, 3, 1, 1);
    entry(2, 258, 3, 1, 8);
    entry(3, 259, 3, 1, 1);
    entry(4, 262, 3, 1, 1);
    entry(5, 273, 4, 1, pixel);
    entry(6, 278, 3, 1, 1);
    entry(7, 279, 4, 1, 1);
    if (tag == TEXT_TAG) {
        entry(8, tag, 2, 4, 0);
        memcpy(file + 8 + 2 + 12 * 8 + 8, "abc", 4); /* inline */
    } else {
        entry(8, tag, 13, 3, values);
        put32(values, 8);
        put32(values + 4, 8);
        put32(values + 8, 8);
    }
    put32(8 + 2 + 12 * entries, 0);
    file[pixel] = 7;
    f = fopen(path, "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return -1;
    fflush(stdout);
    pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        TIFF *tif = TIFFOpen(path, "r");
        if (!tif)
            _exit(3);
        TIFFClose(tif);
        _exit(0);
    }
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    remove(path);
    if (WIFSIGNALED(status))
        return 100 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int main(void)
{
    int text, ifd, wrong = 0;

    previous = TIFFSetTagExtender(add_fields);
    text = try_field("private_field_abort_text.tif", TEXT_TAG);
    ifd = try_field("private_field_abort_ifd.tif", IFD_TAG);
    if (text < 0 || ifd < 0 || text == 3 || ifd == 3)
        return 2;
    if (text >= 100) {
        printf("ASCII, TIFF_VARIABLE, count passed: the child stopped by signal %d\n", text - 100);
        wrong = 1;
    }
    if (ifd >= 100) {
        printf("IFD, three values: the child stopped by signal %d\n", ifd - 100);
        wrong = 1;
    }
    return wrong;
}
