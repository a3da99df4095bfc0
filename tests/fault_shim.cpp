// Fault-injection shim, preloaded into the shipped probe binaries. It makes
// chosen TIFF library calls fail or return wrong values, so the probes'
// failure paths can be reached with a healthy library.
//
// TIFF_PROBES_FAULTS holds rules separated by ';', each
//     kind[:tag[.index]][@file[:mode]][=value]
// e.g. "set:334", "get-u16:336.1=17", "open:w8", "rewrite-trunc32:273@rewrite5.tif",
// "get-nothing:273@rewrite1.tif:r" (only on a handle of that file that TIFFOpen
// opened for reading: a mode matches by its access, r, r+, w or a, as given to
// TIFFOpen, since the library's own mode flags are O_RDWR for "w" and "a" too).
// TIFF_PROBES_SHIM_LOG, when set, names a file that receives one line
// "set TAG" per TIFFSetField call of the program; TIFF_PROBES_WARNING, when
// set, is appended to the text of the warnings that `warn` injects.
//
// Only calls made by the program itself are altered: the library calls its
// own exported functions too, and breaking those would test the library.
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <tiffio.h>

#include "ifd_reader.h"
#include "tiff_rewrite.h"

namespace {

enum Kind {
    OPEN,            // open:MODE            TIFFOpen with that mode returns null
    SET,             // set:TAG              TIFFSetField returns 0
    VSET,            // vset:TAG             TIFFVSetField returns 0
    GET,             // get:TAG              TIFFGetField returns 0
    GET_NOTHING,     // get-nothing:TAG      TIFFGetField returns 1, stores nothing
    GET_STALE,       // get-stale:TAG        the same, for a pointer-valued TAG, but a
                     //                      pointer the program left in the out-variable
                     //                      reaches the true value, as reused memory may
    GET_U16,         // get-u16:TAG[.N]=V    out-pointer N receives the uint16 V
    GET_U32,         // get-u32:TAG=V        the out-pointer receives the uint32 V
    GET_CHOP,        // get-chop:TAG         the returned string loses its last character
    GET_BYTE,        // get-byte:TAG.N=V     byte N of the returned string becomes V
    GET_PAD,         // get-pad:TAG          a field fetched with its count comes one
                     //                      value longer, the last value zero
    WRITE_SCANLINE,  // write-scanline=R     TIFFWriteScanline returns R, writes nothing
    WRITE_STRIP,     // write-strip[:S]=R    TIFFWriteEncodedStrip (of strip S) returns R
    REWRITE,         // rewrite:TAG          _TIFFRewriteField returns 0
    REWRITE_TRUNC32, // rewrite-trunc32:TAG  the values lose their high 32 bits
    REWRITE_U64,     // rewrite-u64:TAG.N=V  element N becomes V
    MALLOC_NULL,     // malloc-null[:N]      _TIFFmalloc (the program's Nth call) returns null
    KEEP,            // keep[@file]          unlink succeeds but removes nothing
    WARN,            // warn:TAG             TIFFSetField succeeds, and the library warns
    SET_IGNORED,     // set-ignored:TAG      TIFFSetField returns 1 and sets nothing: a
                     //                      codec that takes a setting and ignores it
    SET_OK,          // set-ok:TAG           TIFFSetField returns 1 where the library refused
                     //                      (its own error still said): a library that
                     //                      changes a setting its man page fixes once
                     //                      data is written
    SET_KEPT,        // set-kept:TAG         TIFFSetField sets the value and returns 0: a
                     //                      library that reports a failure it did not have
    SWAP_ORDER,      // swap-order:MODE      TIFFOpen writes the other byte order than MODE's
                     //                      b or l, as a library that ignores it does on a
                     //                      host of the other order (on every host alike)
    POKE,            // poke:TAG[/D].N@file=V  after the program closes the file, byte N of
                     //                      the values of TAG becomes V, in IFD D of the
                     //                      chain if given, else in the first IFD of the
                     //                      chain that holds TAG, else the first linked one
                     //                      (EXIF, GPS, SubIFDs); every poke rule applies;
                     //                      a file the program writes through
                     //                      TIFFClientOpen is poked through its own
                     //                      procedures (write_probe's memory)
    READ_BYTE,       // read-byte:S.N=V      byte N of strip S as TIFFReadEncodedStrip gives it
                     //                      (each rule of the strip applies)
    READ_WORD,       // read-word:S.N=V      bytes N to N+3 of strip S, the same way, are the
                     //                      32-bit V in the host's order (a float's bits)
    HANG,            // hang:MODE            TIFFOpen with that mode never returns
    CRASH,           // crash:MODE           TIFFOpen with that mode dies of SIGSEGV
    EXIT,            // exit:MODE=N          TIFFOpen with that mode exits with status N
    LINGER,          // linger:MODE          TIFFOpen with that mode leaves a child process
                     //                      behind in the program's process group
    POKE_ENTRY,      // poke-entry:TAG.N@file=V  as poke, byte N of TAG's entry itself
    SET_DIR,         // set-dir[:N][=R]      TIFFSetDirectory (to directory N) goes nowhere and
                     //                      returns R, 0 unless given: 1 is a jump past the
                     //                      last page said to succeed
    SET_SUBDIR,      // set-subdir:OFF[=R]   TIFFSetSubDirectory to offset OFF goes nowhere
                     //                      and returns R, 0 unless given
    DIR_COUNT,       // dir-count[:N]=V      TIFFNumberOfDirectories (the program's Nth call)
                     //                      returns V
    REWRITE_DIR,     // rewrite-dir          TIFFRewriteDirectory returns 0, writes nothing
    DIR_OVERWRITE,   // rewrite-dir-write    TIFFRewriteDirectory is TIFFWriteDirectory, which
                     //                      writes the directory over its old place
    DIR_APPEND,      // rewrite-dir-append   TIFFRewriteDirectory leaves the old directory in
                     //                      the chain and appends the new one at its end
    UNLINK_DIR,      // unlink-dir           TIFFUnlinkDirectory returns 0, unlinks nothing
    READ_EXIF,       // read-exif            TIFFReadEXIFDirectory returns 0
    READ_DIR,        // read-dir:N           TIFFReadDirectory from directory N returns 0
    LAST_DIR,        // last-dir:N=V         TIFFLastDirectory on directory N returns V
    CURRENT_DIR,     // current-dir:N=V      TIFFCurrentDirectory on directory N returns V
    APPEND_COPY,     // append-copy:N@file   after the program closes the file, a copy of
                     //                      IFD N of the chain is appended to the file and
                     //                      linked after the chain's last IFD
    GET_FLOAT,       // get-float:TAG=V      the out-pointer receives the float V
    GET_NARROW,      // get-narrow:TAG       the double fetched is rounded to a float
    GET_DOUBLE,      // get-double:TAG=V     the out-pointer receives the double V
    // Tiles and striles (tile_probe, strile_probe).
    WRITE_TILE,    // write-tile[:T]=R     TIFFWriteEncodedTile or TIFFWriteTile (of tile T)
                   //                      returns R, writes nothing
    READ_TILE,     // read-tile:T.N=V      byte N of tile T as TIFFReadEncodedTile or
                   //                      TIFFReadTile gives it
    STRILE_OFFSET, // strile-offset:S=V    TIFFGetStrileOffset[WithErr] of strile S gives V,
                   //                      without an error, even past the last strile
    STRILE_COUNT,  // strile-count:S=V     the same, for TIFFGetStrileByteCount[WithErr]
    NO_FORCE,      // force-nothing        TIFFForceStrileArrayWriting returns 1, writes nothing
    NO_CHECKPOINT, // checkpoint-nothing[:N] TIFFCheckpointDirectory (the program's Nth
                   //                      call) returns 1, writes nothing
    GET_SWAP,      // get-swap:TAG.N       entries N and N+1 of the 64-bit strile array TAG
                   //                      (Strip/TileOffsets or ByteCounts) come swapped
    // Field calls (field_probe).
    VGET_U32,      // vget-u32:TAG=V       TIFFVGetField, called by the program: the
                   //                      out-pointer receives the uint32 V
    TAGLIST_SHORT, // taglist-short        TIFFGetTagListCount gives one fewer than the
                   //                      library's count: the last entry goes missing
    FIELD_TYPE,    // field-type:TAG=V     TIFFFieldDataType of TAG's field gives type V

    DEFAULT_U16,   // default-u16:TAG[.N]=V  TIFFGetFieldDefaulted: out-pointer N receives
                   //                      the uint16 V
    VDEFAULT_U16,  // vdefault-u16:TAG=V   TIFFVGetFieldDefaulted, called by the program:
                   //                      the first out-pointer receives the uint16 V
    VDEFAULT_FAIL, // vdefault-fail:TAG    TIFFVGetFieldDefaulted, called by the program,
                   //                      returns 0: a default of any type wrong in the
                   //                      va_list form alone
    UNSET_NOTHING, // unset-nothing:TAG    TIFFUnsetField returns 1 and unsets nothing
    GET_ZERO,      // get-zero:TAG.N       the uint16 array that out-pointer N receives
                   //                      (2^BitsPerSample values, as ColorMap's) comes
                   //                      back as zeros, from a copy
    AS_HELD,       // as-held:TAG[@file]   after the program closes a handle that wrote
                   //                      the file (w, a or r+), the values of the array
                   //                      field TAG in the first IFD stand on disk as the
                   //                      handle held them, each as wide as the entry's
                   //                      type, in the file's byte order: the writer of a
                   //                      library without a known defect that writes the
                   //                      values wrong (IFD arrays written as halves of
                   //                      64-bit values), so that a fault test sees its
                   //                      layout pass until the fault it injects
    READ_FILL,     // read-fill:S=V        every byte of strip S as TIFFReadEncodedStrip
                   //                      gives it becomes V, before any read-byte rule:
                   //                      a library that decodes field_probe's JPEG page
                   //                      as written, without the known defect that fails
                   //                      every layout at its first byte
    READ_SHORT,    // read-short:S         TIFFReadEncodedStrip of strip S, or the tile reads
                   //                      of tile S, return one byte fewer than they read
    READ_LONG,     // read-long:S[.D]      TIFFReadEncodedStrip of strip S, or the tile reads
                   //                      of tile S (of directory D), return one byte more
                   //                      than they read: more than asked, or than it holds
    READ_ARRAYS,   // read-arrays:S        TIFFReadEncodedStrip of strip S loads the strip
                   //                      arrays whole first: a read in "O" mode that costs
                   //                      as much as without it
    WARN_READ,     // warn-read:S          TIFFReadEncodedStrip of strip S reads, and the
                   //                      library warns
    READ_OK,       // read-ok:S=V          a TIFFReadEncodedStrip of strip S that failed
                   //                      returns V all the same: a failure reported as
                   //                      success (read_probe)
    WHOLE_ARRAYS,  // whole-arrays         TIFFClientOpen drops "O" from the mode: a library
                   //                      that loads the strile arrays whole all the same
    // Man page promises (manpage_probe).
    READ_RESULT, // read-result:S=R      TIFFReadEncodedStrip of strip S, or the tile reads of
                 //                      tile S, return R whatever they read: a read past the
                 //                      last strip that gives a byte count instead of -1
    ANSWER,      // answer:CALL[.N]=V    the query TIFFCALL (NumberOfStrips, StripSize,
                 //                      ScanlineSize, ComputeStrip, NumberOfTiles, TileSize,
                 //                      ComputeTile, CheckTile, IsTiled, IsBigTIFF, GetMode,
                 //                      DataWidth, FieldPassCount, FieldReadCount,
                 //                      FieldSetGetSize, FieldIsAnonymous; ScanlineSize64,
                 //                      StripSize64, VStripSize, TileSize64, VTileSize,
                 //                      RawStripSize64; RasterScanline for
                 //                      TIFFRasterScanlineSize; DefaultStripSize,
                 //                      DefaultTileSize (its width; with N, only where the
                 //                      width asked for is N), CurrentRow, CurrentStrip,
                 //                      CurrentTile, Flush, FlushData) answers V: a field
                 //                      call for the field of tag N only when N is given,
                 //                      DataWidth for type N only
    // The printed directory (print_probe). CALL counts the program's
    // TIFFPrintDirectory calls on handles of the rule's file, from 1; LINE
    // counts the printed lines, the heading being line 0.
    PRINT_DROP,  // print-drop:CALL.LINE@file  that line is not printed
    PRINT_DIGIT, // print-digit:CALL.LINE@file=D  the line's last digit is printed as D
    PRINT_CHAR,  // print-char:CALL.LINE@file=C  the line's last character is printed as
                 //                      the byte C (a text's wrong character)
    PRINT_ADD,   // print-add:CALL@file=TAG  a line "  NAME: 1" is printed last, NAME the
                 //                      library's name of TAG: a field the directory lacks
    // The size, raw chunk and byte-order calls (calls_probe).
    READ_RAW,  // read-raw:C.N=V        byte N of chunk C as TIFFReadRawStrip or
               //                      TIFFReadRawTile gives it becomes V
    SWAB_NONE, // swab-none:CALL       TIFFSwabCALL (Long8) or TIFFReverseBits (ReverseBits)
               //                      leaves its data as it was, TIFFSwabArrayOfShort
               //                      (ArrayOfShort) its last item
    // Library builds (every probe).
    NO_CODEC, // no-codec:N           a library built without the codec of Compression N:
              //                      TIFFIsCODECConfigured(N) gives 0, and the strip,
              //                      tile and scanline reads and writes of a directory
              //                      of that Compression fail with the library's message
    // The failure paths (client_probe).
    CLIENT_OK, // client-ok:CALL       the directory call TIFFCALLDirectory (CALL Write,
               //                      Checkpoint, Rewrite or Read) returns 1 whatever it
               //                      did: a failure reported as success
    MUTE,      // mute[:Close]         the error handler given through the open options gets
               //                      no message (during TIFFClose only, with Close), and no
               //                      other handler does: a library that says nothing
    // Rules the probes' mutation review asked for (tests/calls_probe_test.cpp,
    // tests/client_probe_test.cpp): a library whose raw chunk calls or
    // TIFFCleanup break their promise.
    RAW_RESULT,     // raw-result:C=V       TIFFReadRawStrip or TIFFReadRawTile of chunk C
                    //                      returns V, whatever it read and was asked
    RAW_DROP,       // raw-drop:C.K         the Kth TIFFWriteRawStrip or TIFFWriteRawTile of
                    //                      chunk C on the rule's file returns its size and
                    //                      writes nothing
    CLEANUP_CLOSES, // cleanup-closes       TIFFCleanup closes the handle's descriptor too
    NO_CLOSE,       // no-close             TIFFClose flushes and frees the handle, and never
                    //                      calls its close procedure
    BITREV_SWAPPED, // bitrev-swapped       TIFFGetBitRevTable(N) gives the table of !N
    // manpage_probe's review (tests/manpage_probe_test.cpp): tags the library
    // does not know, read wrong or found wrong, and a forced write refused.
    GET_ARRAY_BYTE, // get-array-byte:TAG.N=V  a field fetched with its count: byte N of its
                    //                      array comes as V, in a copy
    GET_FILLED,     // get-filled:TAG       TIFFGetField stores what the library gave, and
                    //                      returns 0
    FIELD_OF,       // field-of:CALL[.TAG]=V  TIFFCALL (FindField, FieldWithTag or
                    //                      FieldWithName), called by the program, gives
                    //                      the field of tag V, for TAG only when given
    FORCE_FAIL,     // force-fail           TIFFForceStrileArrayWriting returns 0, writes
                    //                      nothing
    // probe::WriteDirectory's refusal (print_probe, strile_probe, calls_probe).
    WRITE_DIR, // write-dir[:N]        TIFFWriteDirectory (the program's Nth call) returns
               //                      0 and writes nothing
};

struct KindName {
    const char *name;
    Kind kind;
};

constexpr KindName kind_names[] = {
    {"open", OPEN},
    {"no-codec", NO_CODEC},
    {"set", SET},
    {"vset", VSET},
    {"get", GET},
    {"get-nothing", GET_NOTHING},
    {"get-stale", GET_STALE},
    {"get-u16", GET_U16},
    {"get-u32", GET_U32},
    {"get-chop", GET_CHOP},
    {"get-byte", GET_BYTE},
    {"get-pad", GET_PAD},
    {"write-scanline", WRITE_SCANLINE},
    {"write-strip", WRITE_STRIP},
    {"rewrite", REWRITE},
    {"rewrite-trunc32", REWRITE_TRUNC32},
    {"rewrite-u64", REWRITE_U64},
    {"malloc-null", MALLOC_NULL},
    {"keep", KEEP},
    {"warn", WARN},
    {"set-ignored", SET_IGNORED},
    {"set-ok", SET_OK},
    {"set-kept", SET_KEPT},
    {"swap-order", SWAP_ORDER},
    {"poke", POKE},
    {"read-byte", READ_BYTE},
    {"read-word", READ_WORD},
    {"hang", HANG},
    {"crash", CRASH},
    {"exit", EXIT},
    {"linger", LINGER},
    {"poke-entry", POKE_ENTRY},
    {"set-dir", SET_DIR},
    {"set-subdir", SET_SUBDIR},
    {"dir-count", DIR_COUNT},
    {"rewrite-dir", REWRITE_DIR},
    {"rewrite-dir-write", DIR_OVERWRITE},
    {"rewrite-dir-append", DIR_APPEND},
    {"unlink-dir", UNLINK_DIR},
    {"read-exif", READ_EXIF},
    {"read-dir", READ_DIR},
    {"last-dir", LAST_DIR},
    {"current-dir", CURRENT_DIR},
    {"append-copy", APPEND_COPY},
    {"get-float", GET_FLOAT},
    {"get-narrow", GET_NARROW},
    {"get-double", GET_DOUBLE},
    {"write-tile", WRITE_TILE},
    {"read-tile", READ_TILE},
    {"strile-offset", STRILE_OFFSET},
    {"strile-count", STRILE_COUNT},
    {"force-nothing", NO_FORCE},
    {"checkpoint-nothing", NO_CHECKPOINT},
    {"get-swap", GET_SWAP},
    {"vget-u32", VGET_U32},
    {"taglist-short", TAGLIST_SHORT},
    {"field-type", FIELD_TYPE},

    {"default-u16", DEFAULT_U16},
    {"vdefault-u16", VDEFAULT_U16},
    {"vdefault-fail", VDEFAULT_FAIL},
    {"unset-nothing", UNSET_NOTHING},
    {"get-zero", GET_ZERO},
    {"as-held", AS_HELD},
    {"read-fill", READ_FILL},
    {"read-short", READ_SHORT},
    {"read-long", READ_LONG},
    {"read-arrays", READ_ARRAYS},
    {"warn-read", WARN_READ},
    {"read-ok", READ_OK},
    {"whole-arrays", WHOLE_ARRAYS},
    {"read-result", READ_RESULT},
    {"answer", ANSWER},
    {"print-drop", PRINT_DROP},
    {"print-digit", PRINT_DIGIT},
    {"print-char", PRINT_CHAR},
    {"print-add", PRINT_ADD},
    {"read-raw", READ_RAW},
    {"swab-none", SWAB_NONE},
    {"client-ok", CLIENT_OK},
    {"mute", MUTE},
    // The mutation review's rules.
    {"raw-result", RAW_RESULT},
    {"raw-drop", RAW_DROP},
    {"cleanup-closes", CLEANUP_CLOSES},
    {"no-close", NO_CLOSE},
    {"bitrev-swapped", BITREV_SWAPPED},
    {"get-array-byte", GET_ARRAY_BYTE},
    {"get-filled", GET_FILLED},
    {"field-of", FIELD_OF},
    {"force-fail", FORCE_FAIL},
    {"write-dir", WRITE_DIR},
};

struct Rule {
    long long value; // after '='
    long index;      // after '.', -1 when absent
    Kind kind;
    char mode[4];  // after the file and ':', a TIFFOpen mode; empty matches any
    char arg[24];  // the tag, strip, call or open mode; empty matches any
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

// The mode each open handle was opened with, by handle.
struct OpenHandle {
    const TIFF *tif;
    char mode[8];
};

// The handles TIFFClientOpen opened, with the procedures that reach their
// file, for the poke rules: a file in the client's memory is poked when a
// handle that wrote it closes, never as a path.
struct ClientFile {
    const TIFF *tif;
    bool writes;
    thandle_t h;
    TIFFReadWriteProc rd, wr;
    TIFFSeekProc sk;
    TIFFSizeProc sz;
};

ClientFile client_files[4];

OpenHandle open_handles[32];

// The slot of `tif`; a null `tif` finds a free slot.
OpenHandle *open_handle(const TIFF *tif)
{
    size_t i;

    for (i = 0; i < sizeof(open_handles) / sizeof(open_handles[0]); i++) {
        if (open_handles[i].tif == tif)
            return &open_handles[i];
    }
    return nullptr;
}

const char *open_mode(const TIFF *tif)
{
    const OpenHandle *h = tif ? open_handle(tif) : nullptr;
    return h ? h->mode : nullptr;
}

TIFF *remember_mode(TIFF *tif, const char *mode)
{
    OpenHandle *h = tif ? open_handle(nullptr) : nullptr;
    if (h) {
        h->tif = tif;
        snprintf(h->mode, sizeof(h->mode), "%s", mode);
    }
    return tif;
}

// Whether two TIFFOpen modes ask for the same access: r, r+, w or a.
bool same_access(const char *a, const char *b)
{
    return a[0] == b[0] && (strchr(a, '+') != nullptr) == (strchr(b, '+') != nullptr);
}

// The first rule of `kind` whose argument, file and mode match, or null.
// The first rule after `after` (from the first when null) that matches.
const Rule *find(Kind kind, const char *arg, const char *file, const char *mode = nullptr,
                 const Rule *after = nullptr)
{
    int i;

    if (rule_count < 0)
        load_rules();
    for (i = after ? static_cast<int>(after - rules) + 1 : 0; i < rule_count; i++) {
        const Rule &r = rules[i];
        if (r.kind != kind)
            continue;
        if (r.arg[0] && (!arg || strcmp(r.arg, arg) != 0))
            continue;
        if (r.file[0] && strcmp(r.file, base_name(file)) != 0)
            continue;
        if (r.mode[0] && (!mode || !same_access(r.mode, mode)))
            continue;
        return &r;
    }
    return nullptr;
}

// A tag, strip, tile, directory or offset: 64 bits, as an offset may need.
const Rule *find_tag(Kind kind, uint64_t tag, TIFF *tif, const Rule *after = nullptr)
{
    char arg[24];
    snprintf(arg, sizeof(arg), "%" PRIu64, tag);
    return find(kind, arg, tif ? TIFFFileName(tif) : nullptr, open_mode(tif), after);
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
        // A function of the library's that the shim does not replace.
        if (!dladdr(reinterpret_cast<void *>(&TIFFGetVersion), &info))
            abort();
        tiff_base = info.dli_fbase;
    }
    if (!dladdr(caller, &info))
        return true;
    return info.dli_fbase != tiff_base;
}

// True when `caller` is the program itself, neither the TIFF library nor
// this shim: a library function the shim calls may tail-call another that
// the shim interposes, which then seems called from the shim.
bool from_probe(const void *caller)
{
    Dl_info self;
    Dl_info info;

    if (!from_program(caller) || !dladdr(reinterpret_cast<void *>(&from_program), &self))
        return false;
    return !dladdr(caller, &info) || info.dli_fbase != self.dli_fbase;
}

// The first one or two out-pointers of a TIFFGetField call. The analyzer,
// seeing this function on its own, cannot know that the caller's va_start
// initialised `ap`.
void out_pointers(va_list ap, int count, void **out)
{
    // NOLINTBEGIN(clang-analyzer-valist.Uninitialized)
    for (int i = 0; i < count; i++)
        out[i] = va_arg(ap, void *);
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

// A library that writes a wrong byte and reads the same wrong byte back:
// the byte changes on disk where only an independent reader can see it.
// Where the poke rule `r` changes `bytes`: its byte's offset.
uint64_t poke_at(const std::vector<uint8_t> &bytes, const Rule &r, bool entry)
{
    const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
    if (!file.problems.empty() || file.chain.empty())
        die("cannot read the file's IFD", r.arg);
    char *end = nullptr;
    const auto tag = static_cast<uint32_t>(strtoul(r.arg, &end, 10));
    const ifd::Entry *found = nullptr;
    if (*end == '/') {
        const unsigned long d = strtoul(end + 1, nullptr, 10);
        if (d < file.chain.size())
            found = ifd::FindEntry(file.chain[d], tag);
    }
    for (const auto *dirs : {&file.chain, &file.linked}) {
        for (size_t i = 0; i < dirs->size() && !found && *end != '/'; i++)
            found = ifd::FindEntry((*dirs)[i], tag);
    }
    if (!found)
        die("no such tag in the file", r.arg);
    return (entry ? found->entry_at : found->value_at) + static_cast<uint64_t>(r.index);
}

void poke(const char *path, const Rule &r, bool entry)
{
    std::vector<uint8_t> bytes;

    if (ifd::LoadFile(path, &bytes))
        die("cannot read the file", r.arg);
    const uint64_t at = poke_at(bytes, r, entry);
    FILE *f = fopen(path, "r+b");
    if (!f || fseek(f, static_cast<long>(at), SEEK_SET) != 0 ||
        fputc(static_cast<int>(r.value), f) == EOF || fclose(f) != 0)
        die("cannot write the file", r.arg);
}

// The same through a client's procedures, once the library is done with them.
void poke_client(const ClientFile &c, const Rule &r, bool entry)
{
    const auto size = static_cast<uint64_t>(c.sz(c.h));
    std::vector<uint8_t> bytes(size);
    if (size > (256U << 20) || c.sk(c.h, 0, SEEK_SET) != 0 ||
        c.rd(c.h, bytes.data(), static_cast<tmsize_t>(size)) != static_cast<tmsize_t>(size))
        die("cannot read the client's file", r.arg);
    const uint64_t at = poke_at(bytes, r, entry);
    auto byte = static_cast<uint8_t>(r.value);
    if (c.sk(c.h, at, SEEK_SET) != at || c.wr(c.h, &byte, 1) != 1)
        die("cannot write the client's file", r.arg);
}

// The main IFD chain of the file as it is on disk now.
std::vector<ifd::Directory> read_chain(const char *path, ifd::Header *header)
{
    std::vector<uint8_t> bytes;

    if (ifd::LoadFile(path, &bytes))
        die("cannot read the file", path);
    ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
    if (!file.problems.empty())
        die("cannot read the file's IFD chain", path);
    *header = file.header;
    return std::move(file.chain);
}

// Where the link to the next IFD sits: in the header, or after the entries.
uint64_t link_at(const ifd::Header &header, const ifd::Directory *dir)
{
    if (!dir)
        return header.bigtiff ? 8 : 4;
    const uint64_t n = dir->entries.size();
    return dir->offset + (header.bigtiff ? 8 + 20 * n : 2 + 12 * n);
}

// Writes `value`, `width` bytes wide, at `at` in the file's byte order.
void put_value(const char *path, const ifd::Header &header, uint64_t at, unsigned width,
               uint64_t value)
{
    unsigned char bytes[8] = {0};

    for (unsigned i = 0; i < width && i < sizeof(bytes); i++) {
        const unsigned shift = 8 * (header.big_endian ? width - 1 - i : i);
        bytes[i] = static_cast<unsigned char>(value >> shift);
    }
    FILE *f = fopen(path, "r+b");
    if (!f || fseek(f, static_cast<long>(at), SEEK_SET) != 0 ||
        fwrite(bytes, 1, width, f) != width || fclose(f) != 0)
        die("cannot write the file", path);
}

// Writes one IFD offset at `at`.
void put_link(const char *path, const ifd::Header &header, uint64_t at, uint64_t value)
{
    put_value(path, header, at, header.bigtiff ? 8 : 4, value);
}

// A library whose rewrite appends: the real rewrite wrote the directory at
// the end of the file and linked it where `old` was. Put `old` back in the
// chain and link the new directory after the last one instead.
void append_instead(const char *path, uint64_t old)
{
    ifd::Header header;
    std::vector<ifd::Directory> chain = read_chain(path, &header);
    size_t p = 0;

    // The new directory is the one furthest into the file.
    for (size_t i = 1; i < chain.size(); i++) {
        if (chain[i].offset > chain[p].offset)
            p = i;
    }
    if (chain.empty() || chain[p].offset <= old)
        die("no new directory in the chain", path);
    const uint64_t added = chain[p].offset;
    put_link(path, header, link_at(header, p ? &chain[p - 1] : nullptr), old);
    put_link(path, header, link_at(header, &chain[p]), 0);
    chain = read_chain(path, &header);
    put_link(path, header, link_at(header, &chain.back()), added);
}

// A chain one IFD longer than its writer made it: IFD `n`'s bytes (count,
// entries, next link) copied to the end of the file, on a word boundary, and
// linked after the last IFD. The copy's values are the original's.
void append_copy(const char *path, long n)
{
    ifd::Header header;
    const std::vector<ifd::Directory> chain = read_chain(path, &header);
    std::vector<uint8_t> bytes;

    if (n < 0 || static_cast<size_t>(n) >= chain.size() || ifd::LoadFile(path, &bytes))
        die("no such IFD in the chain", path);
    const ifd::Directory &dir = chain[static_cast<size_t>(n)];
    const uint64_t end = link_at(header, &dir) + (header.bigtiff ? 8 : 4);
    const uint64_t at = (bytes.size() + 1) / 2 * 2;
    const std::vector<uint8_t> copy(bytes.begin() + static_cast<long>(dir.offset),
                                    bytes.begin() + static_cast<long>(end));
    bytes.resize(at);
    bytes.insert(bytes.end(), copy.begin(), copy.end());
    FILE *f = fopen(path, "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0)
        die("cannot write the file", path);
    ifd::Directory moved = dir;
    moved.offset = at;
    put_link(path, header, link_at(header, &moved), 0);
    put_link(path, header, link_at(header, &chain.back()), at);
}

// TIFFVGetField behind a variadic call, past every rule of this shim.
int get_held(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    const int result = TIFFVGetField(tif, tag, ap);
    va_end(ap);
    return result;
}

// Whether the directory of `tif` has a Compression whose codec a no-codec
// rule takes away; if so, says so as a library built without it does.
bool codec_absent(TIFF *tif)
{
    uint16_t compression = COMPRESSION_NONE;
    if (!get_held(tif, TIFFTAG_COMPRESSION, &compression))
        return false;
    char arg[16];
    snprintf(arg, sizeof(arg), "%u", compression);
    if (!find(NO_CODEC, arg, TIFFFileName(tif), open_mode(tif)))
        return false;
    const TIFFCodec *codec = TIFFFindCODEC(compression);
    TIFFErrorExt(TIFFClientdata(tif), TIFFFileName(tif), "%s compression support is not configured",
                 codec ? codec->name : "this");
    return true;
}

// The values of an array field as the handle holds them, widened, taken in
// the width and with the count the library's field description gives.
std::vector<uint64_t> held_values(TIFF *tif, const char *tag_text)
{
    const auto tag = static_cast<uint32_t>(strtoul(tag_text, nullptr, 10));
    const TIFFField *field = TIFFFieldWithTag(tif, tag);
    uint32_t n32 = 0;
    uint16_t n16 = 0;
    const void *array = nullptr;

    if (!field || !TIFFFieldPassCount(field))
        die("not an array field", tag_text);
    const int fetched = TIFFFieldSetGetCountSize(field) == 4 ? get_held(tif, tag, &n32, &array)
                                                             : get_held(tif, tag, &n16, &array);
    const auto size = static_cast<size_t>(TIFFFieldSetGetSize(field));
    if (!fetched || !array || (size != 1 && size != 2 && size != 4 && size != 8))
        die("cannot fetch the values", tag_text);
    std::vector<uint64_t> values(n32 + n16);
    for (size_t i = 0; i < values.size(); i++) {
        const auto *p = static_cast<const uint8_t *>(array) + i * size;
        uint8_t b1;
        uint16_t b2;
        uint32_t b4;
        switch (size) {
        case 1:
            memcpy(&b1, p, 1);
            values[i] = b1;
            break;
        case 2:
            memcpy(&b2, p, 2);
            values[i] = b2;
            break;
        case 4:
            memcpy(&b4, p, 4);
            values[i] = b4;
            break;
        default:
            memcpy(&values[i], p, 8);
        }
    }
    return values;
}

// Puts `values` over the values of TAG's entry in the first IFD.
void put_held(const char *path, const char *tag_text, const std::vector<uint64_t> &values)
{
    ifd::Header header;
    const std::vector<ifd::Directory> chain = read_chain(path, &header);
    const ifd::Entry *e =
        chain.empty() ? nullptr : ifd::FindEntry(chain[0], strtoul(tag_text, nullptr, 10));

    if (!e || e->count != values.size())
        die("no entry of as many values in the file", tag_text);
    const unsigned width = ifd::TypeSize(e->type);
    for (size_t i = 0; i < values.size(); i++)
        put_value(path, header, e->value_at + i * width, width, values[i]);
}

// The answer rule for the query TIFF`call` made by the program on `tif`
// (null for the field calls), or null.
const Rule *answer(const char *call, const void *caller, TIFF *tif)
{
    if (!from_probe(caller))
        return nullptr;
    return find(ANSWER, call, tif ? TIFFFileName(tif) : nullptr, open_mode(tif));
}

// The same for a field call: a rule with a tag answers for that field only,
// so that several rules may answer for several fields.
const Rule *field_answer(const char *call, const void *caller, const TIFFField *fip)
{
    if (!from_probe(caller))
        return nullptr;
    for (const Rule *r = find(ANSWER, call, nullptr); r;
         r = find(ANSWER, call, nullptr, nullptr, r)) {
        if (r->index < 0 || static_cast<uint32_t>(r->index) == TIFFFieldTag(fip))
            return r;
    }
    return nullptr;
}

// A strile query as the probe sees it: the rule of `kind` for the strile,
// if any, gives the value, without an error.
uint64_t faulty_strile(Kind kind, TIFF *tif, uint32_t strile, uint64_t result, int *err,
                       void *caller)
{
    const Rule *r = from_probe(caller) ? find_tag(kind, strile, tif) : nullptr;

    if (!r)
        return result;
    if (err)
        *err = 0;
    return static_cast<uint64_t>(r->value);
}

// Whether a read of `chunk` that gave `result` says one byte more (read-long).
bool reads_long(TIFF *tif, uint32_t chunk, tmsize_t result)
{
    const Rule *r = find_tag(READ_LONG, chunk, tif);
    return r && result >= 0 &&
           (r->index < 0 || r->index == static_cast<long>(TIFFCurrentDirectory(tif)));
}

// TIFFClose calls in progress, for the mute rule.
int closing = 0;

// The result of the directory call TIFF`call`Directory as the client-ok rule gives
// it: 1 whatever the library returned.
int client_ok(const char *call, TIFF *tif, int result)
{
    return find(CLIENT_OK, call, TIFFFileName(tif), open_mode(tif)) ? 1 : result;
}

#if defined(TIFFLIB_AT_LEAST)
// The error handlers given through the open options, behind the mute rule's
// own: one slot per handler and user data.
struct MutedHandler {
    TIFFErrorHandlerExtR handler;
    void *user_data;
};
MutedHandler muted[16];
int muted_count = 0;

int mute_error(TIFF *tif, void *user_data, const char *module, const char *fmt, va_list ap)
{
    const auto *slot = static_cast<const MutedHandler *>(user_data);
    // A rule without an argument matches every message, "Close" those of a close.
    // Handled: neither this handler nor the library-wide ones say anything.
    if (find(MUTE, closing > 0 ? "Close" : "", tif ? TIFFFileName(tif) : nullptr, open_mode(tif)))
        return 1;
    return slot->handler ? slot->handler(tif, slot->user_data, module, fmt, ap) : 0;
}
#endif

} // namespace

extern "C" {

TIFF *TIFFOpen(const char *name, const char *mode)
{
    static auto real = next<TIFF *(*)(const char *, const char *)>("TIFFOpen");

    const Rule *r;

    // A library that hangs, crashes or exits, for the runner's sake.
    if (from_program(__builtin_return_address(0)) && find(HANG, mode, name)) {
        for (;;)
            pause();
    }
    // The default action, not a sanitizer's handler, so that the probe dies of it.
    // The child sleeps in the program's process group until it is killed.
    if (from_program(__builtin_return_address(0)) && find(LINGER, mode, name) && fork() == 0) {
        for (;;)
            pause();
    }
    if (from_program(__builtin_return_address(0)) && find(CRASH, mode, name)) {
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
    }
    if (from_program(__builtin_return_address(0)) && (r = find(EXIT, mode, name)) != nullptr)
        _exit(static_cast<int>(r->value));
    if (from_program(__builtin_return_address(0)) && find(OPEN, mode, name)) {
        errno = EACCES;
        return nullptr;
    }
    if (from_program(__builtin_return_address(0)) && find(SWAP_ORDER, mode, name)) {
        char swapped[8];
        size_t n = 0;
        for (const char *m = mode; *m && n + 1 < sizeof(swapped); m++)
            swapped[n++] = *m == 'b' ? 'l' : *m == 'l' ? 'b' : *m;
        swapped[n] = '\0';
        return remember_mode(real(name, swapped), mode);
    }
    return remember_mode(real(name, mode), mode);
}

TIFF *TIFFClientOpen(const char *name, const char *mode, thandle_t h, TIFFReadWriteProc rd,
                     TIFFReadWriteProc wr, TIFFSeekProc sk, TIFFCloseProc cl, TIFFSizeProc sz,
                     TIFFMapFileProc map, TIFFUnmapFileProc unmap)
{
    static auto real = next<TIFF *(*)(const char *, const char *, thandle_t, TIFFReadWriteProc,
                                      TIFFReadWriteProc, TIFFSeekProc, TIFFCloseProc, TIFFSizeProc,
                                      TIFFMapFileProc, TIFFUnmapFileProc)>("TIFFClientOpen");
    std::string without_o;

    // The reproductions that open through procedures of their own.
    if (from_program(__builtin_return_address(0)) && find(OPEN, mode, name)) {
        errno = EACCES;
        return nullptr;
    }
    if (from_program(__builtin_return_address(0)) && find(WHOLE_ARRAYS, mode, name)) {
        for (const char *m = mode; *m; m++) {
            if (*m != 'O')
                without_o += *m;
        }
        mode = without_o.c_str();
    }
    TIFF *tif = real(name, mode, h, rd, wr, sk, cl, sz, map, unmap);
    if (tif && from_program(__builtin_return_address(0))) {
        for (ClientFile &c : client_files) {
            if (!c.tif) {
                c = {tif, mode[0] != 'r' || strchr(mode, '+') != nullptr, h, rd, wr, sk, sz};
                break;
            }
        }
    }
    return tif;
}

void TIFFClose(TIFF *tif)
{
    static auto real = next<void (*)(TIFF *)>("TIFFClose");
    std::vector<const Rule *> after;
    std::string path;
    std::vector<std::pair<const char *, std::vector<uint64_t>>> held;

    if (tif && from_program(__builtin_return_address(0))) {
        path = TIFFFileName(tif);
        const char *mode = open_mode(tif);
        const bool wrote = mode && (mode[0] != 'r' || strchr(mode, '+'));
        // The rules that change the file after the close, each where its
        // file and mode match.
        for (int i = 0; i < rule_count; i++) {
            const Rule &rule = rules[i];
            if ((rule.file[0] && strcmp(rule.file, base_name(path.c_str())) != 0) ||
                (rule.mode[0] && (!mode || !same_access(rule.mode, mode))))
                continue;
            if (rule.kind == POKE || rule.kind == POKE_ENTRY || rule.kind == APPEND_COPY)
                after.push_back(&rule);
            if (wrote && rule.kind == AS_HELD)
                held.emplace_back(rule.arg, held_values(tif, rule.arg));
        }
    }
    OpenHandle *h = tif ? open_handle(tif) : nullptr;
    if (h)
        h->tif = nullptr;
    ClientFile client{};
    for (ClientFile &c : client_files) {
        if (tif && c.tif == tif) {
            client = c;
            c.tif = nullptr;
        }
    }
    closing++;
    // The mutation review's no-close rule.
    if (tif && from_probe(__builtin_return_address(0)) &&
        find(NO_CLOSE, nullptr, path.c_str(), open_mode(tif))) {
        TIFFFlush(tif);
        TIFFCleanup(tif);
    } else {
        real(tif);
    }
    closing--;
    for (const auto &values : held)
        put_held(path.c_str(), values.first, values.second);
    for (const Rule *r : after) {
        if (r->kind == APPEND_COPY)
            append_copy(path.c_str(), strtol(r->arg, nullptr, 10));
        else if (client.tif && client.writes)
            poke_client(client, *r, r->kind == POKE_ENTRY);
        else if (client.tif)
            continue;
        else
            poke(path.c_str(), *r, r->kind == POKE_ENTRY);
    }
}

int TIFFSetField(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    int result;

    if (from_program(__builtin_return_address(0))) {
        log_set(tag);
        if (find_tag(SET, tag, tif))
            return 0;
        if (find_tag(SET_IGNORED, tag, tif))
            return 1;
    }
    va_start(ap, tag);
    result = TIFFVSetField(tif, tag, ap);
    va_end(ap);
    if (!result && from_program(__builtin_return_address(0)) && find_tag(SET_OK, tag, tif))
        return 1;
    if (result && from_program(__builtin_return_address(0)) && find_tag(SET_KEPT, tag, tif))
        return 0;
    // Through the library's handler, as a message of its own would go.
    if (from_program(__builtin_return_address(0)) && find_tag(WARN, tag, tif))
        TIFFWarning("fault_shim", "injected warning for tag %lu%s", static_cast<unsigned long>(tag),
                    getenv("TIFF_PROBES_WARNING") ? getenv("TIFF_PROBES_WARNING") : "");
    return result;
}

int TIFFVSetField(TIFF *tif, uint32_t tag, va_list ap)
{
    static auto real = next<int (*)(TIFF *, uint32_t, va_list)>("TIFFVSetField");

    // Not from the shim: its TIFFSetField calls this.
    if (from_probe(__builtin_return_address(0)) && find_tag(VSET, tag, tif))
        return 0;
    return real(tif, tag, ap);
}

int TIFFGetField(TIFF *tif, uint32_t tag, ...)
{
    const bool faulty = from_program(__builtin_return_address(0));
    void *out[3] = {nullptr, nullptr, nullptr};
    const Rule *r;
    va_list ap;
    int result;

    if (faulty && find_tag(GET, tag, tif))
        return 0;
    if (faulty && find_tag(GET_NOTHING, tag, tif))
        return 1;
    if (faulty && find_tag(GET_STALE, tag, tif)) {
        va_start(ap, tag);
        out_pointers(ap, 1, out);
        va_end(ap);
        if (!*static_cast<void **>(out[0]))
            return 1;
    }
    va_start(ap, tag);
    result = TIFFVGetField(tif, tag, ap);
    va_end(ap);
    if (!faulty || !result)
        return result;

    // Walk the out-pointers again to alter what the library stored; a pair's
    // second pointer is read only for a rule that names it.
    r = find_tag(GET_U16, tag, tif);
    const Rule *zero = find_tag(GET_ZERO, tag, tif);
    if (zero && (zero->index < 0 || zero->index > 2))
        die("no such out-pointer", zero->arg);
    const Rule *pad = find_tag(GET_PAD, tag, tif);
    const Rule *array_byte = find_tag(GET_ARRAY_BYTE, tag, tif);
    int wanted = (r && r->index == 1) || pad || array_byte ? 2 : 1;
    if (zero && zero->index + 1 > wanted)
        wanted = static_cast<int>(zero->index) + 1;
    va_start(ap, tag);
    out_pointers(ap, wanted, out);
    va_end(ap);
    if (zero) {
        // As long as any array of 2^BitsPerSample values can be.
        static uint16_t zeros[1 << 16];
        if (!*static_cast<uint16_t **>(out[zero->index]))
            die("no array to zero", zero->arg);
        *static_cast<uint16_t **>(out[zero->index]) = zeros;
    }

    if (r)
        *static_cast<uint16_t *>(out[r->index == 1 ? 1 : 0]) = static_cast<uint16_t>(r->value);
    if ((r = find_tag(GET_U32, tag, tif)) != nullptr)
        *static_cast<uint32_t *>(out[0]) = static_cast<uint32_t>(r->value);
    if ((r = find_tag(GET_FLOAT, tag, tif)) != nullptr)
        *static_cast<float *>(out[0]) = static_cast<float>(r->value);
    if ((r = find_tag(GET_DOUBLE, tag, tif)) != nullptr)
        *static_cast<double *>(out[0]) = static_cast<double>(r->value);
    if (find_tag(GET_NARROW, tag, tif)) {
        auto *d = static_cast<double *>(out[0]);
        *d = static_cast<float>(*d);
    }
    if (find_tag(GET_CHOP, tag, tif)) {
        char *s = *static_cast<char **>(out[0]);
        if (s && *s)
            s[strlen(s) - 1] = '\0';
    }
    if (pad) {
        // A copy one value longer: the library's own array stays as it is.
        static std::vector<uint8_t> padded;
        const TIFFField *f = TIFFFieldWithTag(tif, tag);
        const int count_size = f ? TIFFFieldSetGetCountSize(f) : 0;
        const size_t size = f ? static_cast<size_t>(TIFFFieldSetGetSize(f)) : 0;
        if (count_size != 2 && count_size != 4)
            die("no count to pad", pad->arg);
        uint32_t n =
            count_size == 2 ? *static_cast<uint16_t *>(out[0]) : *static_cast<uint32_t *>(out[0]);
        const auto *array = *static_cast<const uint8_t **>(out[1]);
        padded.assign(size * (n + 1), 0);
        if (array)
            memcpy(padded.data(), array, size * n);
        n++;
        if (count_size == 2)
            *static_cast<uint16_t *>(out[0]) = static_cast<uint16_t>(n);
        else
            *static_cast<uint32_t *>(out[0]) = n;
        *static_cast<uint8_t **>(out[1]) = padded.data();
    }
    if (array_byte) {
        // A copy: the library's own array stays as it is.
        static std::vector<uint8_t> changed;
        const TIFFField *f = TIFFFieldWithTag(tif, tag);
        const int count_size = f ? TIFFFieldSetGetCountSize(f) : 0;
        const size_t size = f ? static_cast<size_t>(TIFFFieldSetGetSize(f)) : 0;
        if (count_size != 2 && count_size != 4)
            die("no counted array", array_byte->arg);
        const uint32_t n =
            count_size == 2 ? *static_cast<uint16_t *>(out[0]) : *static_cast<uint32_t *>(out[0]);
        const auto *array = *static_cast<const uint8_t **>(out[1]);
        if (!array || array_byte->index < 0 || static_cast<size_t>(array_byte->index) >= size * n)
            die("no such byte in the array", array_byte->arg);
        changed.assign(array, array + size * n);
        changed[static_cast<size_t>(array_byte->index)] = static_cast<uint8_t>(array_byte->value);
        *static_cast<uint8_t **>(out[1]) = changed.data();
    }
    if ((r = find_tag(GET_BYTE, tag, tif)) != nullptr && r->index >= 0) {
        char *s = *static_cast<char **>(out[0]);
        if (s)
            s[r->index] = static_cast<char>(r->value);
    }
    if ((r = find_tag(GET_SWAP, tag, tif)) != nullptr && r->index >= 0) {
        // A swapped copy: the library's own array must stay as it is.
        static std::vector<uint64_t> swapped;
        auto **array = static_cast<uint64_t **>(out[0]);
        const size_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        if (*array && static_cast<size_t>(r->index) + 1 < n) {
            swapped.assign(*array, *array + n);
            std::swap(swapped[r->index], swapped[r->index + 1]);
            *array = swapped.data();
        }
    }
    if (find_tag(GET_FILLED, tag, tif))
        return 0;
    return result;
}

// The shim's own TIFFGetField comes through here too; only the program's
// calls are altered.
int TIFFVGetField(TIFF *tif, uint32_t tag, va_list ap)
{
    static auto real = next<int (*)(TIFF *, uint32_t, va_list)>("TIFFVGetField");
    const Rule *r =
        from_probe(__builtin_return_address(0)) ? find_tag(VGET_U32, tag, tif) : nullptr;
    va_list copy;
    va_copy(copy, ap);
    const int result = real(tif, tag, ap);
    if (r && result) {
        void *out = nullptr;
        out_pointers(copy, 1, &out);
        *static_cast<uint32_t *>(out) = static_cast<uint32_t>(r->value);
    }
    va_end(copy);
    return result;
}

int TIFFGetTagListCount(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFGetTagListCount");
    const int n = real(tif);
    if (n > 0 && from_program(__builtin_return_address(0)) &&
        find(TAGLIST_SHORT, nullptr, TIFFFileName(tif), open_mode(tif)))
        return n - 1;
    return n;
}

TIFFDataType TIFFFieldDataType(const TIFFField *fip)
{
    static auto real = next<TIFFDataType (*)(const TIFFField *)>("TIFFFieldDataType");
    const Rule *r = fip && from_program(__builtin_return_address(0))
                        ? find_tag(FIELD_TYPE, TIFFFieldTag(fip), nullptr)
                        : nullptr;
    return r ? static_cast<TIFFDataType>(r->value) : real(fip);
}

int TIFFWriteScanline(TIFF *tif, void *buf, uint32_t row, uint16_t sample)
{
    static auto real = next<int (*)(TIFF *, void *, uint32_t, uint16_t)>("TIFFWriteScanline");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) &&
        (r = find(WRITE_SCANLINE, nullptr, TIFFFileName(tif), open_mode(tif))) != nullptr)
        return static_cast<int>(r->value);
    if (from_program(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
    return real(tif, buf, row, sample);
}

int TIFFReadScanline(TIFF *tif, void *buf, uint32_t row, uint16_t sample)
{
    static auto real = next<int (*)(TIFF *, void *, uint32_t, uint16_t)>("TIFFReadScanline");
    if (from_program(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
    return real(tif, buf, row, sample);
}

int TIFFIsCODECConfigured(uint16_t scheme)
{
    static auto real = next<int (*)(uint16_t)>("TIFFIsCODECConfigured");
    char arg[16];
    snprintf(arg, sizeof(arg), "%u", scheme);
    if (from_program(__builtin_return_address(0)) && find(NO_CODEC, arg, ""))
        return 0;
    return real(scheme);
}

tmsize_t TIFFReadEncodedStrip(TIFF *tif, uint32_t strip, void *buf, tmsize_t size)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFReadEncodedStrip");
    const bool faulty = from_program(__builtin_return_address(0));
    uint64_t *array = nullptr;

    if (faulty && codec_absent(tif))
        return -1;
    // Fetching either array loads both whole.
    if (faulty && find_tag(READ_ARRAYS, strip, tif))
        get_held(tif, TIFFTAG_STRIPOFFSETS, &array);
    const tmsize_t result = real(tif, strip, buf, size);
    const Rule *r;

    if (!faulty)
        return result;
    // Through the program's handler, as a message of the library's own would go.
    if (find_tag(WARN_READ, strip, tif))
        TIFFWarning("fault_shim", "injected warning reading strip %lu",
                    static_cast<unsigned long>(strip));
    if ((r = find_tag(READ_FILL, strip, tif)) != nullptr && result > 0)
        memset(buf, static_cast<int>(r->value & 0xFF), static_cast<size_t>(result));
    // Every read-byte rule of the strip, so that a test can spoil a few bytes.
    for (r = find_tag(READ_BYTE, strip, tif); r; r = find_tag(READ_BYTE, strip, tif, r)) {
        if (r->index >= 0 && r->index < result)
            static_cast<uint8_t *>(buf)[r->index] = static_cast<uint8_t>(r->value);
    }
    if ((r = find_tag(READ_WORD, strip, tif)) != nullptr && r->index >= 0 &&
        r->index + 4 <= result) {
        const auto word = static_cast<uint32_t>(r->value);
        memcpy(static_cast<uint8_t *>(buf) + r->index, &word, sizeof(word));
    }
    if (find_tag(READ_SHORT, strip, tif) && result > 0)
        return result - 1;
    if (reads_long(tif, strip, result))
        return result + 1;
    if ((r = find_tag(READ_RESULT, strip, tif)) != nullptr)
        return static_cast<tmsize_t>(r->value);
    if ((r = find_tag(READ_OK, strip, tif)) != nullptr && result < 0)
        return static_cast<tmsize_t>(r->value);
    return result;
}

tmsize_t TIFFWriteEncodedStrip(TIFF *tif, uint32_t strip, void *data, tmsize_t cc)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFWriteEncodedStrip");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) &&
        (r = find_tag(WRITE_STRIP, strip, tif)) != nullptr)
        return static_cast<tmsize_t>(r->value);
    if (from_program(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
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

int TIFFSetDirectory(TIFF *tif, tdir_t dirn)
{
    static auto real = next<int (*)(TIFF *, tdir_t)>("TIFFSetDirectory");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) && (r = find_tag(SET_DIR, dirn, tif)) != nullptr)
        return static_cast<int>(r->value);
    return real(tif, dirn);
}

int TIFFSetSubDirectory(TIFF *tif, uint64_t diroff)
{
    static auto real = next<int (*)(TIFF *, uint64_t)>("TIFFSetSubDirectory");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) &&
        (r = find_tag(SET_SUBDIR, diroff, tif)) != nullptr)
        return static_cast<int>(r->value);
    return real(tif, diroff);
}

tdir_t TIFFNumberOfDirectories(TIFF *tif)
{
    static auto real = next<tdir_t (*)(TIFF *)>("TIFFNumberOfDirectories");
    static int calls = 0;
    char ordinal[16];
    const Rule *r;

    if (!from_program(__builtin_return_address(0)))
        return real(tif);
    snprintf(ordinal, sizeof(ordinal), "%d", ++calls);
    if ((r = find(DIR_COUNT, ordinal, TIFFFileName(tif), open_mode(tif))) != nullptr)
        return static_cast<tdir_t>(r->value);
    return real(tif);
}

int TIFFReadDirectory(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFReadDirectory");

    if (from_program(__builtin_return_address(0)) &&
        find_tag(READ_DIR, TIFFCurrentDirectory(tif), tif))
        return 0;
    if (from_probe(__builtin_return_address(0)))
        return client_ok("Read", tif, real(tif));
    return real(tif);
}

int TIFFLastDirectory(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFLastDirectory");
    const Rule *r;

    if (from_program(__builtin_return_address(0)) &&
        (r = find_tag(LAST_DIR, TIFFCurrentDirectory(tif), tif)) != nullptr)
        return static_cast<int>(r->value);
    return real(tif);
}

tdir_t TIFFCurrentDirectory(TIFF *tif)
{
    static auto real = next<tdir_t (*)(TIFF *)>("TIFFCurrentDirectory");
    const tdir_t current = real(tif);
    const Rule *r;

    if (from_probe(__builtin_return_address(0)) &&
        (r = find_tag(CURRENT_DIR, current, tif)) != nullptr)
        return static_cast<tdir_t>(r->value);
    return current;
}

int TIFFRewriteDirectory(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFRewriteDirectory");
    const char *name = TIFFFileName(tif);
    const char *mode = open_mode(tif);

    if (!from_program(__builtin_return_address(0)))
        return real(tif);
    if (find(CLIENT_OK, "Rewrite", name, mode))
        return client_ok("Rewrite", tif, real(tif));
    if (find(REWRITE_DIR, nullptr, name, mode))
        return 0;
    if (find(DIR_OVERWRITE, nullptr, name, mode))
        return TIFFWriteDirectory(tif);
    if (!find(DIR_APPEND, nullptr, name, mode))
        return real(tif);
    const uint64_t old = TIFFCurrentDirOffset(tif);
    const std::string path = name;
    const int result = real(tif);
    if (result)
        append_instead(path.c_str(), old);
    return result;
}

int TIFFUnlinkDirectory(TIFF *tif, tdir_t dirn)
{
    static auto real = next<int (*)(TIFF *, tdir_t)>("TIFFUnlinkDirectory");

    if (from_program(__builtin_return_address(0)) &&
        find(UNLINK_DIR, nullptr, TIFFFileName(tif), open_mode(tif)))
        return 0;
    return real(tif, dirn);
}

int TIFFReadEXIFDirectory(TIFF *tif, toff_t diroff)
{
    static auto real = next<int (*)(TIFF *, toff_t)>("TIFFReadEXIFDirectory");

    if (from_program(__builtin_return_address(0)) &&
        find(READ_EXIF, nullptr, TIFFFileName(tif), open_mode(tif)))
        return 0;
    return real(tif, diroff);
}

tmsize_t TIFFWriteEncodedTile(TIFF *tif, uint32_t tile, void *data, tmsize_t cc)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFWriteEncodedTile");
    const Rule *r;

    if (from_probe(__builtin_return_address(0)) && (r = find_tag(WRITE_TILE, tile, tif)) != nullptr)
        return static_cast<tmsize_t>(r->value);
    if (from_probe(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
    return real(tif, tile, data, cc);
}

tmsize_t TIFFWriteTile(TIFF *tif, void *buf, uint32_t x, uint32_t y, uint32_t z, uint16_t s)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, void *, uint32_t, uint32_t, uint32_t, uint16_t)>("TIFFWriteTile");
    const Rule *r;

    if (from_probe(__builtin_return_address(0)) &&
        (r = find_tag(WRITE_TILE, TIFFComputeTile(tif, x, y, z, s), tif)) != nullptr)
        return static_cast<tmsize_t>(r->value);
    if (from_probe(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
    return real(tif, buf, x, y, z, s);
}

static tmsize_t alter_tile(TIFF *tif, uint32_t tile, void *buf, tmsize_t result)
{
    const Rule *r = find_tag(READ_TILE, tile, tif);
    if (r && r->index >= 0 && r->index < result)
        static_cast<uint8_t *>(buf)[r->index] = static_cast<uint8_t>(r->value);
    if ((r = find_tag(READ_RESULT, tile, tif)) != nullptr)
        return static_cast<tmsize_t>(r->value);
    if (reads_long(tif, tile, result))
        return result + 1;
    return find_tag(READ_SHORT, tile, tif) && result > 0 ? result - 1 : result;
}

tmsize_t TIFFReadEncodedTile(TIFF *tif, uint32_t tile, void *buf, tmsize_t size)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFReadEncodedTile");
    if (from_probe(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
    const tmsize_t result = real(tif, tile, buf, size);

    return from_probe(__builtin_return_address(0)) ? alter_tile(tif, tile, buf, result) : result;
}

tmsize_t TIFFReadTile(TIFF *tif, void *buf, uint32_t x, uint32_t y, uint32_t z, uint16_t s)
{
    static auto real =
        next<tmsize_t (*)(TIFF *, void *, uint32_t, uint32_t, uint32_t, uint16_t)>("TIFFReadTile");
    if (from_probe(__builtin_return_address(0)) && codec_absent(tif))
        return -1;
    const tmsize_t result = real(tif, buf, x, y, z, s);

    return from_probe(__builtin_return_address(0))
               ? alter_tile(tif, TIFFComputeTile(tif, x, y, z, s), buf, result)
               : result;
}

uint64_t TIFFGetStrileOffsetWithErr(TIFF *tif, uint32_t strile, int *err)
{
    static auto real = next<uint64_t (*)(TIFF *, uint32_t, int *)>("TIFFGetStrileOffsetWithErr");
    return faulty_strile(STRILE_OFFSET, tif, strile, real(tif, strile, err), err,
                         __builtin_return_address(0));
}

uint64_t TIFFGetStrileOffset(TIFF *tif, uint32_t strile)
{
    static auto real = next<uint64_t (*)(TIFF *, uint32_t)>("TIFFGetStrileOffset");
    return faulty_strile(STRILE_OFFSET, tif, strile, real(tif, strile), nullptr,
                         __builtin_return_address(0));
}

uint64_t TIFFGetStrileByteCountWithErr(TIFF *tif, uint32_t strile, int *err)
{
    static auto real = next<uint64_t (*)(TIFF *, uint32_t, int *)>("TIFFGetStrileByteCountWithErr");
    return faulty_strile(STRILE_COUNT, tif, strile, real(tif, strile, err), err,
                         __builtin_return_address(0));
}

uint64_t TIFFGetStrileByteCount(TIFF *tif, uint32_t strile)
{
    static auto real = next<uint64_t (*)(TIFF *, uint32_t)>("TIFFGetStrileByteCount");
    return faulty_strile(STRILE_COUNT, tif, strile, real(tif, strile), nullptr,
                         __builtin_return_address(0));
}

int TIFFForceStrileArrayWriting(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFForceStrileArrayWriting");

    if (from_probe(__builtin_return_address(0)) &&
        find(NO_FORCE, nullptr, TIFFFileName(tif), open_mode(tif)))
        return 1;
    if (from_probe(__builtin_return_address(0)) &&
        find(FORCE_FAIL, nullptr, TIFFFileName(tif), open_mode(tif)))
        return 0;
    return real(tif);
}

int TIFFCheckpointDirectory(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFCheckpointDirectory");
    static int calls = 0;
    char ordinal[16];

    if (!from_probe(__builtin_return_address(0)))
        return real(tif);
    snprintf(ordinal, sizeof(ordinal), "%d", ++calls);
    if (find(NO_CHECKPOINT, ordinal, TIFFFileName(tif), open_mode(tif)))
        return 1;
    return client_ok("Checkpoint", tif, real(tif));
}

int TIFFGetFieldDefaulted(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    void *out[2] = {nullptr, nullptr};
    const Rule *r =
        from_program(__builtin_return_address(0)) ? find_tag(DEFAULT_U16, tag, tif) : nullptr;

    va_start(ap, tag);
    const int result = TIFFVGetFieldDefaulted(tif, tag, ap);
    va_end(ap);
    if (!r)
        return result;
    // Each rule for the tag, so that both values of a pair can be wrong.
    for (; r; r = find_tag(DEFAULT_U16, tag, tif, r)) {
        va_start(ap, tag);
        out_pointers(ap, r->index == 1 ? 2 : 1, out);
        va_end(ap);
        *static_cast<uint16_t *>(out[r->index == 1 ? 1 : 0]) = static_cast<uint16_t>(r->value);
    }
    return 1;
}

int TIFFVGetFieldDefaulted(TIFF *tif, uint32_t tag, va_list ap)
{
    static auto real = next<int (*)(TIFF *, uint32_t, va_list)>("TIFFVGetFieldDefaulted");
    const Rule *r =
        from_probe(__builtin_return_address(0)) ? find_tag(VDEFAULT_U16, tag, tif) : nullptr;
    if (from_probe(__builtin_return_address(0)) && find_tag(VDEFAULT_FAIL, tag, tif))
        return 0;
    va_list copy;
    va_copy(copy, ap);
    const int result = real(tif, tag, ap);
    if (r && result) {
        void *out = nullptr;
        out_pointers(copy, 1, &out);
        *static_cast<uint16_t *>(out) = static_cast<uint16_t>(r->value);
    }
    va_end(copy);
    return result;
}

int TIFFUnsetField(TIFF *tif, uint32_t tag)
{
    static auto real = next<int (*)(TIFF *, uint32_t)>("TIFFUnsetField");

    if (from_program(__builtin_return_address(0)) && find_tag(UNSET_NOTHING, tag, tif))
        return 1;
    return real(tif, tag);
}

// The queries whose answers the man pages promise (manpage_probe): each
// answers as the answer rule says, else as the library does.
uint32_t TIFFNumberOfStrips(TIFF *tif)
{
    static auto real = next<uint32_t (*)(TIFF *)>("TIFFNumberOfStrips");
    const Rule *r = answer("NumberOfStrips", __builtin_return_address(0), tif);
    return r ? static_cast<uint32_t>(r->value) : real(tif);
}

tmsize_t TIFFStripSize(TIFF *tif)
{
    static auto real = next<tmsize_t (*)(TIFF *)>("TIFFStripSize");
    const Rule *r = answer("StripSize", __builtin_return_address(0), tif);
    return r ? static_cast<tmsize_t>(r->value) : real(tif);
}

tmsize_t TIFFScanlineSize(TIFF *tif)
{
    static auto real = next<tmsize_t (*)(TIFF *)>("TIFFScanlineSize");
    const Rule *r = answer("ScanlineSize", __builtin_return_address(0), tif);
    return r ? static_cast<tmsize_t>(r->value) : real(tif);
}

uint32_t TIFFComputeStrip(TIFF *tif, uint32_t row, uint16_t sample)
{
    static auto real = next<uint32_t (*)(TIFF *, uint32_t, uint16_t)>("TIFFComputeStrip");
    const Rule *r = answer("ComputeStrip", __builtin_return_address(0), tif);
    return r ? static_cast<uint32_t>(r->value) : real(tif, row, sample);
}

uint32_t TIFFNumberOfTiles(TIFF *tif)
{
    static auto real = next<uint32_t (*)(TIFF *)>("TIFFNumberOfTiles");
    const Rule *r = answer("NumberOfTiles", __builtin_return_address(0), tif);
    return r ? static_cast<uint32_t>(r->value) : real(tif);
}

tmsize_t TIFFTileSize(TIFF *tif)
{
    static auto real = next<tmsize_t (*)(TIFF *)>("TIFFTileSize");
    const Rule *r = answer("TileSize", __builtin_return_address(0), tif);
    return r ? static_cast<tmsize_t>(r->value) : real(tif);
}

uint32_t TIFFComputeTile(TIFF *tif, uint32_t x, uint32_t y, uint32_t z, uint16_t s)
{
    static auto real =
        next<uint32_t (*)(TIFF *, uint32_t, uint32_t, uint32_t, uint16_t)>("TIFFComputeTile");
    const Rule *r = answer("ComputeTile", __builtin_return_address(0), tif);
    return r ? static_cast<uint32_t>(r->value) : real(tif, x, y, z, s);
}

int TIFFCheckTile(TIFF *tif, uint32_t x, uint32_t y, uint32_t z, uint16_t s)
{
    static auto real =
        next<int (*)(TIFF *, uint32_t, uint32_t, uint32_t, uint16_t)>("TIFFCheckTile");
    const Rule *r = answer("CheckTile", __builtin_return_address(0), tif);
    return r ? static_cast<int>(r->value) : real(tif, x, y, z, s);
}

int TIFFIsTiled(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFIsTiled");
    const Rule *r = answer("IsTiled", __builtin_return_address(0), tif);
    return r ? static_cast<int>(r->value) : real(tif);
}

int TIFFIsBigTIFF(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFIsBigTIFF");
    const Rule *r = answer("IsBigTIFF", __builtin_return_address(0), tif);
    return r ? static_cast<int>(r->value) : real(tif);
}

int TIFFGetMode(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFGetMode");
    const Rule *r = answer("GetMode", __builtin_return_address(0), tif);
    return r ? static_cast<int>(r->value) : real(tif);
}

int TIFFDataWidth(TIFFDataType type)
{
    static auto real = next<int (*)(TIFFDataType)>("TIFFDataWidth");
    const Rule *r = answer("DataWidth", __builtin_return_address(0), nullptr);
    return r && r->index == static_cast<long>(type) ? static_cast<int>(r->value) : real(type);
}

int TIFFFieldPassCount(const TIFFField *fip)
{
    static auto real = next<int (*)(const TIFFField *)>("TIFFFieldPassCount");
    const Rule *r = field_answer("FieldPassCount", __builtin_return_address(0), fip);
    return r ? static_cast<int>(r->value) : real(fip);
}

int TIFFFieldReadCount(const TIFFField *fip)
{
    static auto real = next<int (*)(const TIFFField *)>("TIFFFieldReadCount");
    const Rule *r = field_answer("FieldReadCount", __builtin_return_address(0), fip);
    return r ? static_cast<int>(r->value) : real(fip);
}

int TIFFFieldIsAnonymous(const TIFFField *fip)
{
    static auto real = next<int (*)(const TIFFField *)>("TIFFFieldIsAnonymous");
    const Rule *r = field_answer("FieldIsAnonymous", __builtin_return_address(0), fip);
    return r ? static_cast<int>(r->value) : real(fip);
}

// The field the program's TIFF`call` gives instead, for `tag` (any tag for
// FieldWithName), or null.
const TIFFField *field_of(const char *call, const void *caller, TIFF *tif, long tag)
{
    static auto with_tag = next<const TIFFField *(*)(TIFF *, uint32_t)>("TIFFFieldWithTag");
    if (!from_probe(caller))
        return nullptr;
    const Rule *r = find(FIELD_OF, call, TIFFFileName(tif), open_mode(tif));
    if (!r || (r->index >= 0 && r->index != tag))
        return nullptr;
    const TIFFField *f = with_tag(tif, static_cast<uint32_t>(r->value));
    if (!f)
        die("no field of the tag to give", call);
    return f;
}

const TIFFField *TIFFFindField(TIFF *tif, uint32_t tag, TIFFDataType type)
{
    static auto real = next<const TIFFField *(*)(TIFF *, uint32_t, TIFFDataType)>("TIFFFindField");
    const TIFFField *f = field_of("FindField", __builtin_return_address(0), tif, tag);
    return f ? f : real(tif, tag, type);
}

const TIFFField *TIFFFieldWithTag(TIFF *tif, uint32_t tag)
{
    static auto real = next<const TIFFField *(*)(TIFF *, uint32_t)>("TIFFFieldWithTag");
    const TIFFField *f = field_of("FieldWithTag", __builtin_return_address(0), tif, tag);
    return f ? f : real(tif, tag);
}

const TIFFField *TIFFFieldWithName(TIFF *tif, const char *name)
{
    static auto real = next<const TIFFField *(*)(TIFF *, const char *)>("TIFFFieldWithName");
    const TIFFField *f = field_of("FieldWithName", __builtin_return_address(0), tif, -1);
    return f ? f : real(tif, name);
}

int TIFFFieldSetGetSize(const TIFFField *fip)
{
    static auto real = next<int (*)(const TIFFField *)>("TIFFFieldSetGetSize");
    const Rule *r = field_answer("FieldSetGetSize", __builtin_return_address(0), fip);
    return r ? static_cast<int>(r->value) : real(fip);
}

// The program's TIFFPrintDirectory calls on handles of `name` so far, this one
// included.
unsigned print_call(const char *name)
{
    static struct {
        char name[64];
        unsigned calls;
    } files[16];
    const char *base = base_name(name);
    for (auto &f : files) {
        if (f.name[0] == '\0')
            snprintf(f.name, sizeof(f.name), "%s", base);
        if (strcmp(f.name, base) == 0)
            return ++f.calls;
    }
    abort();
}

void TIFFPrintDirectory(TIFF *tif, FILE *fd, long flags)
{
    static auto real = next<void (*)(TIFF *, FILE *, long)>("TIFFPrintDirectory");

    if (!from_probe(__builtin_return_address(0)))
        return real(tif, fd, flags);
    char call[16];
    snprintf(call, sizeof(call), "%u", print_call(TIFFFileName(tif)));
    const Rule *drop = find(PRINT_DROP, call, TIFFFileName(tif), open_mode(tif));
    const Rule *digit = find(PRINT_DIGIT, call, TIFFFileName(tif), open_mode(tif));
    const Rule *add = find(PRINT_ADD, call, TIFFFileName(tif), open_mode(tif));
    const Rule *character = find(PRINT_CHAR, call, TIFFFileName(tif), open_mode(tif));
    if (!drop && !digit && !add && !character)
        return real(tif, fd, flags);
    char *buf = nullptr;
    size_t size = 0;
    FILE *mem = open_memstream(&buf, &size);
    if (!mem)
        abort();
    real(tif, mem, flags);
    if (fclose(mem) != 0)
        abort();
    std::string text(buf, size);
    free(buf);
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (digit && digit->index >= 0 && static_cast<size_t>(digit->index) < lines.size()) {
        std::string &line = lines[static_cast<size_t>(digit->index)];
        const size_t d = line.find_last_of("0123456789");
        if (d != std::string::npos)
            line[d] = static_cast<char>('0' + digit->value % 10);
    }
    if (character && character->index >= 0 &&
        static_cast<size_t>(character->index) < lines.size() &&
        !lines[static_cast<size_t>(character->index)].empty())
        lines[static_cast<size_t>(character->index)].back() =
            static_cast<char>(character->value & 0xff);
    if (add) {
        const TIFFField *field = TIFFFieldWithTag(tif, static_cast<uint32_t>(add->value));
        lines.push_back(std::string("  ") + (field ? TIFFFieldName(field) : "Unknown") + ": 1");
    }
    for (size_t i = 0; i < lines.size(); i++) {
        if (!drop || drop->index != static_cast<long>(i))
            fprintf(fd, "%s\n", lines[i].c_str());
    }
}

uint64_t TIFFScanlineSize64(TIFF *tif)
{
    static auto real = next<uint64_t (*)(TIFF *)>("TIFFScanlineSize64");
    const Rule *r = answer("ScanlineSize64", __builtin_return_address(0), tif);
    return r ? static_cast<uint64_t>(r->value) : real(tif);
}

uint64_t TIFFStripSize64(TIFF *tif)
{
    static auto real = next<uint64_t (*)(TIFF *)>("TIFFStripSize64");
    const Rule *r = answer("StripSize64", __builtin_return_address(0), tif);
    return r ? static_cast<uint64_t>(r->value) : real(tif);
}

tmsize_t TIFFVStripSize(TIFF *tif, uint32_t rows)
{
    static auto real = next<tmsize_t (*)(TIFF *, uint32_t)>("TIFFVStripSize");
    const Rule *r = answer("VStripSize", __builtin_return_address(0), tif);
    return r ? static_cast<tmsize_t>(r->value) : real(tif, rows);
}

uint64_t TIFFTileSize64(TIFF *tif)
{
    static auto real = next<uint64_t (*)(TIFF *)>("TIFFTileSize64");
    const Rule *r = answer("TileSize64", __builtin_return_address(0), tif);
    return r ? static_cast<uint64_t>(r->value) : real(tif);
}

tmsize_t TIFFVTileSize(TIFF *tif, uint32_t rows)
{
    static auto real = next<tmsize_t (*)(TIFF *, uint32_t)>("TIFFVTileSize");
    const Rule *r = answer("VTileSize", __builtin_return_address(0), tif);
    return r ? static_cast<tmsize_t>(r->value) : real(tif, rows);
}

tmsize_t TIFFRasterScanlineSize(TIFF *tif)
{
    static auto real = next<tmsize_t (*)(TIFF *)>("TIFFRasterScanlineSize");
    const Rule *r = answer("RasterScanline", __builtin_return_address(0), tif);
    return r ? static_cast<tmsize_t>(r->value) : real(tif);
}

uint64_t TIFFRawStripSize64(TIFF *tif, uint32_t strip)
{
    static auto real = next<uint64_t (*)(TIFF *, uint32_t)>("TIFFRawStripSize64");
    const Rule *r = answer("RawStripSize64", __builtin_return_address(0), tif);
    return r ? static_cast<uint64_t>(r->value) : real(tif, strip);
}

uint32_t TIFFDefaultStripSize(TIFF *tif, uint32_t request)
{
    static auto real = next<uint32_t (*)(TIFF *, uint32_t)>("TIFFDefaultStripSize");
    const Rule *r = answer("DefaultStripSize", __builtin_return_address(0), tif);
    return r ? static_cast<uint32_t>(r->value) : real(tif, request);
}

void TIFFDefaultTileSize(TIFF *tif, uint32_t *width, uint32_t *length)
{
    static auto real = next<void (*)(TIFF *, uint32_t *, uint32_t *)>("TIFFDefaultTileSize");
    const Rule *r = answer("DefaultTileSize", __builtin_return_address(0), tif);
    const bool asked = r && (r->index < 0 || static_cast<uint32_t>(r->index) == *width);
    real(tif, width, length);
    if (asked)
        *width = static_cast<uint32_t>(r->value);
}

// The current row, strip and tile, and the flushes: each a query the
// answer rule may answer.
#define ANSWERED(TYPE, CALL)                                                                       \
    TYPE TIFF##CALL(TIFF *tif)                                                                     \
    {                                                                                              \
        static auto real = next<TYPE (*)(TIFF *)>("TIFF" #CALL);                                   \
        const Rule *r = answer(#CALL, __builtin_return_address(0), tif);                           \
        return r ? static_cast<TYPE>(r->value) : real(tif);                                        \
    }
ANSWERED(uint32_t, CurrentRow)
ANSWERED(uint32_t, CurrentStrip)
ANSWERED(uint32_t, CurrentTile)
ANSWERED(int, Flush)
ANSWERED(int, FlushData)
#undef ANSWERED

// --- The mutation review's rules: raw-result, raw-drop, cleanup-closes ---

// The result of a raw chunk read as the raw-result rule gives it.
static tmsize_t raw_result(TIFF *tif, uint32_t chunk, tmsize_t result)
{
    const Rule *r = find_tag(RAW_RESULT, chunk, tif);
    return r ? static_cast<tmsize_t>(r->value) : result;
}

// Whether the raw-drop rule takes this raw write of `chunk`; counts the
// program's raw writes of each chunk of each file, from 1.
static bool raw_dropped(TIFF *tif, uint32_t chunk)
{
    static struct {
        char name[64];
        uint32_t chunk;
        long calls;
    } seen[64];
    const char *base = base_name(TIFFFileName(tif));
    for (auto &c : seen) {
        if (c.name[0] == '\0') {
            snprintf(c.name, sizeof(c.name), "%s", base);
            c.chunk = chunk;
        }
        if (strcmp(c.name, base) != 0 || c.chunk != chunk)
            continue;
        c.calls++;
        const Rule *r = find_tag(RAW_DROP, chunk, tif);
        return r && r->index == c.calls;
    }
    abort();
}

tmsize_t TIFFWriteRawStrip(TIFF *tif, uint32_t strip, void *data, tmsize_t cc)
{
    static auto real = next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFWriteRawStrip");
    if (from_probe(__builtin_return_address(0)) && raw_dropped(tif, strip))
        return cc;
    return real(tif, strip, data, cc);
}

tmsize_t TIFFWriteRawTile(TIFF *tif, uint32_t tile, void *data, tmsize_t cc)
{
    static auto real = next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFWriteRawTile");
    if (from_probe(__builtin_return_address(0)) && raw_dropped(tif, tile))
        return cc;
    return real(tif, tile, data, cc);
}

void TIFFCleanup(TIFF *tif)
{
    static auto real = next<void (*)(TIFF *)>("TIFFCleanup");
    const bool closes = tif && from_probe(__builtin_return_address(0)) &&
                        find(CLEANUP_CLOSES, nullptr, TIFFFileName(tif), open_mode(tif));
    const int fd = closes ? TIFFFileno(tif) : -1;
    for (ClientFile &c : client_files) {
        if (tif && c.tif == tif)
            c.tif = nullptr;
    }
    real(tif);
    if (fd >= 0)
        close(fd);
}

const unsigned char *TIFFGetBitRevTable(int reversed)
{
    static auto real = next<const unsigned char *(*)(int)>("TIFFGetBitRevTable");
    if (from_probe(__builtin_return_address(0)) && find(BITREV_SWAPPED, nullptr, nullptr))
        return real(!reversed);
    return real(reversed);
}

// --- End of the mutation review's rules ---

static tmsize_t alter_raw(TIFF *tif, uint32_t chunk, void *buf, tmsize_t result)
{
    const Rule *r = find_tag(READ_RAW, chunk, tif);
    if (r && r->index >= 0 && r->index < result)
        static_cast<uint8_t *>(buf)[r->index] = static_cast<uint8_t>(r->value);
    return raw_result(tif, chunk, result);
}

tmsize_t TIFFReadRawStrip(TIFF *tif, uint32_t strip, void *buf, tmsize_t size)
{
    static auto real = next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFReadRawStrip");
    const tmsize_t result = real(tif, strip, buf, size);
    return from_probe(__builtin_return_address(0)) ? alter_raw(tif, strip, buf, result) : result;
}

tmsize_t TIFFReadRawTile(TIFF *tif, uint32_t tile, void *buf, tmsize_t size)
{
    static auto real = next<tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t)>("TIFFReadRawTile");
    const tmsize_t result = real(tif, tile, buf, size);
    return from_probe(__builtin_return_address(0)) ? alter_raw(tif, tile, buf, result) : result;
}

void TIFFSwabLong8(uint64_t *lp)
{
    static auto real = next<void (*)(uint64_t *)>("TIFFSwabLong8");
    if (!from_probe(__builtin_return_address(0)) || !find(SWAB_NONE, "Long8", nullptr))
        real(lp);
}

void TIFFSwabArrayOfShort(uint16_t *wp, tmsize_t n)
{
    static auto real = next<void (*)(uint16_t *, tmsize_t)>("TIFFSwabArrayOfShort");
    // The last item left as it was: a loop that stops one short.
    if (from_probe(__builtin_return_address(0)) && find(SWAB_NONE, "ArrayOfShort", nullptr))
        return real(wp, n > 0 ? n - 1 : 0);
    real(wp, n);
}

void TIFFReverseBits(uint8_t *cp, tmsize_t n)
{
    static auto real = next<void (*)(uint8_t *, tmsize_t)>("TIFFReverseBits");
    if (!from_probe(__builtin_return_address(0)) || !find(SWAB_NONE, "ReverseBits", nullptr))
        real(cp, n);
}
int TIFFWriteDirectory(TIFF *tif)
{
    static auto real = next<int (*)(TIFF *)>("TIFFWriteDirectory");
    static int calls = 0;
    char ordinal[16];

    // Not from the shim: its rewrite-dir-write rule calls this.
    if (!from_probe(__builtin_return_address(0)))
        return real(tif);
    snprintf(ordinal, sizeof(ordinal), "%d", ++calls);
    if (find(WRITE_DIR, ordinal, TIFFFileName(tif), open_mode(tif)))
        return 0;
    return client_ok("Write", tif, real(tif));
}

#if defined(TIFFLIB_AT_LEAST)
void TIFFOpenOptionsSetErrorHandlerExtR(TIFFOpenOptions *opts, TIFFErrorHandlerExtR handler,
                                        void *user_data)
{
    static auto real = next<void (*)(TIFFOpenOptions *, TIFFErrorHandlerExtR, void *)>(
        "TIFFOpenOptionsSetErrorHandlerExtR");

    if (rule_count < 0)
        load_rules();
    bool any = false;
    for (int i = 0; i < rule_count; i++)
        any = any || rules[i].kind == MUTE;
    if (!any || !from_program(__builtin_return_address(0)))
        return real(opts, handler, user_data);
    // A slot per handler and user data, reused: a probe gives the same few.
    int i = 0;
    while (i < muted_count && (muted[i].handler != handler || muted[i].user_data != user_data))
        i++;
    if (i == muted_count) {
        if (muted_count == static_cast<int>(sizeof(muted) / sizeof(muted[0])))
            die("too many handlers", "mute");
        muted[muted_count++] = {handler, user_data};
    }
    real(opts, mute_error, &muted[i]);
}
#endif

// Lets a test keep the files of a passing run, to read them independently.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): glibc's is __name
int unlink(const char *path) noexcept
{
    static auto real = next<int (*)(const char *)>("unlink");

    if (from_program(__builtin_return_address(0)) && find(KEEP, nullptr, path))
        return 0;
    return real(path);
}

} // extern "C"
