// Holds the TIFF library to what its own man pages promise of the calls the
// probes make: what each call returns on success and on failure, what
// out-of-range arguments give, what a read does to the caller's buffer, the
// call sequences a page spells out step by step, and what the field query
// calls say of each field. One table row per promise names its page and
// quotes it; a broken promise is one line, "NAME: PAGE: WHAT.".
//
// Promises that the file's byte order or format can change run in the four
// layouts; those about the calls alone run once, on a file of their own.
#include <cstddef>

#include "library_messages.h"
#include "manpage_probe.h"

namespace manpage {
namespace {

constexpr Layout layouts[] = {
    {"manpage_le.tif", false, false},
    {"manpage_be.tif", true, false},
    {"manpage_le.btf", false, true},
    {"manpage_be.btf", true, true},
};
constexpr Layout calls_layouts[] = {
    {"manpage_calls.tif", false, false},
};

// Promises whose answer may depend on the file's byte order and format.
constexpr Promise layout_promises[] = {
    {"TIFFWriteEncodedStrip(3tiff)", "Otherwise, the value of size is returned.",
     WriteStripGivesSize},
    {"TIFFWriteEncodedStrip(3tiff)",
     "File not open for writing ... -1 is returned if an error was encountered.",
     WriteStripReadOnly},
    {"TIFFWriteEncodedStrip(3tiff)", "Can not write scanlines to a tiled image", WriteStripTiled},
    {"TIFFWriteEncodedStrip(3tiff)",
     "The strip number must be valid according to the current settings of the ImageLength and "
     "RowsPerStrip tags.",
     WriteStripPastEnd},
    {"TIFFReadEncodedStrip(3tiff)",
     "If -1 is passed in the size parameter, the whole strip will be read.", ReadStripWhole},
    {"TIFFReadEncodedStrip(3tiff)",
     "place up to size bytes of decompressed information in the (user supplied) data buffer",
     ReadStripUpToSize},
    {"TIFFReadEncodedStrip(3tiff)", "returns -1 if an error was encountered", ReadStripPastEnd},
    {"TIFFReadScanline(3tiff)", "returns -1 if it detects an error; otherwise 1 is returned",
     ReadScanlines},
    {"TIFFWriteScanline(3tiff)", "1 for a successful write", WriteScanlines},
    {"TIFFWriteScanline(3tiff)", "File not open for writing", WriteScanlineReadOnly},
    {"TIFFWriteScanline(3tiff)",
     "It is not possible to write scanlines to a file that uses a tiled organization.",
     WriteScanlineTiled},
    {"TIFFstrip(3tiff)", "TIFFNumberOfStrips() returns the number of strips in the image.",
     StripCount},
    {"TIFFstrip(3tiff)",
     "TIFFStripSize() returns the equivalent size for a strip of data as it would be returned in "
     "a call to TIFFReadEncodedStrip()",
     StripSize},
    {"TIFFsize(3tiff)", "TIFFScanlineSize() returns the size in bytes of a row of data",
     ScanlineSize},
    {"TIFFstrip(3tiff)",
     "TIFFComputeStrip() returns the strip that contains the specified "
     "coordinates.",
     ComputeStripInside},
    {"TIFFtile(3tiff)", "TIFFTileSize() ... TIFFTileRowSize() ... TIFFNumberOfTiles()", TileSizes},
    {"TIFFtile(3tiff)",
     "TIFFComputeTile() returns the tile that contains the specified "
     "coordinates.",
     ComputeTileInside},
    {"TIFFtile(3tiff)",
     "TIFFCheckTile() returns a non-zero value if the supplied coordinates are within the bounds "
     "of the image and zero otherwise.",
     CheckTile},
    {"TIFFWriteEncodedTile(3tiff)", "Otherwise, the value of size is returned.",
     WriteEncodedTileGivesSize},
    {"TIFFWriteTile(3tiff)", "otherwise the number of bytes in the tile is returned.",
     WriteTileGivesBytes},
    {"TIFFWriteEncodedTile(3tiff)", "Can not write tiles to a stripped image", WriteTileStripped},
    {"TIFFReadEncodedTile(3tiff)",
     "The actual number of bytes of data that were placed in buf is returned; "
     "TIFFReadEncodedTile() returns -1 if an error was encountered.",
     ReadEncodedTiles},
    {"TIFFReadTile(3tiff)",
     "TIFFReadTile() returns -1 if it detects an error; otherwise the number of bytes in the "
     "decoded tile is returned.",
     ReadTileByPlace},
    {"TIFFStrileQuery(3tiff)", "set to \"0\" for successful return or to \"1\" for an error return",
     StrileWithErr},
    {"TIFFDeferStrileArrayWriting(3tiff)", "The typical sequence of calls is: ...", DeferredArrays},
    {"TIFFDeferStrileArrayWriting(3tiff)", "The typical sequence of calls is: ...",
     DeferredOneStrip},
    {"TIFFDeferStrileArrayWriting(3tiff)", "The typical sequence of calls is: ...", DeferredTiles},
    {"TIFFquery(3tiff)",
     "TIFFIsBigEndian() returns a non-zero value if the file is BigEndian and zero if the file "
     "is LittleEndian.",
     ByteOrder},
    {"TIFFquery(3tiff)",
     "TIFFIsByteSwapped() returns a non-zero value if the image data was in a different "
     "byte-order than the host machine.",
     ByteSwapped},
    {"TIFFquery(3tiff)",
     "TIFFIsBigTIFF() returns a non-zero value if the file is in BigTIFF "
     "style.",
     BigTiff},
    {"TIFFquery(3tiff)",
     "TIFFIsTiled() returns a non-zero value if the image data has a tiled organization.", Tiled},
    {"TIFFquery(3tiff)", "TIFFFileName() returns the pathname argument passed to TIFFOpen()",
     FileName},
    {"TIFFquery(3tiff)", "TIFFNumberOfDirectories() returns the number of directories in a file.",
     DirectoryCount},
    {"TIFFOpen(3tiff)",
     "If a file is opened for reading, the first TIFF directory in the file is automatically "
     "read",
     FirstDirectoryRead},
    {"TIFFReadDirectory(3tiff)",
     "If the next directory was successfully read, 1 is returned. Otherwise, 0 is returned ... "
     "if there are no more directories to be read.",
     ReadDirectoryWalk},
    {"TIFFquery(3tiff)",
     "TIFFLastDirectory() returns a non-zero value if the current directory is the last "
     "directory in the file; otherwise zero is returned.",
     LastDirectory},
    {"TIFFSetDirectory(3tiff)",
     "On successful return 1 is returned. Otherwise, 0 is returned if dirnum ... specifies a "
     "non-existent directory",
     SetDirectory},
    {"TIFFSetDirectory(3tiff)",
     "TIFFSetSubDirectory() acts like TIFFSetDirectory(), except the directory is specified as a "
     "file offset",
     SetSubDirectory},
    {"TIFFCreateDirectory(3tiff)",
     "TIFFUnlinkDirectory() unlink the specified directory from the directory chain. ... the "
     "first directory numbered one (1).",
     UnlinkDirectory},
    {"TIFFWriteDirectory(3tiff)", "TIFFWriteDirectory() is automatically called by TIFFClose()",
     WrittenByClose},
    {"TIFFWriteDirectory(3tiff)",
     "The TIFFCheckpointDirectory() writes the current state of the tiff directory into the "
     "file to make what is currently in the file readable.",
     Checkpoint},
    {"TIFFWriteDirectory(3tiff)",
     "it will place them at the end of the file, correcting the pointer from the preceding "
     "directory or file header",
     RewriteAtEnd},
    {"TIFFOpen(3tiff)",
     "If an existing file is opened for writing, all previous data is overwritten.",
     OpenOverwrites},
    {"TIFFOpen(3tiff)",
     "When a file is opened for appending, existing data will not be touched; instead new data "
     "will be written as additional subfiles.",
     OpenAppends},
    {"TIFFGetField(3tiff)",
     "1 is returned if the tag is defined in the current directory; otherwise a 0 is returned.",
     GetFieldDefined},
    {"TIFFGetField(3tiff)", "TIFFVGetField() is functionally equivalent to TIFFGetField()",
     VGetFieldSame},
    {"TIFFSetField(3tiff)", "1 is returned if the operation was successful.", SetFieldSucceeds},
    {"TIFFSetField(3tiff)", "Cannot modify tag \"%s\" while writing", SetFieldWhileWriting},
    {"TIFFSetField(3tiff)", "TIFFUnsetField() clears the contents of the field", UnsetField},
    {"TIFFCustomDirectory(3tiff)",
     "A sequence to handle a second (or third) TIFF directory - in this case the GPS IFD - is as "
     "follows",
     GpsSequence},
    {"TIFFCustomDirectory(3tiff)",
     "This prevents the main directory from being written to the file again at an additional "
     "area, leaving the first memory area unused",
     GpsSequenceGrown},
    {"TIFFGetField(3tiff)",
     "If you can't find the tag in the table above that means this is an unsupported tag ... "
     "You will still be able to read it's value if you know the data type of that tag.",
     AutoregisteredValues},
    {"TIFFFieldQuery(3tiff)",
     "TIFFFieldIsAnonymous() returns true (nonzero) if the field, read from file, is unknown to "
     "libtiff and a anonymous field has been auto-registered. Return is zero \"0\" if field is "
     "known to libtiff.",
     AnonymousFields},
};

// Promises about the calls alone, run once.
constexpr Promise call_promises[] = {
    {"TIFFstrip(3tiff)",
     "A valid strip is always returned; out-of-range coordinate values are clamped to the "
     "bounds of the image.",
     ComputeStripClamped},
    {"TIFFtile(3tiff)",
     "A valid tile is always returned; out-of-range coordinate values are clamped to the bounds "
     "of the image.",
     ComputeTileClamped},
    {"TIFFquery(3tiff)",
     "TIFFGetMode() returns the mode with which the underlying file was opened. On UNIX "
     "systems, this is the value passed to the open() (2) system call.",
     OpenMode},
    {"TIFFquery(3tiff)",
     "A value of 65535 (non-existing directory) is returned if the directory has not yet been "
     "written to the file after opening it.",
     CurrentDirectoryUnwritten},
    {"TIFFquery(3tiff)", "TIFFGetVersion() returns an ASCII string that has a version stamp",
     GetVersion},
    {"TIFFOpen(3tiff)", "If the open operation fails, then NULL (0) is returned.", OpenFails},
    {"TIFFOpen(3tiff)",
     "calls to TIFFSetField() are put into a fresh directory, which will be appended when the "
     "file is closed.",
     OpenUpdateAppends},
    {"TIFFOpen(3tiff)", "This directory has all the default values specified in TIFF Revision 6.0",
     OpenDefaults},
    {"TIFFSetField(3tiff)", "%d: Bad value for \"%s\"", SetFieldBadValue},
    {"TIFFFieldPassCount(3tiff)",
     "returns true (nonzero) if TIFFGetField() and TIFFSetField() expect a count value to be "
     "passed before the actual data pointer.",
     PassCount},
    {"TIFFFieldReadCount(3tiff)",
     "TIFF_VARIABLE = -1 indicates that a variable number of values is possible; then, a "
     "uint16_t count argument and a pointer data argument must be supplied to TIFFGetField().",
     ReadCount},
    {"TIFFFieldWriteCount(3tiff)",
     "TIFF_VARIABLE indicates that a variable number of values is possible; then, a uint16_t "
     "count argument and a pointer data argument must be supplied to TIFFSetField().",
     WriteCount},
    {"TIFFFieldQuery(3tiff)",
     "TIFFFieldSetGetCountSize() returns size of count parameter ...: 0=none, 2= uint16_t, 4= "
     "uint32_t",
     CountSize},
    {"TIFFFieldQuery(3tiff)",
     "This is also the data size of the parameter to be provided to TIFFSetField() and "
     "TIFFGetField().",
     SetGetSize},
    {"TIFFFieldQuery(3tiff)",
     "TIFFFieldSetGetSize() returns the data size in bytes of the field data type used for "
     "libtiff internal storage.",
     PrivateSetGetSize},
    {"TIFFFieldName(3tiff)", "TIFFFieldName() returns the textual name for a TIFF field.",
     FieldNames},
    {"TIFFFieldTag(3tiff)", "TIFFFieldTag() returns the numeric tag value for a TIFF field.",
     FieldTags},
    {"TIFFFieldDataType(3tiff)",
     "TIFFFieldDataType() returns the data type stored in a TIFF field.", FieldTypes},
    {"TIFFCustomTagList(3tiff)",
     "If the tag_index is larger or equal to the number of entries in the tag list 0xFFFFFFFF "
     "(=(uint32_t(-1)) is returned.",
     TagListEnd},
    {"TIFFDataWidth(3tiff)", "0 returned when unknown data type supplied.", DataWidth},
    {"TIFFError(3tiff)",
     "TIFFSetErrorHandler() and TIFFSetErrorHandlerExt() returns a reference to the previous "
     "error handler function.",
     ErrorHandler},
    {"TIFFWarning(3tiff)",
     "TIFFSetWarningHandler() and TIFFSetWarningHandlerExt() returns a reference to the "
     "previous warning handler function.",
     WarningHandler},
};

// Every promise of the table, each on its own; the layout passes when all do.
template <size_t N>
bool Keep(const Layout &layout, const Promise (&promises)[N])
{
    bool ok = true;
    for (const Promise &p : promises) {
        if (!p.check(layout, p))
            ok = false;
    }
    return ok;
}

} // namespace
} // namespace manpage

int main()
{
    CountLibraryMessages();
    const int by_layout = probe::RunLayouts(manpage::layouts, [](const manpage::Layout &l) {
        return manpage::Keep(l, manpage::layout_promises);
    });
    const int once = probe::RunLayouts(manpage::calls_layouts, [](const manpage::Layout &l) {
        return manpage::Keep(l, manpage::call_promises);
    });
    return by_layout | once;
}
