#include <algorithm>
#include <cstring>

#include "matrix_detail.h"
#include "memory_file.h"
#include "probe_support.h"

namespace matrix::detail {

namespace {

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
    probe::MemoryFile mem{&bytes};
    const probe::ExpectedMessages messages;
    TIFF *tif = probe::OpenMemory(name, Mode(name), &mem);
    if (!tif) // refused: the open failing is a refusal too
        return outcome == Outcome::Exact ? "the library can't open the file" : "";
    std::string broke = check(tif);
    TIFFClose(tif);
    if (broke.empty() && outcome == Outcome::Exact && messages.Count() > 0)
        broke = "the library reported a problem";
    return broke;
}

// --- A file of several rows' variants ------------------------------------------

namespace {

// The IFD a row's field goes in: the main one (image, main and private
// fields), the EXIF IFD or the GPS IFD.
size_t IfdOf(const Row &row)
{
    return row.home == Home::Exif ? 1 : row.home == Home::Gps ? 2 : 0;
}

constexpr uint16_t links[3] = {0, ifd::tag::ExifIFD, ifd::tag::GPSInfoIFD};

uint64_t CountOf(const ifd::Field &f)
{
    return f.count != ifd::derived     ? f.count
           : read_fetch::Pairs(f.type) ? f.values.size() / 2
                                       : f.values.size();
}

// Where entry `index` of the IFD at `ifd_at` holds its value or offset.
uint64_t SlotAt(const ifd::Writer &w, uint64_t ifd_at, size_t index)
{
    return ifd_at + (w.BigTiff() ? 8 : 2) + index * (w.BigTiff() ? 20 : 12) + 4 + w.Slot();
}

size_t IndexOf(const std::vector<ifd::Field> &fields, uint16_t tag)
{
    size_t index = 0;
    while (fields[index].tag != tag)
        index++;
    return index;
}

// A pick's field as the IFD holds it, and where its values go.
struct Placed {
    ifd::Field field;
    bool out_of_line = false;
    uint64_t at = 0;  // the offset its entry gives
    size_t index = 0; // its entry in its IFD
};

} // namespace

Combined BuildMany(const std::vector<Pick> &picks, const read_cases::Format &fmt,
                   const Shapes &shapes)
{
    Combined c;
    ifd::Writer w(fmt.big_endian, fmt.bigtiff);
    for (unsigned i = 0; i < 2 * strip_bytes; i++)
        c.pixels.push_back(static_cast<uint8_t>(i * 37 + 11));
    uint64_t s0 = 0;
    uint64_t s1 = 0;
    if (shapes.strips_reversed) {
        s1 = w.Append(Slice(c.pixels, strip_bytes, 2 * strip_bytes));
        s0 = w.Append(Slice(c.pixels, 0, strip_bytes));
    } else {
        s0 = w.Append(c.pixels);
        s1 = s0 + strip_bytes;
    }

    std::vector<ifd::Field> fields[3];
    fields[0] = Image(s0, s1);
    std::vector<Placed> placed(picks.size());
    for (size_t i = 0; i < picks.size(); i++) {
        const Row &row = *picks[i].row;
        const size_t k = IfdOf(row);
        if (k == 0) {
            fields[0].erase(std::remove_if(fields[0].begin(), fields[0].end(),
                                           [&](const ifd::Field &f) { return f.tag == row.tag; }),
                            fields[0].end());
        } else if (fields[k].empty()) {
            // The main IFD links it; the offset is set once it is written.
            Insert(&fields[0], ifd::Numbers(links[k], ifd::LONG, {0}));
        }
        Placed &p = placed[i];
        p.field = picks[i].variant->field;
        const uint64_t count = CountOf(p.field);
        p.out_of_line = count > w.Slot() || count * ifd::TypeSize(p.field.type) > w.Slot();
        if (p.out_of_line)
            p.field.value_at = 0; // placed below, once the IFD's size is known
        fields[k].push_back(p.field);
    }

    uint64_t ifd_at[3] = {0, 0, 0};
    size_t straddle = picks.size();
    std::vector<size_t> past_end;
    for (size_t k = 0; k < 3; k++) {
        if (k > 0 && fields[k].empty())
            continue;
        std::stable_sort(fields[k].begin(), fields[k].end(),
                         [](const ifd::Field &a, const ifd::Field &b) { return a.tag < b.tag; });
        if (k == 0 && shapes.descending)
            std::reverse(fields[0].begin(), fields[0].end());
        ifd::Ifd ifd;
        ifd.fields = fields[k];
        w.Align();
        ifd_at[k] = w.Size();
        uint64_t end = ifd_at[k] + w.IfdSize(ifd);
        // The values go after the IFD in the order of their entries.
        std::vector<size_t> order;
        for (size_t i = 0; i < picks.size(); i++) {
            if (IfdOf(*picks[i].row) == k) {
                placed[i].index = IndexOf(ifd.fields, placed[i].field.tag);
                order.push_back(i);
            }
        }
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return placed[a].index < placed[b].index; });
        for (const size_t i : order) {
            Placed &p = placed[i];
            if (!p.out_of_line)
                continue;
            switch (picks[i].variant->place) {
            case Place::Writer:
                p.at = w.Aligned(end);
                end = p.at + w.Encode(p.field).size();
                break;
            case Place::Odd:
                p.at = end | 1;
                end = p.at + w.Encode(p.field).size();
                break;
            case Place::Straddle:
                straddle = i; // the file's last bytes, set at its end
                break;
            case Place::PastEnd:
                past_end.push_back(i);
                break;
            case Place::OverIfd:
                p.at = ifd_at[k];
                break;
            }
            ifd.fields[p.index].value_at = p.at;
        }
        w.AppendIfd(ifd, k == 0);
        for (const size_t i : order) {
            const Place place = picks[i].variant->place;
            if (!placed[i].out_of_line || (place != Place::Writer && place != Place::Odd))
                continue;
            while (w.Size() < placed[i].at)
                w.Append({0});
            w.Append(w.Encode(placed[i].field));
        }
        if (k > 0)
            w.Put(SlotAt(w, ifd_at[0], IndexOf(fields[0], links[k])), ifd_at[k], 4);
    }
    if (straddle < picks.size()) {
        Placed &p = placed[straddle];
        p.at = w.Aligned(w.Size());
        while (w.Size() < p.at)
            w.Append({0});
        std::vector<uint8_t> encoded = w.Encode(p.field);
        const uint64_t value_size = p.field.values.size() * ElementSize(p.field.type);
        encoded.resize(std::max<uint64_t>(1, value_size / 2));
        w.Append(encoded);
        w.Put(SlotAt(w, ifd_at[IfdOf(*picks[straddle].row)], p.index), p.at, w.Slot());
    }
    for (const size_t i : past_end) {
        placed[i].at = w.Size() + 64;
        w.Put(SlotAt(w, ifd_at[IfdOf(*picks[i].row)], placed[i].index), placed[i].at, w.Slot());
    }

    c.bytes = w.Bytes();
    c.exif_at = ifd_at[1];
    c.gps_at = ifd_at[2];
    for (size_t i = 0; i < picks.size(); i++) {
        const Row &row = *picks[i].row;
        const Variant &v = *picks[i].variant;
        const Placed &p = placed[i];
        const uint16_t type = p.field.type;
        // The slot's values as the field's type: whole fractions only, so
        // that half a RATIONAL (a part with no denominator) never matches.
        uint64_t elements =
            std::min<uint64_t>(row.standard.values.size(), w.Slot() / ElementSize(type));
        if (read_fetch::Pairs(type))
            elements -= elements % 2;
        c.slot.push_back(
            ifd::Numbers(row.tag, type,
                         ElementsAt(c.bytes, fmt.big_endian, SlotAt(w, ifd_at[IfdOf(row)], p.index),
                                    type, elements)));
        ifd::Field expect = v.expect;
        if (p.out_of_line && v.place == Place::OverIfd) {
            const uint64_t count = CountOf(p.field);
            expect.values = ElementsAt(c.bytes, fmt.big_endian, p.at, type,
                                       read_fetch::Pairs(type) ? 2 * count : count);
        }
        c.expect.push_back(expect);
    }
    return c;
}

File Build(const Row &row, const Variant &v, const read_cases::Format &fmt)
{
    const Combined c = BuildMany({{&row, &v}}, fmt);
    File file;
    file.bytes = c.bytes;
    file.pixels = c.pixels;
    file.expect = c.expect[0];
    file.image = row.image;
    file.sub_at = row.home == Home::Exif ? c.exif_at : row.home == Home::Gps ? c.gps_at : 0;
    file.slot = c.slot[0];
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
