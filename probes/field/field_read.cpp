// Reading the file back through the library: the fields, the defaults, the
// tag list, TIFFUnsetField and the JPEG page.
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "field_probe.h"

namespace fields {

// ---------------------------------------------------------------------------
// Reading back through the library.

// Where the first string of a text (InkNames holds several) that came back
// wrong starts, or the text's size when all came back as set.
size_t TextDiffersAt(const Values &v, const Fetched &got)
{
    for (size_t at = 0; at < v.text_size; at += strlen(v.text + at) + 1) {
        if (strcmp(got.text + at, v.text + at) != 0)
            return at;
    }
    return v.text_size;
}

// Whether a fetch gave the values set, in the library's storage.
bool Matches(const Values &v, const Access &a, const Fetched &got)
{
    if (a.form == Form::Text || a.form == Form::InkNames)
        return TextDiffersAt(v, got) == v.text_size;
    if (got.bits.size() != v.count)
        return false;
    for (size_t i = 0; i < v.count; i++) {
        if (got.bits[i] != StorageBits(v.numbers[i], a))
            return false;
    }
    return true;
}

bool Compare(const Run &run, const Definition &f, const Values &v, const Access &a,
             const Fetched &got)
{
    if (a.form == Form::Text || a.form == Form::InkNames) {
        // The line names the string that differs, not the first one.
        const size_t at = TextDiffersAt(v, got);
        if (at != v.text_size) {
            probe::SayWrongText(f.tag, run.name, got.text + at, v.text + at);
            return false;
        }
        return true;
    }
    const size_t n = got.bits.size();
    if (n != v.count) {
        probe::SayWrongCount(TypeName(a), f.tag, run.name, static_cast<unsigned long>(n), v.count);
        return false;
    }
    // The first wrong value named, the rest counted: a known defect in one
    // value hides no other.
    unsigned long wrong = 0;
    size_t last = 0;
    for (size_t i = 0; i < n; i++) {
        const uint64_t expect = StorageBits(v.numbers[i], a);
        if (got.bits[i] == expect)
            continue;
        if (wrong++ == 0)
            probe::SayWrongValue(TypeName(a), f.tag, run.name, static_cast<unsigned long>(i),
                                 got.bits[i], expect);
        last = i;
    }
    if (wrong > 1)
        probe::SayMoreWrongValues(TypeName(a), f.tag, run.name, wrong - 1,
                                  static_cast<unsigned long>(last));
    return wrong == 0;
}

// A field the library read without knowing it comes back as any unknown
// one does, its count passed: described anew, its text as bytes. Only the
// Interoperability directory's own fields may be unknown. False when the
// field cannot be fetched at all, after saying so.
bool RereadUnknown(TIFF *tif, Run &run, const Definition &f, Access *a, Values *v)
{
    const TIFFField *known = TIFFFindField(tif, f.tag, TIFF_ANY);
    if (!known || !TIFFFieldIsAnonymous(known))
        return true;
    if (f.home != Home::Interop) {
        probe::Say<probe::Line::UnknownField>(run.name, f.tag);
        run.failed = true;
    }
    if (!Describe(tif, f.tag, a) || a->form != Form::Counted) {
        probe::SayProblemFetching(f.tag, run.name);
        return false;
    }
    if (v->text) {
        v->numbers.assign(v->text, v->text + v->text_size);
        v->text = nullptr;
    }
    return true;
}

bool CheckFields(TIFF *tif, Run &run, Home home)
{
    bool ok = true;
    unsigned vget_forms = 0;
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (f.home != home || !rows[i].present || run.WasRefused(f))
            continue;
        Values v = rows[i].values;
        Access a = rows[i].access;
        if (!RereadUnknown(tif, run, f, &a, &v)) {
            ok = false;
            continue;
        }
        Fetched got;
        if (!Fetch(tif, f.tag, a, v, TIFFGetField, &got)) {
            probe::SayProblemFetching(f.tag, run.name);
            ok = false;
            continue;
        }
        ok = Compare(run, f, v, a, got) && ok;
        // One field of each form is enough to prove the va_list path.
        if (home != vget_home || (vget_forms & (1U << static_cast<unsigned>(a.form))))
            continue;
        vget_forms |= 1U << static_cast<unsigned>(a.form);
        Fetched again;
        if (!Fetch(tif, f.tag, a, v, probe::VGet, &again) || !Matches(v, a, again)) {
            probe::Say<probe::Line::WrongVGet>(TypeName(a), f.tag, run.name);
            ok = false;
        }
    }
    return ok;
}

bool SameValues(const Fetched &got, std::initializer_list<double> values, const Access &a)
{
    size_t i = 0;
    for (const double value : values) {
        if (i >= got.bits.size() || got.bits[i] != StorageBits(value, a))
            return false;
        i++;
    }
    return true;
}

// TIFFGetField(3tiff): TIFFVGetFieldDefaulted is identical to
// TIFFGetFieldDefaulted; held to a default the plain call gave right.
bool SameThroughList(TIFF *tif, const Default &d, const Access &a, const Values &v,
                     const Fetched &got, const Run &run)
{
    Fetched again;
    if (Fetch(tif, d.tag, a, v, probe::VGetDefaulted, &again) && again.bits == got.bits)
        return true;
    probe::Say<probe::Line::WrongVGetDefault>(d.tag, run.name);
    return false;
}

bool CheckDefaults(TIFF *tif, const Run &run, Home home, bool before_fields)
{
    bool ok = true;
    Access a;
    for (const Default &d : defaults) {
        if (d.home != home || d.before_fields != before_fields || !Describe(tif, d.tag, &a))
            continue;
        // Through TIFFGetFieldDefaulted, with the plain call's forms.
        Fetched got;
        Values v;
        v.count = static_cast<uint32_t>(d.values.size());
        if (!Fetch(tif, d.tag, a, v, TIFFGetFieldDefaulted, &got)) {
            probe::Say<probe::Line::DefaultNone>(d.tag, run.name, *d.values.begin());
            ok = false;
            continue;
        }
        if (d.also.size() != 0 && SameValues(got, d.also, a)) {
            ok = SameThroughList(tif, d, a, v, got, run) && ok;
            continue;
        }
        // The first wrong value named, the others counted.
        size_t i = 0;
        unsigned long wrong = 0;
        size_t last = 0;
        for (const double value : d.values) {
            const uint64_t expect = StorageBits(value, a);
            if (i >= got.bits.size() || got.bits[i] != expect) {
                if (wrong++ == 0)
                    probe::Say<probe::Line::DefaultWrong>(
                        d.tag, run.name, i, i < got.bits.size() ? got.bits[i] : 0, expect);
                last = i;
            }
            i++;
        }
        if (wrong > 1)
            probe::Say<probe::Line::MoreWrongDefaults>(d.tag, run.name, wrong - 1, last);
        ok = ok && wrong == 0;
        if (wrong == 0)
            ok = SameThroughList(tif, d, a, v, got, run) && ok;
    }
    return ok;
}

// Page 0's tag list names each private field once, and only fields that
// page 0 holds.
bool CheckTagList(TIFF *tif, const Run &run)
{
    bool ok = true;
    const int n = TIFFGetTagListCount(tif);
    int seen_long = 0;
    int seen_text = 0;

    for (int i = 0; i < n; i++) {
        const uint32_t tag = TIFFGetTagListEntry(tif, i);
        seen_long += tag == private_long_tag;
        seen_text += tag == private_text_tag;
        bool held = tag == private_long_tag || tag == private_text_tag;
        for (size_t k = 0; k < field::field_count && !held; k++)
            held = field::fields[k].tag == tag && field::fields[k].home == Home::Main;
        if (!held) {
            probe::Say<probe::Line::TagListNotSet>(run.name, tag);
            ok = false;
        }
    }
    if (seen_long != 1 || seen_text != 1) {
        probe::Say<probe::Line::TagListCounts>(run.name, private_long_tag, seen_long,
                                               private_text_tag, seen_text);
        ok = false;
    }
    return ok;
}

bool CheckUnset(TIFF *tif, Run &run)
{
    bool ok = true;
    for (const Unset &u : unsets) {
        if (StillPresent(tif, u.tag))
            ok = run.SayLingering(u.tag) && ok;
    }
    return ok;
}

// The JPEG page's strips, decoded: JPEGTables is only right if the image
// decodes with it. A decoder may be one off (ITU T.81's IDCT accuracy).
bool CheckJpegImage(TIFF *tif, const Run &run, size_t page)
{
    const tmsize_t size = TIFFStripSize(tif);
    const std::string place = probe::Page(page);
    std::vector<uint8_t> got(size > 0 ? static_cast<size_t>(size) : 1);
    bool ok = true;
    // Every strip and byte: the first wrong byte of a strip named, the rest
    // counted, so that a known defect hides no other.
    for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tif); strip++) {
        if (TIFFReadEncodedStrip(tif, strip, got.data(), size) != size) {
            probe::SayCantRead("strip", strip, run.name, place.c_str());
            ok = false;
            continue;
        }
        unsigned long wrong = 0;
        size_t last = 0;
        for (size_t i = 0; i < got.size(); i++) {
            if (got[i] + 1 >= jpeg_level && got[i] <= jpeg_level + 1)
                continue;
            if (wrong++ == 0)
                probe::SayWrongImageByte("strip", strip, run.name, place.c_str(), i, got[i],
                                         jpeg_level);
            last = i;
        }
        if (wrong > 1)
            probe::SayMoreWrongBytes("strip", strip, run.name, place.c_str(), wrong - 1, "bytes",
                                     last);
        ok = ok && wrong == 0;
    }
    return ok;
}

// The library may warn of each field a directory holds that its schema
// lacks. In the Interoperability directory that is both of its fields,
// which no schema a program can give the library has
// (TIFFCustomDirectory(3tiff)): no finding, not passed on. Elsewhere a
// warning about a field of the table is passed on, and counted: the line
// that the field was read as unknown explains it. Any other is passed on.
TIFFErrorHandler outer_warning = nullptr;
Home reading = Home::Main;
unsigned long unknown_warnings = 0;

void ReadWarning(const char *module, const char *format, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    char text[128];
    vsnprintf(text, sizeof(text), format, copy);
    va_end(copy);
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        char expected[64];
        snprintf(expected, sizeof(expected), "Unknown field with tag %u (", f.tag);
        if (f.home != reading || !strstr(text, expected))
            continue;
        if (reading == Home::Interop)
            return;
        unknown_warnings++;
        break;
    }
    if (outer_warning)
        outer_warning(module, format, ap);
}

// Reads a custom directory; the warnings about the table's fields read as
// unknown count as explained.
int ReadCustomCounting(TIFF *tif, Run &run, Home home, uint64_t at)
{
    reading = home;
    unknown_warnings = 0;
    outer_warning = TIFFSetWarningHandler(ReadWarning);
    const int read = ReadCustom(tif, home, at);
    TIFFSetWarningHandler(outer_warning);
    run.explained += unknown_warnings;
    return read;
}

bool ReadBack(Run &run)
{
    page0 = true;
    const probe::Tiff tif = probe::Reopen(run.name, "r");
    if (!tif)
        return false;
    for (size_t p = 0; p < page_count; p++) {
        const Home home = shapes[p].home;
        page0 = false;
        if (p > 0 && !TIFFReadDirectory(tif)) {
            probe::SayCantDirectory("read", run.name, probe::Page(p).c_str());
            return false;
        }
        // Each check says what it finds; none stops the others.
        bool ok = CheckFields(tif, run, home);
        ok = CheckDefaults(tif, run, home, false) && ok;
        if (shapes[p].compression == COMPRESSION_JPEG)
            ok = CheckJpegImage(tif, run, p) && ok;
        if (home == Home::Main)
            ok = CheckTagList(tif, run) && ok;
        if (home == unset_home)
            ok = CheckUnset(tif, run) && ok;
        run.failed = !ok || run.failed;
    }
    for (const Home home : {Home::Exif, Home::Gps, Home::Interop}) {
        const uint64_t at = run.links[CustomIndex(home)];
        if (!ReadCustomCounting(tif, run, home, at)) {
            probe::SayCantDirectory("read", run.name, CustomName(home));
            return false;
        }
        run.failed = !CheckFields(tif, run, home) || run.failed;
    }
    return true;
}

} // namespace fields
