#include "matrix_rules.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstring>

namespace matrix {

namespace {

// The ranges the standards give for enumerated fields (TIFF 6.0, TIFF/EP,
// DNG): values past them are not the field's. Fields not here take their
// type's whole range.
struct Range {
    uint16_t tag;
    uint64_t lo, hi;
};
constexpr Range ranges[] = {
    {ifd::tag::NewSubfileType, 0, 7}, // three flag bits
    {ifd::tag::Threshholding, 1, 3},    {ifd::tag::FillOrder, 1, 2},
    {ifd::tag::Orientation, 1, 8},      {ifd::tag::PlanarConfiguration, 1, 2},
    {ifd::tag::GrayResponseUnit, 1, 5}, {ifd::tag::ResolutionUnit, 1, 3},
    {ifd::tag::Predictor, 1, 3}, // with the floating-point predictor of Adobe's note 3
    {ifd::tag::InkSet, 1, 2},           {ifd::tag::YCbCrPositioning, 1, 2},
    {ifd::tag::Indexed, 0, 1},          {ifd::tag::MakerNoteSafety, 0, 1},
};

// The image the matrix's cases describe: 4 x 4 gray, 8 bits, two strips.
struct ImageField {
    uint16_t tag;
    uint64_t value;
};
constexpr ImageField image_fields[] = {
    {ifd::tag::ImageWidth, 4},
    {ifd::tag::ImageLength, 4},
    {ifd::tag::BitsPerSample, 8},
    {ifd::tag::Compression, 1},
    {ifd::tag::PhotometricInterpretation, 1},
    {ifd::tag::SamplesPerPixel, 1},
    {ifd::tag::RowsPerStrip, 2},
    {ifd::tag::PlanarConfiguration, 1},
};

bool IsInteger(uint16_t type)
{
    switch (type) {
    case ifd::BYTE:
    case ifd::SHORT:
    case ifd::LONG:
    case ifd::SBYTE:
    case ifd::SSHORT:
    case ifd::SLONG:
    case ifd::LONG8:
    case ifd::SLONG8:
    case ifd::IFD:
    case ifd::IFD8:
    case ifd::UNDEFINED:
        return true;
    default:
        return false;
    }
}

bool IsSignedType(uint16_t type)
{
    return type == ifd::SBYTE || type == ifd::SSHORT || type == ifd::SLONG || type == ifd::SLONG8;
}

// What the values mean, whatever their type: numbers, or the bytes of a
// text.
struct Meaning {
    bool text = false;
    std::vector<uint64_t> bytes;
    std::vector<double> numbers;
};

Meaning MeaningOf(const ifd::Field &f)
{
    Meaning m;
    if (f.type == ifd::ASCII) {
        m.text = true;
        m.bytes = f.values;
        return m;
    }
    const bool pairs = f.type == ifd::RATIONAL || f.type == ifd::SRATIONAL;
    for (size_t i = 0; i < f.values.size(); i += pairs ? 2 : 1) {
        const uint64_t v = f.values[i];
        if (f.type == ifd::FLOAT)
            m.numbers.push_back(ifd::FloatFromBits(v));
        else if (f.type == ifd::DOUBLE)
            m.numbers.push_back(ifd::DoubleFromBits(v));
        else if (f.type == ifd::RATIONAL)
            m.numbers.push_back(static_cast<double>(v) / static_cast<double>(f.values[i + 1]));
        else if (f.type == ifd::SRATIONAL)
            m.numbers.push_back(static_cast<double>(ifd::Signed(v, 4)) /
                                static_cast<double>(ifd::Signed(f.values[i + 1], 4)));
        else if (IsSignedType(f.type))
            m.numbers.push_back(static_cast<double>(ifd::Signed(v, ifd::TypeSize(f.type))));
        else
            m.numbers.push_back(static_cast<double>(v));
    }
    return m;
}

// A fraction p / 2^k of `v`, or else p / 10^k (the decimals a writer
// means), with both parts in 32 bits; false if none. What a case expects is
// the fraction written, whichever it is.
bool Dyadic(double v, bool is_signed, int64_t *num, int64_t *den)
{
    for (int k = 0; k <= 24 + 7; k++) {
        const double d = k <= 24 ? std::ldexp(1.0, k) : std::pow(10.0, k - 24);
        double p = v * d;
        if (k > 24 && std::fabs(p - std::round(p)) < 1e-6)
            p = std::round(p);
        if (p != std::floor(p))
            continue;
        const double limit = is_signed ? 2147483647.0 : 4294967295.0;
        if (p > limit || p < (is_signed ? -2147483648.0 : 0.0))
            return false;
        *num = static_cast<int64_t>(p);
        *den = static_cast<int64_t>(d);
        return true;
    }
    return false;
}

// The meaning encoded in `type`; false where that type cannot hold it.
bool Encode(const Meaning &m, uint16_t type, uint16_t tag, ifd::Field *out)
{
    *out = ifd::Numbers(tag, type, {});
    if (m.text) {
        out->values = m.bytes;
        return type == ifd::ASCII || type == ifd::BYTE || type == ifd::UNDEFINED ||
               type == ifd::SBYTE;
    }
    for (const double v : m.numbers) {
        if (IsInteger(type)) {
            if (v != std::floor(v) || std::fabs(v) > 9.0e15 || !Fits(type, static_cast<int64_t>(v)))
                return false;
            out->values.push_back(static_cast<uint64_t>(static_cast<int64_t>(v)) &
                                  (ifd::TypeSize(type) == 8
                                       ? ~uint64_t{0}
                                       : (uint64_t{1} << (8 * ifd::TypeSize(type))) - 1));
        } else if (type == ifd::RATIONAL || type == ifd::SRATIONAL) {
            int64_t num = 0;
            int64_t den = 1;
            if (!Dyadic(v, type == ifd::SRATIONAL, &num, &den))
                return false;
            out->values.push_back(static_cast<uint32_t>(num));
            out->values.push_back(static_cast<uint32_t>(den));
        } else if (type == ifd::FLOAT) {
            const float f = static_cast<float>(v);
            if (static_cast<double>(f) != v)
                return false;
            uint32_t bits;
            memcpy(&bits, &f, 4);
            out->values.push_back(bits);
        } else if (type == ifd::DOUBLE) {
            uint64_t bits;
            memcpy(&bits, &v, 8);
            out->values.push_back(bits);
        } else {
            return false;
        }
    }
    return true;
}

// The narrowest type of `types` that holds every value, in the order a
// writer picks them.
bool StandardOf(const field::Definition &f, ifd::Field *out)
{
    const uint16_t order[] = {ifd::BYTE,      ifd::SHORT, ifd::LONG,   ifd::UNDEFINED,
                              ifd::RATIONAL,  ifd::SBYTE, ifd::SSHORT, ifd::SLONG,
                              ifd::SRATIONAL, ifd::FLOAT, ifd::DOUBLE};
    Meaning m;
    if (f.text) {
        const size_t n = f.pattern ? f.pattern : strlen(f.text) + 1;
        m.text = true;
        for (size_t i = 0; i < n; i++)
            m.bytes.push_back(i < n - 1 || f.pattern ? static_cast<uint8_t>(f.text[i]) : 0);
        return Encode(m, ifd::ASCII, f.tag, out);
    }
    if (f.bytes) {
        const uint16_t type = (f.types & field::ALLOW_ASCII)       ? ifd::ASCII
                              : (f.types & field::ALLOW_UNDEFINED) ? ifd::UNDEFINED
                                                                   : ifd::BYTE;
        *out = ifd::Numbers(f.tag, type, std::vector<uint64_t>(f.bytes, f.bytes + f.pattern));
        return true;
    }
    if (f.values.size() == 0 && f.pattern) {
        for (const uint16_t type : {ifd::BYTE, ifd::UNDEFINED, ifd::SHORT, ifd::LONG}) {
            if (!(f.types & field::TypeBit(type)))
                continue;
            *out = ifd::Numbers(f.tag, type, {});
            for (uint32_t i = 0; i < f.pattern; i++)
                out->values.push_back(field::Pattern(f.tag, i, ifd::TypeSize(type)));
            return true;
        }
        return false;
    }
    size_t n = f.values.size();
    if (f.rule == field::Count::PerSample || f.rule == field::Count::Fixed)
        n = f.n; // one sample here
    if (n == 0 || n > f.values.size())
        return false;
    m.numbers.assign(f.values.begin(), f.values.begin() + static_cast<std::ptrdiff_t>(n));
    return std::any_of(std::begin(order), std::end(order), [&](uint16_t type) {
        return (f.types & field::TypeBit(type)) && Encode(m, type, f.tag, out);
    });
}

// Fields the main page of field_table holds that the matrix's image cannot
// carry as they are: the strile arrays and IFD links have the structural
// classes instead; Predictor means something only with a compression that
// predicts, InkNames and NumberOfInks only with the inks of a separated
// image; StripRowCounts only in TIFF-FX's images.
bool Excluded(const field::Definition &f)
{
    const bool home =
        f.home == field::Home::Main || f.home == field::Home::Exif || f.home == field::Home::Gps;
    return !home || f.link != field::LinkTarget::None || f.rule == field::Count::PerLevel ||
           f.rule == field::Count::OnceOrPerSample || f.leading_shorts ||
           f.tag == ifd::tag::StripRowCounts || f.tag == ifd::tag::Predictor ||
           f.tag == ifd::tag::InkNames || f.tag == ifd::tag::NumberOfInks;
}

// TIFF 6.0, section 2: readers take BYTE, SHORT or LONG for any unsigned
// integer field.
bool UnsignedInteger(uint32_t types)
{
    const uint32_t integer = field::ALLOW_BYTE | field::ALLOW_SHORT | field::ALLOW_LONG;
    return (types & integer) && !(types & ~(integer | field::ALLOW_UNDEFINED));
}

uint64_t TypeMax(uint16_t type)
{
    const unsigned size = ifd::TypeSize(type);
    const uint64_t all = size == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * size)) - 1;
    return IsSignedType(type) ? all >> 1 : all;
}

Variant Make(const Row &row, const char *klass, const std::string &slug, ifd::Field f,
             Outcome outcome, const char *rule)
{
    Variant v;
    v.klass = klass;
    v.slug = slug;
    f.tag = row.tag;
    v.field = f;
    v.expect = f;
    v.outcome = outcome;
    v.rule = rule;
    return v;
}

std::string Lower(const char *s)
{
    std::string out;
    for (; *s; s++)
        out += static_cast<char>(*s >= 'A' && *s <= 'Z' ? *s - 'A' + 'a' : *s);
    return out;
}

// The stored types a private field's own values cannot show: its values
// made whole numbers that every type holds, in each other type (a reader
// may convert or ignore them: "wrong type"); and a value one past the
// registered type's range, and one below it, in each wider integer type
// of the format that holds it, which the registered type cannot give.
void AddPrivateTypes(const Row &row, bool bigtiff, uint64_t n, std::vector<Variant> *out)
{
    const ifd::Field &s = row.standard;
    const uint16_t types[] = {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17};
    Meaning own = MeaningOf(s);
    ifd::Field probe;
    if (!own.text && !Encode(own, ifd::BYTE, row.tag, &probe)) {
        Meaning whole;
        const double values[] = {100, 1, 7, 3};
        for (uint64_t i = 0; i < n && i < 4; i++)
            whole.numbers.push_back(values[i]);
        for (const uint16_t type : types) {
            ifd::Field f;
            if (type == s.type || (!bigtiff && type >= 16) || !Encode(whole, type, row.tag, &f))
                continue;
            const std::string klass =
                std::string("stored as ") + ifd::TypeName(type) + ", whole values";
            out->push_back(Make(row, klass.c_str(), Lower(ifd::TypeName(type)) + "_whole", f,
                                Outcome::Tolerated, "wrong type"));
        }
    }
    auto beyond = [&](const char *what, const char *slug, double value, uint16_t type) {
        Meaning m;
        m.numbers.assign(n, value);
        ifd::Field f;
        if ((!bigtiff && type >= 16) || !Encode(m, type, row.tag, &f))
            return;
        const std::string klass = std::string(what) + " as " + ifd::TypeName(type);
        out->push_back(Make(row, klass.c_str(), slug + Lower(ifd::TypeName(type)), f,
                            Outcome::Refused, "wider than the field"));
    };
    if (IsInteger(s.type) && s.type != ifd::UNDEFINED && ifd::TypeSize(s.type) < 8) {
        const bool is_signed = IsSignedType(s.type);
        const double above = static_cast<double>(TypeMax(s.type)) + 1;
        // The wide types past_type and below_type already use.
        const uint16_t wide =
            bigtiff ? (is_signed ? ifd::SLONG8 : ifd::LONG8)
                    : (is_signed || ifd::TypeSize(s.type) == 4 ? ifd::DOUBLE : ifd::LONG);
        for (const uint16_t type :
             {ifd::SHORT, ifd::LONG, ifd::SSHORT, ifd::SLONG, ifd::LONG8, ifd::SLONG8}) {
            if (type != wide)
                beyond("past its registered type", "past_", above, type);
        }
        const uint16_t low = bigtiff ? ifd::SLONG8 : ifd::SLONG;
        for (const uint16_t type : {ifd::SBYTE, ifd::SSHORT, ifd::SLONG, ifd::SLONG8}) {
            if (type != low)
                beyond("below its registered type", "below_", is_signed ? -above - 1 : -1, type);
        }
    }
    // A FLOAT field: a DOUBLE no float holds.
    if (s.type == ifd::FLOAT)
        beyond("past its registered type", "past_", 1e300, ifd::DOUBLE);
}

} // namespace

std::vector<Variant> DeriveAll(const Row &row, bool bigtiff);
void AddPrivate(std::vector<Row> *rows, uint16_t type, uint16_t base, int read_count,
                bool pass_count);

bool Fits(uint16_t type, int64_t value)
{
    switch (type) {
    case ifd::BYTE:
    case ifd::UNDEFINED:
        return value >= 0 && value <= 0xFF;
    case ifd::SBYTE:
        return value >= -128 && value <= 127;
    case ifd::SHORT:
        return value >= 0 && value <= 0xFFFF;
    case ifd::SSHORT:
        return value >= -32768 && value <= 32767;
    case ifd::LONG:
    case ifd::IFD:
        return value >= 0 && value <= 0xFFFFFFFFLL;
    case ifd::SLONG:
        return value >= -2147483648LL && value <= 2147483647LL;
    case ifd::LONG8:
    case ifd::IFD8:
        return value >= 0;
    case ifd::SLONG8:
        return true;
    default:
        return false;
    }
}

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (const ImageField &i : image_fields) {
        for (size_t k = 0; k < field::field_count; k++) {
            const field::Definition &f = field::fields[k];
            if (f.tag != i.tag || f.home != field::Home::Main)
                continue;
            Row r{f.tag,  f.name, ifd::SHORT, f.types,
                  f.rule, true,   true,       ifd::Numbers(f.tag, ifd::SHORT, {i.value})};
            rows.push_back(r);
            break;
        }
    }
    for (size_t k = 0; k < field::field_count; k++) {
        const field::Definition &f = field::fields[k];
        const bool image = std::any_of(std::begin(image_fields), std::end(image_fields),
                                       [&](const ImageField &i) { return i.tag == f.tag; });
        ifd::Field standard;
        if (image || Excluded(f) || !StandardOf(f, &standard))
            continue;
        Row r{f.tag, f.name,  standard.type, f.types, f.rule, f.rule != field::Count::Any,
              false, standard};
        r.home = f.home == field::Home::Exif  ? Home::Exif
                 : f.home == field::Home::Gps ? Home::Gps
                                              : Home::Main;
        for (const Range &range : ranges) {
            if (range.tag == f.tag) {
                r.lo = range.lo;
                r.hi = range.hi;
                r.ranged = true;
            }
        }
        rows.push_back(r);
    }
    // A private tag of each type in each form of count the library
    // registers: its values fit every type that can hold them.
    struct Form {
        uint16_t base;
        int read_count;
        bool pass_count;
    };
    const Form forms[] = {{private_base, -3, true},
                          {private_variable, -1, true},
                          {private_three, 3, false},
                          {private_one, 1, false}};
    const uint16_t types[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18};
    for (const Form &form : forms) {
        for (const uint16_t type : types) {
            if (form.read_count > 0 && type == ifd::ASCII)
                continue; // a text has no fixed count
            AddPrivate(&rows, type, form.base, form.read_count, form.pass_count);
        }
    }
    return rows;
}

void AddPrivate(std::vector<Row> *rows, uint16_t type, uint16_t base, int read_count,
                bool pass_count)
{
    {
        Meaning m;
        if (type == ifd::ASCII) {
            m.text = true;
            for (const char c : std::string("a private text"))
                m.bytes.push_back(static_cast<uint8_t>(c));
            m.bytes.push_back(0);
        } else if (IsSignedType(type) || type == ifd::SRATIONAL || type == ifd::FLOAT ||
                   type == ifd::DOUBLE) {
            m.numbers = {-1, 100, -7, type >= 10 && type <= 12 ? 0.5 : 3};
        } else if (type == ifd::RATIONAL) {
            m.numbers = {1.5, 100, 7};
        } else {
            m.numbers = {1, 100, 7};
        }
        if (read_count > 0)
            m.numbers.resize(static_cast<size_t>(read_count));
        ifd::Field standard;
        const uint16_t tag = static_cast<uint16_t>(base + type);
        if (!Encode(m, type, tag, &standard))
            return;
        const bool fixed = read_count > 0;
        Row r{tag,
              "a private tag",
              type,
              field::TypeBit(type),
              fixed ? field::Count::Fixed : field::Count::Any,
              fixed,
              false,
              standard};
        r.home = Home::Private;
        r.read_count = read_count;
        r.pass_count = pass_count;
        rows->push_back(r);
    }
}

std::vector<Variant> Derive(const Row &row, bool bigtiff)
{
    std::vector<Variant> out = DeriveAll(row, bigtiff);
    // A BigTIFF type in a classic file is no legal encoding, whatever else
    // the case varies.
    if (!bigtiff && row.type >= 16) {
        for (Variant &v : out) {
            if (v.outcome == Outcome::Exact) {
                v.outcome = Outcome::Tolerated;
                v.rule = "wrong type";
            }
        }
    }
    return out;
}

std::vector<Variant> DeriveAll(const Row &row, bool bigtiff)
{
    std::vector<Variant> out;
    const ifd::Field &s = row.standard;
    const Meaning meaning = MeaningOf(s);
    const bool pairs = s.type == ifd::RATIONAL || s.type == ifd::SRATIONAL;
    const uint64_t n = pairs ? s.values.size() / 2 : s.values.size();
    const unsigned size = ifd::TypeSize(s.type);
    const unsigned slot = bigtiff ? 8 : 4;
    const bool is_text = s.type == ifd::ASCII;

    out.push_back(Make(row, "in its standard encoding", "std", s, Outcome::Exact, "standard"));

    // Stored types: every type of the format, the standard's and the
    // reader rule's exact, the others tolerated.
    const uint16_t types[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18};
    for (const uint16_t type : types) {
        ifd::Field f;
        if (type == s.type || !Encode(meaning, type, row.tag, &f))
            continue;
        const bool allowed = (row.types & field::TypeBit(type)) && !(!bigtiff && type >= 16);
        // EXIF 2.32 gives its fields (and GPS's) one type each; TIFF 6.0's
        // reader rule is TIFF's own: there, tolerated.
        const bool reader_rule = UnsignedInteger(row.types) && row.home != Home::Exif &&
                                 row.home != Home::Gps &&
                                 (type == ifd::BYTE || type == ifd::SHORT || type == ifd::LONG);
        const std::string klass = std::string("stored as ") + ifd::TypeName(type);
        Variant v = Make(row, klass.c_str(), Lower(ifd::TypeName(type)), f,
                         allowed || reader_rule ? Outcome::Exact : Outcome::Tolerated,
                         allowed       ? "standard"
                         : reader_rule ? "reader's integer types"
                                       : "wrong type");
        out.push_back(v);
    }

    // The image's own fields vary by type alone: absent, the library
    // gives their defaults, and their counts are the image's.
    if (row.image)
        return out;

    // Counts.
    {
        ifd::Field f = s;
        f.values.clear();
        out.push_back(Make(row, "with count 0", "count0", f,
                           row.fixed && !is_text ? Outcome::Refused : Outcome::Tolerated,
                           "count 0"));
    }
    if (n > 1) {
        ifd::Field f = s;
        f.values.resize(f.values.size() - (pairs ? 2 : 1));
        Variant v = Make(row, "with one value fewer", "fewer", f,
                         is_text     ? Outcome::Tolerated
                         : row.fixed ? Outcome::Refused
                                     : Outcome::Exact,
                         is_text     ? "text without its NUL"
                         : row.fixed ? "count short"
                                     : "standard");
        out.push_back(v);
    }
    {
        ifd::Field f = s;
        if (is_text) {
            f.values.push_back('x');
        } else {
            const uint64_t extra = field::Pattern(row.tag, static_cast<uint32_t>(n), size) &
                                   (pairs ? 0x7FFF : TypeMax(s.type) >> 1);
            f.values.push_back(extra);
            if (pairs)
                f.values.push_back(1);
        }
        Variant v = Make(row, "with one value more", "more", f,
                         row.fixed || is_text ? Outcome::Tolerated : Outcome::Exact,
                         row.fixed ? "count long"
                         : is_text ? "text after its NUL"
                                   : "standard");
        if (row.fixed || is_text)
            v.expect = s; // the standard's values, the extra one unread
        out.push_back(v);
    }
    {
        ifd::Field f = s;
        f.count = bigtiff ? uint64_t{1} << 40 : uint64_t{1} << 31;
        out.push_back(Make(row, bigtiff ? "with count 2^40" : "with count 2^31", "huge", f,
                           Outcome::Refused, "count past the file"));
    }
    // The inline slot's edge, and one value over: free counts only.
    if (!row.fixed && !pairs) {
        for (unsigned k : {slot / size, slot / size + 1}) {
            if (k == 0)
                continue;
            ifd::Field f = s;
            f.values.clear();
            for (unsigned i = 0; i < k; i++)
                f.values.push_back(is_text ? (i + 1 < k ? 'a' + i : 0)
                                           : field::Pattern(row.tag, i, size) & TypeMax(s.type));
            const bool edge = k == slot / size;
            out.push_back(Make(row, edge ? "filling the inline slot" : "one value over the slot",
                               edge ? "edge" : "over", f, Outcome::Exact, "standard"));
        }
    }

    // A fraction whose numerator a float does not hold: the value is the
    // quotient, which a FLOAT interface gives as its nearest float.
    if (pairs) {
        std::vector<uint64_t> values;
        for (uint64_t i = 0; i < n; i++) {
            values.push_back(16777227);
            values.push_back(65539);
        }
        out.push_back(Make(row, "with a numerator past 2^24", "num25",
                           ifd::Numbers(row.tag, s.type, values), Outcome::Exact, "standard"));
    }

    // TIFF 6.0 makes both parts of an SRATIONAL signed: the same fraction
    // with both negated is the same value, and a denominator read unsigned
    // shows.
    if (s.type == ifd::SRATIONAL) {
        std::vector<uint64_t> values;
        for (const uint64_t part : s.values)
            values.push_back(static_cast<uint32_t>(-static_cast<int64_t>(ifd::Signed(part, 4))));
        out.push_back(Make(row, "with both parts negated", "negated",
                           ifd::Numbers(row.tag, s.type, values), Outcome::Exact, "standard"));
    }

    // Placements, where the standard encoding lies out of line.
    if (s.values.size() * (pairs ? size / 2 : size) > slot) {
        struct P {
            const char *klass;
            const char *slug;
            const char *rule;
            Place place;
            Outcome outcome;
        };
        const P places[] = {
            {"at an odd offset", "odd", "odd offset", Place::Odd, Outcome::Tolerated},
            {"past the end of the file", "past", "past the end", Place::PastEnd, Outcome::Refused},
            {"straddling the end of the file", "straddle", "past the end", Place::Straddle,
             Outcome::Refused},
            {"over the IFD", "overifd", "over the IFD", Place::OverIfd, Outcome::Tolerated},
        };
        for (const P &p : places) {
            Variant v = Make(row, p.klass, p.slug, s, p.outcome, p.rule);
            v.place = p.place;
            out.push_back(v);
        }
    }

    // Private integer fields: a value past the registered type, in a wider
    // type, which the registered one cannot give.
    if (row.home == Home::Private && IsInteger(s.type) && ifd::TypeSize(s.type) < 8) {
        const bool is_signed = IsSignedType(s.type);
        const int64_t above = static_cast<int64_t>(TypeMax(s.type)) + 1;
        const uint16_t wide =
            bigtiff ? (is_signed ? ifd::SLONG8 : ifd::LONG8)
                    : (is_signed || ifd::TypeSize(s.type) == 4 ? ifd::DOUBLE : ifd::LONG);
        ifd::Field f;
        Meaning m;
        m.numbers.assign(n, static_cast<double>(above));
        if (Encode(m, wide, row.tag, &f))
            out.push_back(Make(row, "past its registered type", "past_type", f, Outcome::Refused,
                               "wider than the field"));
        m.numbers.assign(n, is_signed ? -static_cast<double>(above) - 1 : -1.0);
        if (Encode(m, bigtiff ? ifd::SLONG8 : ifd::SLONG, row.tag, &f))
            out.push_back(Make(row, "below its registered type", "below_type", f, Outcome::Refused,
                               "wider than the field"));
    }
    if (row.home == Home::Private)
        AddPrivateTypes(row, bigtiff, n, &out);

    // Values of unsigned integer fields: the type's limits, just past the
    // field's range, wider than its type, negative.
    if (UnsignedInteger(row.types) &&
        (s.type == ifd::SHORT || s.type == ifd::LONG || s.type == ifd::BYTE)) {
        auto all = [&](uint16_t type, uint64_t value) {
            ifd::Field f = ifd::Numbers(row.tag, type, std::vector<uint64_t>(n, value));
            return f;
        };
        auto in_range = [&](uint64_t value) {
            return !row.ranged || (value >= row.lo && value <= row.hi);
        };
        out.push_back(Make(row, "at its type's least value", "min", all(s.type, 0),
                           in_range(0) ? Outcome::Exact : Outcome::Tolerated,
                           in_range(0) ? "standard" : "out of range"));
        const uint64_t max = TypeMax(s.type);
        out.push_back(Make(row, "at its type's greatest value", "max", all(s.type, max),
                           in_range(max) ? Outcome::Exact : Outcome::Tolerated,
                           in_range(max) ? "standard" : "out of range"));
        if (row.ranged && row.hi + 1 <= max)
            out.push_back(Make(row, "just past its range", "past_range", all(s.type, row.hi + 1),
                               Outcome::Tolerated, "out of range"));
        if (!(row.types & field::ALLOW_LONG))
            out.push_back(Make(row, "as LONG 65536", "long65536", all(ifd::LONG, 65536),
                               Outcome::Refused, "wider than the field"));
        out.push_back(Make(row, "as SSHORT -1", "negative", all(ifd::SSHORT, 0xFFFF),
                           Outcome::Refused, "negative in an unsigned field"));
    }
    return out;
}

} // namespace matrix
