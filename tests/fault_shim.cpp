// Fault-injection shim, preloaded into the shipped probe binaries. It makes
// chosen TIFF library calls fail or return wrong values, so the probes'
// failure paths can be reached with a healthy library.
//
// TIFF_PROBES_FAULTS holds rules separated by ';', each
//     kind[:tag[.index]][@file[:mode]][=value]
// e.g. "set:334", "get-u16:336.1=17", "open:w8", "rewrite-trunc32:273@rewrite5.tif",
// "get-nothing:273@rewrite1.tif:r" (only while that file is open for reading).
// TIFF_PROBES_SHIM_LOG, when set, names a file that receives one line
// "set TAG" per TIFFSetField call of the program.
//
// Only calls made by the program itself are altered: the library calls its
// own exported functions too, and breaking those would test the library.
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <tiffio.h>

#include "tiff_rewrite.h"

namespace {

enum Kind {
    OPEN,            // open:MODE            TIFFOpen with that mode returns null
    SET,             // set:TAG              TIFFSetField returns 0
    GET,             // get:TAG              TIFFGetField returns 0
    GET_NOTHING,     // get-nothing:TAG      TIFFGetField returns 1, stores nothing
    GET_U16,         // get-u16:TAG[.N]=V    out-pointer N receives the uint16 V
    GET_U32,         // get-u32:TAG=V        the out-pointer receives the uint32 V
    GET_CHOP,        // get-chop:TAG         the returned string loses its last character
    GET_BYTE,        // get-byte:TAG.N=V     byte N of the returned string becomes V
    WRITE_SCANLINE,  // write-scanline=R     TIFFWriteScanline returns R, writes nothing
    WRITE_STRIP,     // write-strip[:S]=R    TIFFWriteEncodedStrip (of strip S) returns R
    REWRITE,         // rewrite:TAG          _TIFFRewriteField returns 0
    REWRITE_TRUNC32, // rewrite-trunc32:TAG  the values lose their high 32 bits
    REWRITE_U64,     // rewrite-u64:TAG.N=V  element N becomes V
    MALLOC_NULL,     // malloc-null[:N]      _TIFFmalloc (the program's Nth call) returns null
};

struct KindName {
    const char *name;
    Kind kind;
};

constexpr KindName kind_names[] = {
    {"open", OPEN},
    {"set", SET},
    {"get", GET},
    {"get-nothing", GET_NOTHING},
    {"get-u16", GET_U16},
    {"get-u32", GET_U32},
    {"get-chop", GET_CHOP},
    {"get-byte", GET_BYTE},
    {"write-scanline", WRITE_SCANLINE},
    {"write-strip", WRITE_STRIP},
    {"rewrite", REWRITE},
    {"rewrite-trunc32", REWRITE_TRUNC32},
    {"rewrite-u64", REWRITE_U64},
    {"malloc-null", MALLOC_NULL},
};

struct Rule {
    long long value; // after '='
    long index;      // after '.', -1 when absent
    Kind kind;
    char mode[4];  // after the file and ':', "r" or "r+"; empty matches any
    char arg[16];  // the tag, strip or open mode; empty matches any
    char file[64]; // after '@'; empty matches any file
};

Rule rules[16];
int rule_count = -1;

void die(const char *what, const char *rule)
{
    fprintf(stderr, "fault_shim: %s in rule '%s'\n", what, rule);
    abort();
}

// Copies the characters of `s` up to one of `stops` into `out`.
const char *take(const char *s, const char *stops, char *out, size_t size, const char *rule)
{
    size_t n = strcspn(s, stops);
    if (n >= size)
        die("field too long", rule);
    memcpy(out, s, n);
    out[n] = '\0';
    return s + n;
}

void parse_rule(const char *text, Rule *r)
{
    char name[32];
    const char *p = take(text, ":@=", name, sizeof(name), text);
    size_t i;

    for (i = 0; i < sizeof(kind_names) / sizeof(kind_names[0]); i++) {
        if (strcmp(name, kind_names[i].name) == 0)
            break;
    }
    if (i == sizeof(kind_names) / sizeof(kind_names[0]))
        die("unknown kind", text);
    r->kind = kind_names[i].kind;
    r->arg[0] = '\0';
    r->index = -1;
    r->file[0] = '\0';
    r->mode[0] = '\0';
    r->value = 0;
    if (*p == ':')
        p = take(p + 1, ".@=", r->arg, sizeof(r->arg), text);
    if (*p == '.') {
        char *end;
        r->index = strtol(p + 1, &end, 10);
        p = end;
    }
    if (*p == '@')
        p = take(p + 1, ":=", r->file, sizeof(r->file), text);
    if (*p == ':')
        p = take(p + 1, "=", r->mode, sizeof(r->mode), text);
    if (*p == '=') {
        char *end;
        r->value = strtoll(p + 1, &end, 0);
        p = end;
    }
    if (*p != '\0')
        die("trailing characters", text);
}

void load_rules()
{
    const char *env = getenv("TIFF_PROBES_FAULTS");
    char text[1024];
    char *save = nullptr;
    char *item;

    rule_count = 0;
    if (!env)
        return;
    if (snprintf(text, sizeof(text), "%s", env) >= static_cast<int>(sizeof(text)))
        die("rules too long", env);
    for (item = strtok_r(text, ";", &save); item; item = strtok_r(nullptr, ";", &save)) {
        if (rule_count == sizeof(rules) / sizeof(rules[0]))
            die("too many rules", item);
        parse_rule(item, &rules[rule_count++]);
    }
}

const char *base_name(const char *path)
{
    const char *slash = path ? strrchr(path, '/') : nullptr;
    return slash ? slash + 1 : (path ? path : "");
}

// Whether a handle open in `open_flags` matches a rule's mode.
bool mode_matches(const Rule &r, int open_flags)
{
    if (!r.mode[0])
        return true;
    if (strcmp(r.mode, "r") == 0)
        return open_flags == O_RDONLY;
    return strcmp(r.mode, "r+") == 0 && open_flags == O_RDWR;
}

// The first rule of `kind` whose argument, file and mode match, or null.
const Rule *find(Kind kind, const char *arg, const char *file, int open_flags = -1)
{
    int i;

    if (rule_count < 0)
        load_rules();
    for (i = 0; i < rule_count; i++) {
        const Rule &r = rules[i];
        if (r.kind != kind)
            continue;
        if (r.arg[0] && (!arg || strcmp(r.arg, arg) != 0))
            continue;
        if (r.file[0] && strcmp(r.file, base_name(file)) != 0)
            continue;
        if (!mode_matches(r, open_flags))
            continue;
        return &r;
    }
    return nullptr;
}

const Rule *find_tag(Kind kind, unsigned long tag, TIFF *tif)
{
    char arg[16];
    snprintf(arg, sizeof(arg), "%lu", tag);
    return find(kind, arg, tif ? TIFFFileName(tif) : nullptr, tif ? TIFFGetMode(tif) : -1);
}

template <typename Fn>
Fn next(const char *name)
{
    void *sym = dlsym(RTLD_NEXT, name);
    if (!sym) {
        fprintf(stderr, "fault_shim: no next %s\n", name);
        abort();
    }
    return reinterpret_cast<Fn>(sym);
}

// True when `caller` lies outside the TIFF library, i.e. in the program.
bool from_program(const void *caller)
{
    static const void *tiff_base = nullptr;
    Dl_info info;

    if (!tiff_base) {
        if (!dladdr(reinterpret_cast<void *>(&TIFFVGetField), &info))
            abort();
        tiff_base = info.dli_fbase;
    }
    if (!dladdr(caller, &info))
        return true;
    return info.dli_fbase != tiff_base;
}

// The first one or two out-pointers of a TIFFGetField call. The analyzer,
// seeing this function on its own, cannot know that the caller's va_start
// initialised `ap`.
void out_pointers(va_list ap, bool pair, void **out)
{
    // NOLINTBEGIN(clang-analyzer-valist.Uninitialized)
    out[0] = va_arg(ap, void *);
    if (pair)
        out[1] = va_arg(ap, void *);
    // NOLINTEND(clang-analyzer-valist.Uninitialized)
}

void log_set(unsigned long tag)
{
    const char *path = getenv("TIFF_PROBES_SHIM_LOG");
    FILE *f;

    if (!path)
        return;
    f = fopen(path, "a");
    if (!f)
        return;
    fprintf(f, "set %lu\n", tag);
    fclose(f);
}

} // namespace

extern "C" {

TIFF *TIFFOpen(const char *name, const char *mode)
{
    static auto real = next<TIFF *(*)(const char *, const char *)>("TIFFOpen");

    if (from_program(__builtin_return_address(0)) && find(OPEN, mode, name)) {
        errno = EACCES;
        return nullptr;
    }
    return real(name, mode);
}

int TIFFSetField(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    int result;

    if (from_program(__builtin_return_address(0))) {
        log_set(tag);
        if (find_tag(SET, tag, tif))
            return 0;
    }
    va_start(ap, tag);
    result = TIFFVSetField(tif, tag, ap);
    va_end(ap);
    return result;
}

int TIFFGetField(TIFF *tif, uint32_t tag, ...)
{
    const bool faulty = from_program(__builtin_return_address(0));
    void *out[2] = {nullptr, nullptr};
    const Rule *r;
    va_list ap;
    int result;

    if (faulty && find_tag(GET, tag, tif))
        return 0;
    if (faulty && find_tag(GET_NOTHING, tag, tif))
        return 1;
    va_start(ap, tag);
    result = TIFFVGetField(tif, tag, ap);
    va_end(ap);
    if (!faulty || !result)
        return result;

    // Walk the out-pointers again to alter what the library stored; a pair's
    // second pointer is read only for a rule that names it.
    r = find_tag(GET_U16, tag, tif);
    va_start(ap, tag);
    out_pointers(ap, r && r->index == 1, out);
    va_end(ap);

    if (r)
        *static_cast<uint16_t *>(out[r->index == 1 ? 1 : 0]) = static_cast<uint16_t>(r->value);
    if ((r = find_tag(GET_U32, tag, tif)) != nullptr)
        *static_cast<uint32_t *>(out[0]) = static_cast<uint32_t>(r->value);
    if (find_tag(GET_CHOP, tag, tif)) {
        char *s = *static_cast<char **>(out[0]);
        if (s && *s)
            s[strlen(s) - 1] = '\0';
    }
    if ((r = find_tag(GET_BYTE, tag, tif)) != nullptr && r->index >= 0) {
        char *s = *static_cast<char **>(out[0]);
        if (s)
            s[r->index] = static_cast<char>(r->value);
    }
    return result;
}

int TIFFWriteScanline(TIFF *tif, void *buf, uint32_t row, uint16_t sample)
{
    static auto real = next<int (*)(TIFF *, void *, uint32_t, uint16_t)>("TIFFWriteScanline");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) &&
        (r = find(WRITE_SCANLINE, nullptr, TIFFFileName(tif), TIFFGetMode(tif))) != nullptr)
        return static_cast<int>(r->value);
    return real(tif, buf, row, sample);
}

tmsize_t TIFFWriteEncodedStrip(TIFF *tif, uint32_t strip, void *data, tmsize_t cc)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFWriteEncodedStrip");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) &&
        (r = find_tag(WRITE_STRIP, strip, tif)) != nullptr)
        return static_cast<tmsize_t>(r->value);
    return real(tif, strip, data, cc);
}

int _TIFFRewriteField(TIFF *tif, uint16_t tag, TIFFDataType in_datatype, tmsize_t count, void *data)
{
    static auto real =
        next<int (*)(TIFF *, uint16_t, TIFFDataType, tmsize_t, void *)>("_TIFFRewriteField");
    const Rule *r;
    uint64_t *copy;
    int result;

    if (!from_program(__builtin_return_address(0)))
        return real(tif, tag, in_datatype, count, data);
    if (find_tag(REWRITE, tag, tif))
        return 0;
    const Rule *trunc = find_tag(REWRITE_TRUNC32, tag, tif);
    r = find_tag(REWRITE_U64, tag, tif);
    if (!trunc && !r)
        return real(tif, tag, in_datatype, count, data);

    // Alter a copy: the program's array must stay as it wrote it.
    copy = static_cast<uint64_t *>(malloc(static_cast<size_t>(count) * sizeof(uint64_t)));
    if (!copy)
        abort();
    memcpy(copy, data, static_cast<size_t>(count) * sizeof(uint64_t));
    for (tmsize_t i = 0; trunc && i < count; i++)
        copy[i] &= 0xffffffffU;
    if (r && r->index >= 0 && r->index < count)
        copy[r->index] = static_cast<uint64_t>(r->value);
    result = real(tif, tag, in_datatype, count, copy);
    free(copy);
    return result;
}

void *_TIFFmalloc(tmsize_t size)
{
    static auto real = next<void *(*)(tmsize_t)>("_TIFFmalloc");
    static int calls = 0;
    char ordinal[16];

    if (!from_program(__builtin_return_address(0)))
        return real(size);
    snprintf(ordinal, sizeof(ordinal), "%d", ++calls);
    if (find(MALLOC_NULL, ordinal, nullptr))
        return nullptr;
    return real(size);
}

} // extern "C"
