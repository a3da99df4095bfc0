#include <algorithm>
#include <cstring>

#include "matrix_detail.h"
#include "probe_support.h"

namespace matrix::detail {

namespace {

// --- Memory as a file --------------------------------------------------------

struct Memory {
    const std::vector<uint8_t> *bytes;
    uint64_t at = 0;
};

tmsize_t MemRead(thandle_t h, void *buf, tmsize_t n)
{
    auto *m = static_cast<Memory *>(h);
    const uint64_t size = m->bytes->size();
    if (n < 0 || m->at >= size)
        return 0;
    const uint64_t k = std::min<uint64_t>(static_cast<uint64_t>(n), size - m->at);
    memcpy(buf, m->bytes->data() + m->at, k);
    m->at += k;
    return static_cast<tmsize_t>(k);
}

tmsize_t MemWrite(thandle_t /*h*/, void * /*buf*/, tmsize_t /*n*/)
{
    return -1;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence)
{
    auto *m = static_cast<Memory *>(h);
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
    return static_cast<Memory *>(h)->bytes->size();
}

int MemMap(thandle_t h, void **base, toff_t *size)
{
    auto *m = static_cast<Memory *>(h);
    *base = const_cast<uint8_t *>(m->bytes->data());
    *size = m->bytes->size();
    return 1;
}

void MemUnmap(thandle_t /*h*/, void * /*base*/, toff_t /*size*/) {}

// Files of the big-endian layouts are read mapped, the others through the
// read procedure ("m"): the library has a path for each. A case named
// "ondemand" loads its strile arrays on demand ("O", TIFFOpen(3tiff)).
const char *Mode(const char *name)
{
    const bool mapped = strstr(name, "_be.") != nullptr;
    if (strstr(name, "ondemand"))
        return mapped ? "rO" : "rmO";
    return mapped ? "r" : "rm";
}

// Opens `mem` as the file `name`.
TIFF *OpenMemory(const char *name, Memory *mem)
{
    return TIFFClientOpen(name, Mode(name), mem, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                          MemMap, MemUnmap);
}

// --- The case's file -----------------------------------------------------------

unsigned ElementSize(uint16_t type)
{
    return read_fetch::Pairs(type) ? 4 : ifd::TypeSize(type);
}

// The elements of `type` the file holds at `at`, as many as fit.
std::vector<uint64_t> ElementsAt(const std::vector<uint8_t> &bytes, bool big_endian, uint64_t at,
                                 uint16_t type, uint64_t elements)
{
    std::vector<uint64_t> out;
    const unsigned w = ElementSize(type);
    for (uint64_t i = 0; i < elements && at + (i + 1) * w <= bytes.size(); i++) {
        uint64_t v = 0;
        for (unsigned b = 0; b < w; b++) {
            const unsigned shift = 8 * (big_endian ? w - 1 - b : b);
            v |= uint64_t{bytes[at + i * w + b]} << shift;
        }
        out.push_back(v);
    }
    return out;
}

} // namespace

std::string Judge(const char *name, const std::vector<uint8_t> &bytes, Outcome outcome,
                  const std::function<std::string(TIFF *)> &check)
{
    Memory mem{&bytes};
    const probe::ExpectedMessages messages;
    TIFF *tif = OpenMemory(name, &mem);
    if (!tif) // refused: the open failing is a refusal too
        return outcome == Outcome::Exact ? "the library can't open the file" : "";
    std::string broke = check(tif);
    TIFFClose(tif);
    if (broke.empty() && outcome == Outcome::Exact && messages.Count() > 0)
        broke = "the library reported a problem";
    return broke;
}

File Build(const Row &row, const Variant &v, const read_cases::Format &fmt)
{
    File file;
    file.image = row.image;
    ifd::Writer w(fmt.big_endian, fmt.bigtiff);
    for (unsigned i = 0; i < 2 * strip_bytes; i++)
        file.pixels.push_back(static_cast<uint8_t>(i * 37 + 11));
    const uint64_t s0 = w.Append(file.pixels);

    const std::vector<ifd::Field> image = Image(s0, s0 + strip_bytes);
    // A field of the EXIF or GPS IFD goes there; the main IFD links it and
    // comes first, so that the linked IFD's values end the file.
    const bool linked = row.home == Home::Exif || row.home == Home::Gps;
    std::vector<ifd::Field> fields;
    if (linked) {
        ifd::Ifd main;
        main.fields = image;
        const uint16_t link = row.home == Home::Exif ? ifd::tag::ExifIFD : ifd::tag::GPSInfoIFD;
        auto at = std::find_if(main.fields.begin(), main.fields.end(),
                               [&](const ifd::Field &f) { return f.tag > link; });
        main.fields.insert(at, ifd::Numbers(link, ifd::LONG, {0}));
        w.Align();
        const uint64_t main_at = w.Size();
        uint64_t sub_at = main_at + w.IfdSize(main);
        sub_at += sub_at % 2;
        for (ifd::Field &f : main.fields) {
            if (f.tag == link)
                f.values = {sub_at};
        }
        w.AppendIfd(main);
        w.Align();
        file.sub_at = sub_at;
    } else {
        fields = image;
        fields.erase(std::remove_if(fields.begin(), fields.end(),
                                    [&](const ifd::Field &f) { return f.tag == row.tag; }),
                     fields.end());
    }
    ifd::Field f = v.field;
    const uint64_t count = f.count != ifd::derived     ? f.count
                           : read_fetch::Pairs(f.type) ? f.values.size() / 2
                                                       : f.values.size();
    const uint64_t value_size = f.values.size() * ElementSize(f.type);
    const bool out_of_line = count > w.Slot() || count * ifd::TypeSize(f.type) > w.Slot();
    if (out_of_line)
        f.value_at = 0; // placed below, once the IFD's size is known
    fields.push_back(f);
    std::stable_sort(fields.begin(), fields.end(),
                     [](const ifd::Field &a, const ifd::Field &b) { return a.tag < b.tag; });
    size_t index = 0;
    while (fields[index].tag != row.tag)
        index++;

    ifd::Ifd ifd;
    ifd.fields = fields;
    w.Align();
    const uint64_t ifd_at = w.Size();
    const uint64_t after = ifd_at + w.IfdSize(ifd);
    uint64_t at = after + (after % 2);
    switch (v.place) {
    case Place::Writer:
    case Place::Straddle:
        break;
    case Place::Odd:
        at = after | 1;
        break;
    case Place::PastEnd:
        at = after + 64;
        break;
    case Place::OverIfd:
        at = ifd_at;
        break;
    }
    if (out_of_line)
        ifd.fields[index].value_at = at;
    w.AppendIfd(ifd, !linked);
    file.expect = v.expect;
    const uint64_t slot_at =
        ifd_at + (fmt.bigtiff ? 8 : 2) + index * (fmt.bigtiff ? 20 : 12) + 4 + w.Slot();
    file.slot = ifd::Numbers(
        row.tag, f.type,
        ElementsAt(w.Bytes(), fmt.big_endian, slot_at, f.type,
                   std::min<uint64_t>(row.standard.values.size(), w.Slot() / ElementSize(f.type))));
    if (out_of_line &&
        (v.place == Place::Writer || v.place == Place::Odd || v.place == Place::Straddle)) {
        while (w.Size() < at)
            w.Append({0});
        std::vector<uint8_t> encoded = w.Encode(f);
        if (v.place == Place::Straddle)
            encoded.resize(std::max<uint64_t>(1, value_size / 2));
        w.Append(encoded);
    }
    file.bytes = w.Bytes();
    if (v.place == Place::OverIfd) {
        const uint64_t elements = read_fetch::Pairs(f.type) ? 2 * count : count;
        file.expect.values = ElementsAt(file.bytes, fmt.big_endian, at, f.type, elements);
    }
    return file;
}

std::vector<uint8_t> Pixels(unsigned seed, size_t n)
{
    std::vector<uint8_t> p;
    for (size_t i = 0; i < n; i++)
        p.push_back(static_cast<uint8_t>(i * 37 + seed));
    return p;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t> &bytes, size_t from, size_t to)
{
    return std::vector<uint8_t>(bytes.data() + from, bytes.data() + to);
}

std::vector<ifd::Field> Image(uint64_t s0, uint64_t s1, uint64_t width, uint64_t bits,
                              uint64_t rows, uint64_t count0, uint64_t count1)
{
    return {
        ifd::Numbers(ifd::tag::ImageWidth, ifd::SHORT, {width}),
        ifd::Numbers(ifd::tag::ImageLength, ifd::SHORT, {4}),
        ifd::Numbers(ifd::tag::BitsPerSample, ifd::SHORT, {bits}),
        ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {1}),
        ifd::Numbers(ifd::tag::PhotometricInterpretation, ifd::SHORT, {1}),
        ifd::Numbers(ifd::tag::StripOffsets, ifd::LONG, {s0, s1}),
        ifd::Numbers(ifd::tag::SamplesPerPixel, ifd::SHORT, {1}),
        ifd::Numbers(ifd::tag::RowsPerStrip, ifd::SHORT, {rows}),
        ifd::Numbers(ifd::tag::StripByteCounts, ifd::LONG, {count0, count1}),
        ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {1}),
    };
}

void Insert(std::vector<ifd::Field> *fields, const ifd::Field &f)
{
    auto at = std::find_if(fields->begin(), fields->end(),
                           [&](const ifd::Field &g) { return g.tag > f.tag; });
    fields->insert(at, f);
}

} // namespace matrix::detail
