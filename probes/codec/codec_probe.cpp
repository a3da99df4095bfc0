// Proves the codecs' pseudo-fields: the settings a codec adds once its
// Compression is set, which steer it and are never stored. Each is set and
// fetched back with its codec active, no trace of it stands in the file,
// and its effect shows where the file shows it: a lower JPEG quality writes
// fewer bytes that still decode within JPEG's error, JPEGCOLORMODE RGB
// reads a YCbCr page as RGB, JPEGTABLESMODE leaves the Huffman tables out
// of JPEGTables, a Deflate or LZMA level changes the size but not the
// pixels, and PERSAMPLE gives one SMinSampleValue and SMaxSampleValue per
// sample. The settings are documented by TIFFSetField(3tiff) and
// TIFFGetField(3tiff) only for the JPEG and fax codecs; the others are
// passed as their field description says. A codec the library lacks is
// said once on standard output ("skipped: no LERC codec"), when nothing
// failed, and is no failure. A line about a page names it by its codec and
// setting ("JPEG quality 90"): which pages a file holds depends on the
// codecs the library has, so a page's number would not name it.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <tiffio.h>

#include "codec_values.h"
#include "ifd_reader.h"
#include "probe_support.h"
#include "tags.h"

namespace {

using probe::Layout;

constexpr Layout layouts[] = {
    {"codec_le.tif", false, false},
    {"codec_be.tif", true, false},
    {"codec_le.btf", false, true},
    {"codec_be.btf", true, true},
};

using codecs::Effect;
using codecs::length;
using codecs::Page;
using codecs::pages;
using codecs::Setting;
using codecs::smax;
using codecs::smin;
using codecs::width;

// The pseudo-fields a codec may add that no page sets: a callback, not a
// value.
const uint32_t unsettable[] = {TIFFTAG_FAXFILLFUNC};

// The tags a page may hold on disk: its image's, and what its codec or its
// sample format writes. A pseudo-field stored by mistake would stand as
// another tag (its number cut to 16 bits: 0 to 99).
const uint16_t page_tags[] = {
    ifd::tag::NewSubfileType,   ifd::tag::ImageWidth,          ifd::tag::ImageLength,
    ifd::tag::BitsPerSample,    ifd::tag::Compression,         ifd::tag::PhotometricInterpretation,
    ifd::tag::FillOrder,        ifd::tag::StripOffsets,        ifd::tag::SamplesPerPixel,
    ifd::tag::RowsPerStrip,     ifd::tag::StripByteCounts,     ifd::tag::PlanarConfiguration,
    ifd::tag::T4Options,        ifd::tag::T6Options,           ifd::tag::Predictor,
    ifd::tag::CleanFaxData,     ifd::tag::ExtraSamples,        ifd::tag::SampleFormat,
    ifd::tag::SMinSampleValue,  ifd::tag::SMaxSampleValue,     ifd::tag::JPEGTables,
    ifd::tag::YCbCrSubSampling, ifd::tag::ReferenceBlackWhite, ifd::tag::LercParameters};

// The pseudo-fields a codec adds are numbered from 65536 (tiff.h), and
// none past its first hundred.
constexpr uint32_t pseudo_first = 65536;
constexpr uint32_t pseudo_span = 100;

bool AllowedOnDisk(uint16_t tag)
{
    return std::find(std::begin(page_tags), std::end(page_tags), tag) != std::end(page_tags);
}

// The image: smooth ramps for JPEG, which it keeps within a few levels;
// for the others, runs of noise, which a lossless coder compresses by an
// amount its level decides.
std::vector<uint8_t> ImageOf(const Page &p, tmsize_t size)
{
    std::vector<uint8_t> data(static_cast<size_t>(size));
    if (p.compression != COMPRESSION_JPEG && p.format != SAMPLEFORMAT_IEEEFP) {
        uint32_t state = 12345;
        for (size_t i = 0; i < data.size(); i++) {
            if (i % 7 == 0)
                state = state * 1103515245U + 12345U;
            data[i] = p.bits == 1 ? 0 : static_cast<uint8_t>((state >> 16) & 0x3F);
        }
        return data;
    }
    const size_t bytes_per_sample = p.bits >= 8 ? p.bits / 8 : 1;
    for (size_t i = 0; i < data.size(); i++) {
        const size_t sample = i / bytes_per_sample;
        const size_t pixel = sample / p.samples;
        const size_t x = pixel % width;
        const size_t y = pixel / width;
        const size_t c = sample % p.samples;
        data[i] = static_cast<uint8_t>(20 + x + y + 30 * c);
    }
    if (p.format == SAMPLEFORMAT_IEEEFP) {
        // Floats from 0.25 up, in the host's order.
        for (size_t k = 0; k + 4 <= data.size(); k += 4) {
            const float f = 0.25F + static_cast<float>(k % 64) / 16;
            memcpy(&data[k], &f, 4);
        }
    }
    return data;
}

struct Run {
    const Layout &layout;
    const char *name;
    std::vector<size_t> written;       // the pages written, in file order
    std::vector<uint64_t> strip_bytes; // each written page's strip, as the file holds it
};

bool CodecMissing(const Page &p)
{
    return !TIFFIsCODECConfigured(p.compression);
}

// A setting as its field description says to pass it: a double, or an int.
bool IsReal(TIFF *tif, uint32_t tag)
{
    const TIFFField *f = TIFFFindField(tif, tag, TIFF_ANY);
    return f && TIFFFieldSetGetSize(f) == 8;
}

int SetSetting(TIFF *tif, const Setting &s)
{
    if (IsReal(tif, s.tag))
        return TIFFSetField(tif, s.tag, s.value);
    return TIFFSetField(tif, s.tag, static_cast<int>(s.value));
}

// The settings come back as set: an int's bits, a double's number.
bool CheckSettings(TIFF *tif, const Run &run, const Page &p)
{
    bool ok = true;
    for (const Setting &s : p.settings) {
        if (!s.fetch)
            continue;
        double real = 0;
        int whole = 0;
        const bool is_real = IsReal(tif, s.tag);
        if (!(is_real ? TIFFGetField(tif, s.tag, &real) : TIFFGetField(tif, s.tag, &whole))) {
            probe::SayProblemFetching(s.tag, run.name, p.name);
            ok = false;
        } else if (is_real && real != s.value) {
            probe::SayWrongNumber("DOUBLE", s.tag, run.name, 0, real, s.value, p.name);
            ok = false;
        } else if (!is_real && whole != static_cast<int>(s.value)) {
            probe::SayWrongValue("SLONG", s.tag, run.name, 0, static_cast<uint32_t>(whole),
                                 static_cast<uint32_t>(s.value), p.name);
            ok = false;
        }
    }
    return ok;
}

// Every pseudo-field the codec adds, as the field query finds it, is one a
// page sets (or a callback).
bool CheckKnown(TIFF *tif, const Run &run, const Page &p)
{
    bool ok = true;
    for (uint32_t tag = pseudo_first; tag < pseudo_first + pseudo_span; tag++) {
        const TIFFField *f = TIFFFindField(tif, tag, TIFF_ANY);
        if (!f)
            continue;
        // TIFFFieldQuery(3tiff): TIFFFindField with TIFF_ANY is
        // TIFFFieldWithTag, a field is found by its name too, a known field
        // is not anonymous, and a setting passes no count.
        if (TIFFFieldWithTag(tif, tag) != f || TIFFFieldWithName(tif, TIFFFieldName(f)) != f ||
            TIFFFieldIsAnonymous(f) || TIFFFieldPassCount(f) || TIFFFieldSetGetCountSize(f) != 0) {
            probe::Say<probe::Line::QueryDisagree>(run.name, p.name, tag);
            ok = false;
        }
        bool covered = tag == TIFFTAG_PERSAMPLE;
        for (const uint32_t u : unsettable)
            covered = covered || u == tag;
        for (const Page &q : pages) {
            for (const Setting &s : q.settings)
                covered = covered || (q.compression == p.compression && s.tag == tag);
        }
        if (!covered) {
            probe::Say<probe::Line::NotCovered>(run.name, p.name, tag, p.compression);
            ok = false;
        }
    }
    return ok;
}

// TIFFSetField(3tiff) marks these "may not have its values changed once
// data is written", and says such a change is an error: refused, reported,
// the value kept.
const uint32_t fixed_once_written[] = {TIFFTAG_JPEGCOLORMODE, TIFFTAG_FAXMODE};

bool CheckFixedOnceWritten(TIFF *tif, const Run &run, const Page &p)
{
    bool ok = true;
    for (const Setting &s : p.settings) {
        bool fixed = false;
        for (const uint32_t tag : fixed_once_written)
            fixed = fixed || tag == s.tag;
        if (!fixed)
            continue;
        const probe::ExpectedMessages expected;
        // 0 is the other value of both: JPEGCOLORMODE_RAW, FAXMODE_CLASSIC.
        if (SetSetting(tif, Setting{s.tag, 0}) != 0 || expected.Count() == 0) {
            probe::Say<probe::Line::ChangedAfterWrite>(run.name, p.name, s.tag);
            ok = false;
        }
    }
    return ok;
}

// False when the page cannot be written, which ends the layout; the checks
// that do not stop it leave `ok` false.
bool WritePage(TIFF *tif, const Run &run, const Page &p, bool *ok)
{
    const struct {
        uint32_t tag;
        uint32_t value;
    } shape[] = {
        {TIFFTAG_IMAGEWIDTH, width},
        {TIFFTAG_IMAGELENGTH, length},
        {TIFFTAG_BITSPERSAMPLE, p.bits},
        {TIFFTAG_SAMPLESPERPIXEL, p.samples},
        {TIFFTAG_SAMPLEFORMAT, p.format},
        {TIFFTAG_PHOTOMETRIC, p.photometric},
        {TIFFTAG_PLANARCONFIG, 1},
        {TIFFTAG_ROWSPERSTRIP, length},
        {TIFFTAG_COMPRESSION, p.compression},
    };
    for (const auto &f : shape) {
        if (!TIFFSetField(tif, f.tag, f.value)) {
            probe::SayCantSet(f.tag, run.name, p.name);
            return false;
        }
    }
    *ok = CheckKnown(tif, run, p) && *ok;
    for (const Setting &s : p.settings) {
        if (s.newer && !TIFFFindField(tif, s.tag, TIFF_ANY))
            continue;
        if (!SetSetting(tif, s)) {
            probe::SayCantSet(s.tag, run.name, p.name);
            return false;
        }
    }
    if (p.effect == Effect::PerSample) {
        for (const uint32_t tag : {TIFFTAG_SMINSAMPLEVALUE, TIFFTAG_SMAXSAMPLEVALUE}) {
            if (!TIFFSetField(tif, tag, tag == TIFFTAG_SMINSAMPLEVALUE ? smin : smax)) {
                probe::SayCantSet(tag, run.name, p.name);
                return false;
            }
        }
    }
    const tmsize_t size = TIFFStripSize(tif);
    std::vector<uint8_t> data = ImageOf(p, size > 0 ? size : 1);
    if (size <= 0 || TIFFWriteEncodedStrip(tif, 0, data.data(), size) != size) {
        probe::SayCantWrite(run.name, p.name);
        return false;
    }
    *ok = CheckFixedOnceWritten(tif, run, p) && *ok;
    // The settings come back as set, once the image is encoded with them.
    *ok = CheckSettings(tif, run, p) && *ok;
    if (!TIFFWriteDirectory(tif)) {
        probe::SayCantDirectory("write", run.name, p.name);
        return false;
    }
    return true;
}

// False when the file cannot be written whole; `ok` as WritePage leaves it.
bool WriteFile(Run &run, bool *ok)
{
    const probe::Tiff tif = probe::Create(run.layout);
    if (!tif)
        return false;
    for (size_t i = 0; i < sizeof(pages) / sizeof(pages[0]); i++) {
        if (CodecMissing(pages[i]))
            continue;
        if (!WritePage(tif, run, pages[i], ok))
            return false;
        run.written.push_back(i);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Reading back: each check opens the file for itself.

// A page's strip decoded on a handle of its own, with the settings a
// reader gives (JPEGCOLORMODE RGB, the page's SGILOGDATAFMT).
bool Decode(const Run &run, size_t k, std::vector<uint8_t> *out)
{
    const Page &p = pages[run.written[k]];
    // "c": no strip chopping, or strip 0 of an uncompressed page would be
    // its first 8 KB only, and the rest never compared.
    const probe::Tiff tif = probe::Reopen(run.layout.filename, "rc");
    if (!tif)
        return false;
    if (!TIFFSetDirectory(tif, static_cast<tdir_t>(k))) {
        probe::SayCantDirectory("read", run.name, p.name);
        return false;
    }
    if (p.compression == COMPRESSION_JPEG &&
        !TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) {
        probe::SayCantSet(TIFFTAG_JPEGCOLORMODE, run.name, p.name);
        return false;
    }
    // SGILog's data format is the reader's choice too: the page's own.
    for (const Setting &s : p.settings) {
        if (s.tag == TIFFTAG_SGILOGDATAFMT && !SetSetting(tif, s)) {
            probe::SayCantSet(s.tag, run.name, p.name);
            return false;
        }
    }
    const tmsize_t size = TIFFStripSize(tif);
    out->assign(size > 0 ? static_cast<size_t>(size) : 1, 0);
    if (size <= 0 || TIFFReadEncodedStrip(tif, 0, out->data(), size) != size) {
        probe::SayCantRead("strip", 0, run.name, p.name);
        return false;
    }
    return true;
}

// A page's strip 0 against the written bytes, `unit` bytes at a time:
// `differs(k, &i)` is true for a unit at k that is wrong, naming byte i.
// The first named, the rest counted ("N more WHAT differ"): a known defect
// hides no other.
template <typename Differs>
bool CompareUnits(const Run &run, const Page &p, const std::vector<uint8_t> &got,
                  const std::vector<uint8_t> &expect, size_t unit, const char *what,
                  Differs differs)
{
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t k = 0; k + unit <= got.size() && k + unit <= expect.size(); k += unit) {
        size_t i = k;
        if (!differs(k, &i))
            continue;
        if (wrong++ == 0)
            probe::SayWrongImageByte("strip", 0, run.name, p.name, i, got[i], expect[i]);
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreWrongBytes("strip", 0, run.name, p.name, wrong - 1, what, last);
    return wrong == 0;
}

// A page's floats against the written ones, as numbers: within the page's
// log2_error (the written values are all positive, so a value that is not,
// or not a number, fails). A value out of it is named by its most
// significant byte that differs, as held in memory: the sign and exponent
// where those are wrong, not the low bits a sound decoding changes too.
bool CheckFloats(const Run &run, const Page &p, const std::vector<uint8_t> &got,
                 const std::vector<uint8_t> &expect)
{
    return CompareUnits(run, p, got, expect, 4, "values", [&](size_t k, size_t *i) {
        float value = 0;
        float written = 0;
        memcpy(&value, &got[k], 4);
        memcpy(&written, &expect[k], 4);
        if (value > 0 && std::fabs(std::log2(static_cast<double>(value) / written)) <= p.log2_error)
            return false;
        const bool big = probe::HostBigEndian();
        *i = big ? k : k + 3; // the most significant byte first
        for (int n = 0; n < 3 && got[*i] == expect[*i]; n++)
            *i = big ? *i + 1 : *i - 1;
        return true;
    });
}

bool CheckPixels(const Run &run, size_t k)
{
    const Page &p = pages[run.written[k]];
    std::vector<uint8_t> got;
    if (!Decode(run, k, &got))
        return false;
    // Read as RGB, a YCbCr page holds 3 bytes a pixel, as it was written.
    const std::vector<uint8_t> expect = ImageOf(p, static_cast<tmsize_t>(got.size()));
    if (p.compression == COMPRESSION_JPEG &&
        got.size() != static_cast<size_t>(width) * length * 3) {
        probe::Say<probe::Line::RgbSize>(run.name, p.name, got.size(), width * length * 3);
        return false;
    }
    if (p.log2_error > 0)
        return CheckFloats(run, p, got, expect);
    if (p.error < 0)
        return true; // their precision is the codec's own; the settings are what is proved
    return CompareUnits(run, p, got, expect, 1, "bytes", [&](size_t i, size_t * /*at*/) {
        return std::abs(static_cast<int>(got[i]) - static_cast<int>(expect[i])) > p.error;
    });
}

// ---------------------------------------------------------------------------
// The bytes on disk.

bool HoldsMarker(const ifd::Entry &e, uint8_t marker)
{
    for (size_t i = 0; i + 1 < e.values.size(); i++) {
        if (e.values[i] == 0xFF && e.values[i + 1] == marker)
            return true;
    }
    return false;
}

// JPEGTables holds no table its mode leaves out: quantization tables (DQT)
// without JPEGTABLESMODE_QUANT, Huffman tables (DHT) without _HUFF.
bool CheckTablesLeftOut(const Run &run, const ifd::Directory &dir, const Page &p, int mode)
{
    const ifd::Entry *tables = ifd::FindEntry(dir, TIFFTAG_JPEGTABLES);
    if (!tables) {
        probe::SayMissingOnDisk(TIFFTAG_JPEGTABLES, run.name, p.name);
        return false;
    }
    const struct {
        int mode;
        uint8_t marker;
        const char *what;
    } kinds[] = {{JPEGTABLESMODE_QUANT, 0xDB, "quantization"},
                 {JPEGTABLESMODE_HUFF, 0xC4, "Huffman"}};
    bool ok = true;
    for (const auto &k : kinds) {
        if ((mode & k.mode) == 0 && HoldsMarker(*tables, k.marker)) {
            probe::Say<probe::Line::HoldsTables>(run.name, p.name, TIFFTAG_JPEGTABLES, k.what);
            ok = false;
        }
    }
    return ok;
}

// The strip's size against the page before, where the page's setting
// should change it.
bool CheckSize(Run &run, const ifd::Directory &dir, size_t k)
{
    const Page &p = pages[run.written[k]];
    const ifd::Entry *counts = ifd::FindEntry(dir, ifd::tag::StripByteCounts);
    run.strip_bytes.push_back(counts && counts->values.size() == 1 ? counts->values[0] : 0);
    const uint64_t before = k > 0 ? run.strip_bytes[k - 1] : 0;
    const uint64_t now = run.strip_bytes[k];
    if ((p.effect == Effect::Smaller && !(now < before)) ||
        (p.effect == Effect::OtherSize && now == before)) {
        probe::Say<probe::Line::StripSizeOnDisk>(
            run.name, p.name, now, p.effect == Effect::Smaller ? "fewer than" : "other than",
            before);
        return false;
    }
    return true;
}

bool CheckPerSample(const Run &run, const ifd::Directory &dir, const Page &p)
{
    bool ok = true;
    for (const uint16_t tag : {TIFFTAG_SMINSAMPLEVALUE, TIFFTAG_SMAXSAMPLEVALUE}) {
        const ifd::Entry *e = ifd::FindEntry(dir, tag);
        const double *expect = tag == TIFFTAG_SMINSAMPLEVALUE ? smin : smax;
        if (!e) {
            probe::SayMissingOnDisk(tag, run.name, p.name);
            ok = false;
            continue;
        }
        // The type is the library's to choose among those the sample
        // format allows; the count is one per sample.
        if (e->count != p.samples) {
            probe::SayWrongEntry(*e, run.name, ifd::TypeName(e->type), p.samples, p.name);
            ok = false;
            continue;
        }
        for (size_t i = 0; i < p.samples && i < 3; i++) {
            if (probe::Number(*e, i) != expect[i]) {
                probe::SayWrongNumberOnDisk(tag, run.name, static_cast<unsigned long>(i),
                                            probe::Number(*e, i), expect[i], p.name);
                ok = false;
                break;
            }
        }
    }
    return ok;
}

bool CheckPageOnDisk(Run &run, const ifd::Directory &dir, size_t k)
{
    const Page &p = pages[run.written[k]];
    bool ok = true;
    for (const ifd::Entry &e : dir.entries) {
        if (!AllowedOnDisk(e.tag)) {
            probe::Say<probe::Line::NotSetByPage>(run.name, p.name, e.tag);
            ok = false;
        }
    }
    ok = CheckSize(run, dir, k) && ok;
    for (const Setting &s : p.settings) {
        if (s.tag == TIFFTAG_JPEGTABLESMODE)
            ok = CheckTablesLeftOut(run, dir, p, static_cast<int>(s.value)) && ok;
    }
    if (p.effect == Effect::PerSample)
        ok = CheckPerSample(run, dir, p) && ok;
    return ok;
}

bool CheckDisk(Run &run)
{
    probe::OnDisk disk;
    if (!probe::ReadFormat(run.layout, &disk) ||
        !probe::PagesOnDisk(disk.file, run.written.size(), run.name))
        return false;
    bool ok = true;
    for (size_t k = 0; k < run.written.size(); k++)
        ok = CheckPageOnDisk(run, disk.file.chain[k], k) && ok;
    return ok;
}

bool CodecTest(const Layout &layout)
{
    const unsigned long messages = LibraryMessages();
    Run run{layout, layout.filename, {}, {}};
    bool ok = true;
    if (!WriteFile(run, &ok))
        return false;
    for (size_t k = 0; k < run.written.size(); k++)
        ok = CheckPixels(run, k) && ok;
    ok = CheckDisk(run) && ok;
    return probe::LibraryQuiet(layout.filename, messages) && ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    const int status = probe::RunLayouts(layouts, CodecTest);
    // Said once, and only by a run that passed: a failing run's every line
    // is a failure line, which a skip is not.
    if (status == 0) {
        const char *said = "";
        for (const Page &p : pages) {
            if (CodecMissing(p) && strcmp(said, p.codec) != 0) {
                probe::Say<probe::Line::Skipped>(p.codec);
                said = p.codec;
            }
        }
    }
    return status;
}
