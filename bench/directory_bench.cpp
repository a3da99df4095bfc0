// What the library's directory interface costs: one field of each kind the
// probes cover through a whole write/reopen/fetch cycle, the rewrite of the
// strip arrays as the directory grows, against plain pwrite of the same
// bytes, and writing, counting, jumping between and walking the pages of a
// multi-page file as the page count grows, against our own reader's walk.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include "ifd_reader.h"
#include "tiff_rewrite.h"

namespace {

std::string scratch_dir()
{
    static std::string dir;
    if (dir.empty()) {
        const char *tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tiff-bench.XXXXXX";
        if (!mkdtemp(templ.data()))
            abort();
        dir = templ;
    }
    return dir;
}

std::string scratch_file(const std::string &name)
{
    return scratch_dir() + "/" + name;
}

enum FieldKind { SHORT_FIELD, SHORT_PAIR, LONG_FIELD, ASCII_FIELD, INK_NAMES };

const char ink_names[15] = {'R', 'e',  'd', '\0', 'G', 'r', 'e', 'e',
                            'n', '\0', 'B', 'l',  'u', 'e', '\0'};
const char artist[] = "Marten Q. Holoway";

bool set_field(TIFF *tif, FieldKind kind)
{
    switch (kind) {
    case SHORT_FIELD:
        return TIFFSetField(tif, TIFFTAG_MINSAMPLEVALUE, 23);
    case SHORT_PAIR:
        return TIFFSetField(tif, TIFFTAG_DOTRANGE, 8, 16);
    case LONG_FIELD:
        return TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 7);
    case ASCII_FIELD:
        return TIFFSetField(tif, TIFFTAG_ARTIST, artist);
    case INK_NAMES:
        return TIFFSetField(tif, TIFFTAG_NUMBEROFINKS, 3) &&
               TIFFSetField(tif, TIFFTAG_INKNAMES, static_cast<int>(sizeof(ink_names)), ink_names);
    }
    return false;
}

bool field_matches(TIFF *tif, FieldKind kind)
{
    uint16_t s[2] = {0, 0};
    uint32_t l = 0;
    char *text = nullptr;

    switch (kind) {
    case SHORT_FIELD:
        return TIFFGetField(tif, TIFFTAG_MINSAMPLEVALUE, &s[0]) && s[0] == 23;
    case SHORT_PAIR:
        return TIFFGetField(tif, TIFFTAG_DOTRANGE, &s[0], &s[1]) && s[0] == 8 && s[1] == 16;
    case LONG_FIELD:
        return TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &l) && l == 7;
    case ASCII_FIELD:
        return TIFFGetField(tif, TIFFTAG_ARTIST, &text) && text && strcmp(text, artist) == 0;
    case INK_NAMES:
        return TIFFGetField(tif, TIFFTAG_INKNAMES, &text) && text &&
               memcmp(text, ink_names, sizeof(ink_names)) == 0;
    }
    return false;
}

// The probes' cycle for one field: create, set, write, close, reopen, fetch.
void BM_FieldRoundTrip(benchmark::State &state, FieldKind kind)
{
    const std::string path = scratch_file("field.tif");
    unsigned char pixel[3] = {0, 127, 255};

    for (auto _ : state) {
        TIFF *tif = TIFFOpen(path.c_str(), "w");
        if (!tif || !TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) ||
            !TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) ||
            !TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) ||
            !TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) ||
            !TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1) ||
            !TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) ||
            !TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) || !set_field(tif, kind) ||
            TIFFWriteScanline(tif, pixel, 0, 0) <= 0) {
            state.SkipWithError("write phase failed");
            if (tif)
                TIFFClose(tif);
            break;
        }
        TIFFClose(tif);
        tif = TIFFOpen(path.c_str(), "r");
        const bool ok = tif && field_matches(tif, kind);
        if (tif)
            TIFFClose(tif);
        if (!ok) {
            state.SkipWithError("field did not come back");
            break;
        }
    }
    unlink(path.c_str());
}

BENCHMARK_CAPTURE(BM_FieldRoundTrip, short, SHORT_FIELD);
BENCHMARK_CAPTURE(BM_FieldRoundTrip, short_pair, SHORT_PAIR);
BENCHMARK_CAPTURE(BM_FieldRoundTrip, long, LONG_FIELD);
BENCHMARK_CAPTURE(BM_FieldRoundTrip, ascii, ASCII_FIELD);
BENCHMARK_CAPTURE(BM_FieldRoundTrip, ink_names, INK_NAMES);

// A file of `strips` one-row strips of 10 bytes, made once per size and
// flavour and reused: the rewrites below never read the strips.
std::string strip_file(int64_t strips, bool bigtiff)
{
    std::string path =
        scratch_file(std::string(bigtiff ? "big" : "classic") + std::to_string(strips) + ".tif");
    if (access(path.c_str(), F_OK) == 0)
        return path;
    unsigned char row[10] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    TIFF *tif = TIFFOpen(path.c_str(), bigtiff ? "w8" : "w4");
    if (!tif)
        abort();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 10);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(strips));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    for (int64_t i = 0; i < strips; i++) {
        if (TIFFWriteEncodedStrip(tif, static_cast<uint32_t>(i), row, sizeof(row)) <= 0)
            abort();
    }
    TIFFClose(tif);
    return path;
}

// Rewrites StripOffsets and StripByteCounts of an existing directory; only
// the two rewrites are timed, not the open, fetch and close around them.
void BM_RewriteStripArrays(benchmark::State &state, bool bigtiff)
{
    const int64_t strips = state.range(0);
    const std::string path = strip_file(strips, bigtiff);
    std::vector<uint64_t> offsets(static_cast<size_t>(strips));
    std::vector<uint64_t> counts(static_cast<size_t>(strips));
    for (int64_t i = 0; i < strips; i++) {
        offsets[static_cast<size_t>(i)] = 100 + 10 * static_cast<uint64_t>(i);
        counts[static_cast<size_t>(i)] = 10;
    }

    for (auto _ : state) {
        TIFF *tif = TIFFOpen(path.c_str(), "r+");
        uint64_t *current = nullptr;
        if (!tif || !TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &current) ||
            !TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &current)) {
            state.SkipWithError("cannot open or fetch");
            if (tif)
                TIFFClose(tif);
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        const bool ok =
            _TIFFRewriteField(tif, TIFFTAG_STRIPOFFSETS, TIFF_LONG8, strips, offsets.data()) &&
            _TIFFRewriteField(tif, TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG8, strips, counts.data());
        const auto stop = std::chrono::steady_clock::now();
        TIFFClose(tif);
        if (!ok) {
            state.SkipWithError("rewrite refused");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.SetItemsProcessed(state.iterations() * strips);
    state.SetComplexityN(strips);
}

// The floor: the same two arrays written with pwrite into a file of the
// size the TIFF file has.
void BM_PwriteFloor(benchmark::State &state, bool bigtiff)
{
    const int64_t strips = state.range(0);
    struct stat st;
    if (stat(strip_file(strips, bigtiff).c_str(), &st) != 0)
        abort();
    const std::string path = scratch_file("floor.bin");
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, st.st_size) != 0)
        abort();
    const size_t bytes = static_cast<size_t>(strips) * sizeof(uint64_t);
    std::vector<uint64_t> offsets(static_cast<size_t>(strips), 100);
    std::vector<uint64_t> counts(static_cast<size_t>(strips), 10);

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = pwrite(fd, offsets.data(), bytes, 0) == static_cast<ssize_t>(bytes) &&
                        pwrite(fd, counts.data(), bytes, static_cast<off_t>(bytes)) ==
                            static_cast<ssize_t>(bytes);
        const auto stop = std::chrono::steady_clock::now();
        if (!ok) {
            state.SkipWithError("pwrite failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    close(fd);
    unlink(path.c_str());
    state.SetItemsProcessed(state.iterations() * strips);
    state.SetComplexityN(strips);
}

void StripCounts(benchmark::internal::Benchmark *b)
{
    for (int64_t n : {1, 10, 1000, 100000, 1000000})
        b->Arg(n);
    b->UseManualTime()->Complexity()->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(BM_RewriteStripArrays, classic, false)->Apply(StripCounts);
BENCHMARK_CAPTURE(BM_RewriteStripArrays, bigtiff, true)->Apply(StripCounts);
BENCHMARK_CAPTURE(BM_PwriteFloor, classic, false)->Apply(StripCounts);
BENCHMARK_CAPTURE(BM_PwriteFloor, bigtiff, true)->Apply(StripCounts);

constexpr int64_t page_counts[] = {10, 100, 1000, 10000, 100000};

// Writes `pages` 1x1 pages into `path`; false on any failure.
bool write_pages(const std::string &path, int64_t pages, bool bigtiff)
{
    const unsigned char pixel = 0x5A;
    TIFF *tif = TIFFOpen(path.c_str(), bigtiff ? "w8" : "w4");
    bool ok = tif != nullptr;
    for (int64_t i = 0; ok && i < pages; i++) {
        ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) &&
             TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) &&
             TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
             TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
             TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
             TIFFWriteEncodedStrip(tif, 0, const_cast<unsigned char *>(&pixel), 1) == 1 &&
             TIFFWriteDirectory(tif);
    }
    if (tif)
        TIFFClose(tif);
    return ok;
}

// A file of `pages` pages, made once per count and flavour, outside every
// timed region.
std::string page_file(int64_t pages, bool bigtiff)
{
    std::string path =
        scratch_file(std::string(bigtiff ? "bigpages" : "pages") + std::to_string(pages) + ".tif");
    if (access(path.c_str(), F_OK) != 0 && !write_pages(path, pages, bigtiff))
        abort();
    return path;
}

// Three repetitions, not the command line's five: at the largest count one
// iteration takes seconds.
void PageCounts(benchmark::internal::Benchmark *b)
{
    for (int64_t n : page_counts)
        b->Arg(n);
    b->UseManualTime()->Complexity()->Unit(benchmark::kMicrosecond)->Repetitions(3);
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writing N pages, one TIFFWriteDirectory each; the whole file per iteration.
void BM_WritePages(benchmark::State &state, bool bigtiff)
{
    const int64_t pages = state.range(0);
    const std::string path = scratch_file("written.tif");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = write_pages(path, pages, bigtiff);
        state.SetIterationTime(seconds_since(start));
        if (!ok) {
            state.SkipWithError("cannot write the pages");
            break;
        }
    }
    unlink(path.c_str());
    state.SetItemsProcessed(state.iterations() * pages);
    state.SetComplexityN(pages);
}

// TIFFNumberOfDirectories on a freshly opened file: the open is not timed.
void BM_NumberOfDirectories(benchmark::State &state, bool bigtiff)
{
    const int64_t pages = state.range(0);
    const std::string path = page_file(pages, bigtiff);
    for (auto _ : state) {
        TIFF *tif = TIFFOpen(path.c_str(), "r");
        if (!tif) {
            state.SkipWithError("cannot open");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        const tdir_t n = TIFFNumberOfDirectories(tif);
        state.SetIterationTime(seconds_since(start));
        TIFFClose(tif);
        if (n != pages) {
            state.SkipWithError("wrong page count");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * pages);
    state.SetComplexityN(pages);
}

constexpr int jumps = 1000;

// TIFFSetDirectory to 1,000 positions, ascending and evenly spaced or
// pseudo-random (fixed seed); reported per call. Visiting every page by index
// would take minutes at the largest counts.
void BM_SetDirectory(benchmark::State &state, bool bigtiff, bool random)
{
    const int64_t pages = state.range(0);
    const std::string path = page_file(pages, bigtiff);
    std::vector<tdir_t> positions(jumps);
    uint32_t seed = 12345;
    for (int i = 0; i < jumps; i++) {
        seed = seed * 1103515245U + 12345U;
        positions[static_cast<size_t>(i)] = static_cast<tdir_t>(
            random ? (seed >> 8) % static_cast<uint32_t>(pages) : i * pages / jumps);
    }
    for (auto _ : state) {
        TIFF *tif = TIFFOpen(path.c_str(), "r");
        if (!tif) {
            state.SkipWithError("cannot open");
            break;
        }
        bool ok = true;
        const auto start = std::chrono::steady_clock::now();
        for (tdir_t k : positions)
            ok = TIFFSetDirectory(tif, k) && ok;
        state.SetIterationTime(seconds_since(start));
        TIFFClose(tif);
        if (!ok) {
            state.SkipWithError("TIFFSetDirectory failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * jumps);
    state.SetComplexityN(pages);
}

// Every page visited in order with TIFFReadDirectory.
void BM_WalkPages(benchmark::State &state, bool bigtiff)
{
    const int64_t pages = state.range(0);
    const std::string path = page_file(pages, bigtiff);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TIFF *tif = TIFFOpen(path.c_str(), "r");
        int64_t seen = tif ? 1 : 0;
        while (tif && TIFFReadDirectory(tif))
            seen++;
        if (tif)
            TIFFClose(tif);
        state.SetIterationTime(seconds_since(start));
        if (seen != pages) {
            state.SkipWithError("wrong number of pages walked");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * pages);
    state.SetComplexityN(pages);
}

// The floor of the walk: the same chain read with the project's own reader,
// file read into memory included.
void BM_WalkFloor(benchmark::State &state, bool bigtiff)
{
    const int64_t pages = state.range(0);
    const std::string path = page_file(pages, bigtiff);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<uint8_t> bytes;
        const bool loaded = !ifd::LoadFile(path.c_str(), &bytes);
        const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
        state.SetIterationTime(seconds_since(start));
        if (!loaded || !file.problems.empty() || static_cast<int64_t>(file.chain.size()) != pages) {
            state.SkipWithError("cannot read the chain");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * pages);
    state.SetComplexityN(pages);
}

BENCHMARK_CAPTURE(BM_WritePages, classic, false)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_WritePages, bigtiff, true)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_NumberOfDirectories, classic, false)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_NumberOfDirectories, bigtiff, true)->Apply(PageCounts);
void BM_JumpAscending(benchmark::State &state, bool bigtiff)
{
    BM_SetDirectory(state, bigtiff, false);
}

void BM_JumpRandom(benchmark::State &state, bool bigtiff)
{
    BM_SetDirectory(state, bigtiff, true);
}

BENCHMARK_CAPTURE(BM_JumpAscending, classic, false)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_JumpAscending, bigtiff, true)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_JumpRandom, classic, false)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_JumpRandom, bigtiff, true)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_WalkPages, classic, false)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_WalkPages, bigtiff, true)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_WalkFloor, classic, false)->Apply(PageCounts);
BENCHMARK_CAPTURE(BM_WalkFloor, bigtiff, true)->Apply(PageCounts);

// TIFFGetStrileOffset of the last strip on a freshly opened file of N
// strips, the open included: loaded whole at first access (default) or
// read on demand ("O"), which should cost the same at any N.
void BM_StrileOffsetLast(benchmark::State &state, const char *mode)
{
    const int64_t strips = state.range(0);
    const std::string path = strip_file(strips, false);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TIFF *tif = TIFFOpen(path.c_str(), mode);
        const uint64_t offset =
            tif ? TIFFGetStrileOffset(tif, static_cast<uint32_t>(strips - 1)) : 0;
        if (tif)
            TIFFClose(tif);
        state.SetIterationTime(seconds_since(start));
        if (offset == 0) {
            state.SkipWithError("no offset for the last strip");
            break;
        }
    }
    state.SetComplexityN(strips);
}

void StrileCounts(benchmark::internal::Benchmark *b)
{
    for (int64_t n : {10, 1000, 100000, 1000000})
        b->Arg(n);
    b->UseManualTime()->Complexity()->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(BM_StrileOffsetLast, default, "r")->Apply(StrileCounts);
BENCHMARK_CAPTURE(BM_StrileOffsetLast, ondemand, "rO")->Apply(StrileCounts);

// Removes the scratch files when the process ends.
struct ScratchCleanup {
    ~ScratchCleanup()
    {
        const std::string dir = scratch_dir();
        for (const char *flavour : {"classic", "big"}) {
            for (int64_t n : {1, 10, 1000, 100000, 1000000})
                unlink(scratch_file(flavour + std::to_string(n) + ".tif").c_str());
        }
        for (const char *flavour : {"pages", "bigpages"}) {
            for (int64_t n : page_counts)
                unlink(scratch_file(flavour + std::to_string(n) + ".tif").c_str());
        }
        rmdir(dir.c_str());
    }
} cleanup;

} // namespace

int main(int argc, char **argv)
{
    // The context names the library actually loaded, so two JSON outputs
    // made with different LD_LIBRARY_PATHs say which is which.
    std::string version = TIFFGetVersion();
    benchmark::AddCustomContext("tiff_library", version.substr(0, version.find('\n')));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
