// The newer probes' skeleton: their layouts and main loop, the modes they
// open files in, and a TIFF handle that closes itself. Every check returns
// true when it passes. The four original probes keep their own single-file
// shape.
#ifndef TIFF_PROBES_SKELETON_H
#define TIFF_PROBES_SKELETON_H

#include <cstddef>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <tiffio.h>

#include "lines.h"

namespace probe {

// One file a probe writes: its name, its byte order and its format.
// Whatever else a probe varies by layout stays in a table of its own,
// keyed by the file name (PerLayout).
struct Layout {
    const char *filename;
    bool big_endian;
    bool bigtiff;
};

// How a file is opened.
enum class Access {
    Create,      // a new file, in the layout's byte order and format
    Read,        // "r"
    Update,      // "r+"
    ReadOnDemand // "rO": strile arrays loaded as they are needed
};

// A library may be built without any codec but none: a page whose codec it
// lacks is written uncompressed instead, and the probe says so once.
// `compression`, or COMPRESSION_NONE where the library lacks its codec, which
// is then remembered for SayCodecSkips (lines.h).
uint16_t CodecOrNone(uint16_t compression);
// Whether CodecOrNone dropped the codec of `compression`.
bool CodecDropped(uint16_t compression);
// The codecs CodecOrNone dropped, in the order dropped.
const std::vector<uint16_t> &DroppedCodecs();

// The mode TIFFOpen takes: "wl", "wb", "w8l" or "w8b" to create; reading
// and updating take the byte order and format from the file.
const char *Mode(const Layout &layout, Access access);

// A probe's value for one layout.
template <typename T>
struct PerLayout {
    const char *filename;
    T value;
};

// The value `table` holds for `layout`. A layout missing from its probe's
// table is the probe's own fault, so it stops the probe.
template <typename T, size_t N>
const T &ForLayout(const PerLayout<T> (&table)[N], const Layout &layout)
{
    for (const PerLayout<T> &row : table) {
        if (strcmp(row.filename, layout.filename) == 0)
            return row.value;
    }
    Say<Line::NoRow>(layout.filename);
    abort();
}

// The newer probes' main loop: runs `check` on every layout, whatever the
// earlier ones returned, and removes the file of each layout that passed
// (a failed layout's file stays behind for inspection). The exit status:
// 0 when every layout passed, 1 otherwise.
int RunLayouts(const Layout *layouts, size_t count,
               const std::function<bool(const Layout &)> &check);
template <size_t N>
int RunLayouts(const Layout (&layouts)[N], const std::function<bool(const Layout &)> &check)
{
    return RunLayouts(layouts, N, check);
}

// True on a big-endian host.
bool HostBigEndian();

// "page K", the place of a line about one page.
std::string Page(unsigned long k);

// A TIFF handle that closes itself. The probes leave a failed layout's file
// behind, so closing is all it does.
class Tiff {
  public:
    Tiff() = default;
    explicit Tiff(TIFF *tif) : tif_(tif) {}
    Tiff(const Tiff &) = delete;
    Tiff &operator=(const Tiff &) = delete;
    Tiff(Tiff &&other) noexcept : tif_(other.tif_) { other.tif_ = nullptr; }
    Tiff &operator=(Tiff &&other) noexcept;
    ~Tiff() { Close(); }

    TIFF *Get() const { return tif_; }
    operator TIFF *() const
    {
        return tif_;
    } // NOLINT(google-explicit-constructor): passed to the library's calls
    explicit operator bool() const { return tif_ != nullptr; }
    void Close();

  private:
    TIFF *tif_ = nullptr;
};

// Opens a new file; says "Can't create test TIFF file NAME." when the
// library refuses.
Tiff Create(const char *filename, const char *mode);
// Opens an existing file; says "Can't open test TIFF file NAME." when the
// library refuses.
Tiff Reopen(const char *filename, const char *mode);
// The same for a layout's file.
Tiff Create(const Layout &layout);
Tiff Reopen(const Layout &layout, Access access);

// A va_list form (TIFFVSetField, TIFFVGetField) called as the variadic
// call it stands for.
template <int (*Call)(TIFF *, uint32_t, va_list)>
int ThroughList(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    const int got = Call(tif, tag, ap);
    va_end(ap);
    return got;
}
// TIFFSetField and TIFFGetField through their va_list forms, so that a
// probe can hold those to the same values.
inline constexpr int (*VSet)(TIFF *, uint32_t, ...) = ThroughList<TIFFVSetField>;
inline constexpr int (*VGet)(TIFF *, uint32_t, ...) = ThroughList<TIFFVGetField>;
inline constexpr int (*VGetDefaulted)(TIFF *, uint32_t, ...) = ThroughList<TIFFVGetFieldDefaulted>;

// Item i of the items of `width` bytes (1, 2, 4 or 8) at `p`, in the host's
// byte order, as a value: what a swab or a field's storage holds there.
uint64_t ItemAt(const void *p, size_t width, size_t i);

// TIFFWriteDirectory for page k of `filename`; says the shared CantDirectory
// line ("can't write the directory", page K) when the library refuses.
bool WriteDirectory(TIFF *tif, unsigned k, const char *filename);

} // namespace probe

#endif
