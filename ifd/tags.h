// Tag numbers by the names their standards give them: TIFF 6.0 and its
// supplements, TIFF/EP, DNG, EXIF and the registered private fields. The
// EXIF, GPS and Interoperability directories number their fields on their
// own, so each has its own namespace.
#ifndef TIFF_PROBES_IFD_TAGS_H
#define TIFF_PROBES_IFD_TAGS_H

#include <cstddef>
#include <cstdint>

// Each list holds X(Name, number) per tag in numeric order, N(Name, number,
// "text") where the standard's name is no identifier; the constants and the
// name tables below are made from them, so a number and its name have one
// home.
// clang-format off
// The main IFD (and SubIFDs).
#define IFD_TAGS_MAIN(X, N) \
    X(NewSubfileType, 254) \
    X(SubfileType, 255) \
    X(ImageWidth, 256) \
    X(ImageLength, 257) \
    X(BitsPerSample, 258) \
    X(Compression, 259) \
    X(PhotometricInterpretation, 262) \
    X(Threshholding, 263) \
    X(CellWidth, 264) \
    X(CellLength, 265) \
    X(FillOrder, 266) \
    X(DocumentName, 269) \
    X(ImageDescription, 270) \
    X(Make, 271) \
    X(Model, 272) \
    X(StripOffsets, 273) \
    X(Orientation, 274) \
    X(SamplesPerPixel, 277) \
    X(RowsPerStrip, 278) \
    X(StripByteCounts, 279) \
    X(MinSampleValue, 280) \
    X(MaxSampleValue, 281) \
    X(XResolution, 282) \
    X(YResolution, 283) \
    X(PlanarConfiguration, 284) \
    X(PageName, 285) \
    X(XPosition, 286) \
    X(YPosition, 287) \
    X(FreeOffsets, 288) \
    X(FreeByteCounts, 289) \
    X(GrayResponseUnit, 290) \
    X(GrayResponseCurve, 291) \
    X(T4Options, 292) \
    X(T6Options, 293) \
    X(ResolutionUnit, 296) \
    X(PageNumber, 297) \
    X(ColorResponseUnit, 300) \
    X(TransferFunction, 301) \
    X(Software, 305) \
    X(DateTime, 306) \
    X(Artist, 315) \
    X(HostComputer, 316) \
    X(Predictor, 317) \
    X(WhitePoint, 318) \
    X(PrimaryChromaticities, 319) \
    X(ColorMap, 320) \
    X(HalftoneHints, 321) \
    X(TileWidth, 322) \
    X(TileLength, 323) \
    X(TileOffsets, 324) \
    X(TileByteCounts, 325) \
    X(BadFaxLines, 326) \
    X(CleanFaxData, 327) \
    X(ConsecutiveBadFaxLines, 328) \
    X(SubIFDs, 330) \
    X(InkSet, 332) \
    X(InkNames, 333) \
    X(NumberOfInks, 334) \
    X(DotRange, 336) \
    X(TargetPrinter, 337) \
    X(ExtraSamples, 338) \
    X(SampleFormat, 339) \
    X(SMinSampleValue, 340) \
    X(SMaxSampleValue, 341) \
    X(ClipPath, 343) \
    X(XClipPathUnits, 344) \
    X(YClipPathUnits, 345) \
    X(Indexed, 346) \
    X(JPEGTables, 347) \
    X(GlobalParametersIFD, 400) \
    X(ProfileType, 401) \
    X(FaxProfile, 402) \
    X(CodingMethods, 403) \
    X(VersionYear, 404) \
    X(ModeNumber, 405) \
    X(Decode, 433) \
    X(DefaultImageColor, 434) \
    X(T82Options, 435) \
    X(YCbCrCoefficients, 529) \
    X(YCbCrSubSampling, 530) \
    X(YCbCrPositioning, 531) \
    X(ReferenceBlackWhite, 532) \
    X(StripRowCounts, 559) \
    X(XMLPacket, 700) \
    X(Matteing, 32995) \
    X(DataType, 32996) \
    X(ImageDepth, 32997) \
    X(TileDepth, 32998) \
    X(ImageFullWidth, 33300) \
    X(ImageFullLength, 33301) \
    X(TextureFormat, 33302) \
    X(TextureWrapModes, 33303) \
    X(FieldOfViewCotangent, 33304) \
    X(MatrixWorldToScreen, 33305) \
    X(MatrixWorldToCamera, 33306) \
    X(CFARepeatPatternDim, 33421) \
    X(CFAPattern, 33422) \
    X(Copyright, 33432) \
    N(IPTC_NAA, 33723, "IPTC/NAA") \
    X(Photoshop, 34377) \
    X(ExifIFD, 34665) \
    X(InterColorProfile, 34675) \
    X(ImageLayer, 34732) \
    X(GPSInfoIFD, 34853) \
    X(FaxRecvParams, 34908) \
    X(FaxSubAddress, 34909) \
    X(FaxRecvTime, 34910) \
    X(FaxDcs, 34911) \
    X(StoNits, 37439) \
    X(ImageSourceData, 37724) \
    X(LercParameters, 50674) \
    X(DNGVersion, 50706) \
    X(DNGBackwardVersion, 50707) \
    X(UniqueCameraModel, 50708) \
    X(LocalizedCameraModel, 50709) \
    X(CFAPlaneColor, 50710) \
    X(CFALayout, 50711) \
    X(LinearizationTable, 50712) \
    X(BlackLevelRepeatDim, 50713) \
    X(BlackLevel, 50714) \
    X(BlackLevelDeltaH, 50715) \
    X(BlackLevelDeltaV, 50716) \
    X(WhiteLevel, 50717) \
    X(DefaultScale, 50718) \
    X(DefaultCropOrigin, 50719) \
    X(DefaultCropSize, 50720) \
    X(ColorMatrix1, 50721) \
    X(ColorMatrix2, 50722) \
    X(CameraCalibration1, 50723) \
    X(CameraCalibration2, 50724) \
    X(ReductionMatrix1, 50725) \
    X(ReductionMatrix2, 50726) \
    X(AnalogBalance, 50727) \
    X(AsShotNeutral, 50728) \
    X(AsShotWhiteXY, 50729) \
    X(BaselineExposure, 50730) \
    X(BaselineNoise, 50731) \
    X(BaselineSharpness, 50732) \
    X(BayerGreenSplit, 50733) \
    X(LinearResponseLimit, 50734) \
    X(CameraSerialNumber, 50735) \
    X(LensInfo, 50736) \
    X(ChromaBlurRadius, 50737) \
    X(AntiAliasStrength, 50738) \
    X(ShadowScale, 50739) \
    X(DNGPrivateData, 50740) \
    X(MakerNoteSafety, 50741) \
    X(CalibrationIlluminant1, 50778) \
    X(CalibrationIlluminant2, 50779) \
    X(BestQualityScale, 50780) \
    X(RawDataUniqueID, 50781) \
    X(OriginalRawFileName, 50827) \
    X(OriginalRawFileData, 50828) \
    X(ActiveArea, 50829) \
    X(MaskedAreas, 50830) \
    X(AsShotICCProfile, 50831) \
    X(AsShotPreProfileMatrix, 50832) \
    X(CurrentICCProfile, 50833) \
    X(CurrentPreProfileMatrix, 50834)

// The EXIF IFD (EXIF 2.32).
#define IFD_TAGS_EXIF(X, N) \
    X(ExposureTime, 33434) \
    X(FNumber, 33437) \
    X(ExposureProgram, 34850) \
    X(SpectralSensitivity, 34852) \
    X(PhotographicSensitivity, 34855) \
    X(OECF, 34856) \
    X(SensitivityType, 34864) \
    X(StandardOutputSensitivity, 34865) \
    X(RecommendedExposureIndex, 34866) \
    X(ISOSpeed, 34867) \
    X(ISOSpeedLatitudeyyy, 34868) \
    X(ISOSpeedLatitudezzz, 34869) \
    X(ExifVersion, 36864) \
    X(DateTimeOriginal, 36867) \
    X(DateTimeDigitized, 36868) \
    X(OffsetTime, 36880) \
    X(OffsetTimeOriginal, 36881) \
    X(OffsetTimeDigitized, 36882) \
    X(ComponentsConfiguration, 37121) \
    X(CompressedBitsPerPixel, 37122) \
    X(ShutterSpeedValue, 37377) \
    X(ApertureValue, 37378) \
    X(BrightnessValue, 37379) \
    X(ExposureBiasValue, 37380) \
    X(MaxApertureValue, 37381) \
    X(SubjectDistance, 37382) \
    X(MeteringMode, 37383) \
    X(LightSource, 37384) \
    X(Flash, 37385) \
    X(FocalLength, 37386) \
    X(SubjectArea, 37396) \
    X(MakerNote, 37500) \
    X(UserComment, 37510) \
    X(SubSecTime, 37520) \
    X(SubSecTimeOriginal, 37521) \
    X(SubSecTimeDigitized, 37522) \
    X(Temperature, 37888) \
    X(Humidity, 37889) \
    X(Pressure, 37890) \
    X(WaterDepth, 37891) \
    X(Acceleration, 37892) \
    X(CameraElevationAngle, 37893) \
    X(FlashpixVersion, 40960) \
    X(ColorSpace, 40961) \
    X(PixelXDimension, 40962) \
    X(PixelYDimension, 40963) \
    X(RelatedSoundFile, 40964) \
    X(InteroperabilityIFD, 40965) \
    X(FlashEnergy, 41483) \
    X(SpatialFrequencyResponse, 41484) \
    X(FocalPlaneXResolution, 41486) \
    X(FocalPlaneYResolution, 41487) \
    X(FocalPlaneResolutionUnit, 41488) \
    X(SubjectLocation, 41492) \
    X(ExposureIndex, 41493) \
    X(SensingMethod, 41495) \
    X(FileSource, 41728) \
    X(SceneType, 41729) \
    X(CFAPattern, 41730) \
    X(CustomRendered, 41985) \
    X(ExposureMode, 41986) \
    X(WhiteBalance, 41987) \
    X(DigitalZoomRatio, 41988) \
    X(FocalLengthIn35mmFilm, 41989) \
    X(SceneCaptureType, 41990) \
    X(GainControl, 41991) \
    X(Contrast, 41992) \
    X(Saturation, 41993) \
    X(Sharpness, 41994) \
    X(DeviceSettingDescription, 41995) \
    X(SubjectDistanceRange, 41996) \
    X(ImageUniqueID, 42016) \
    X(CameraOwnerName, 42032) \
    X(BodySerialNumber, 42033) \
    X(LensSpecification, 42034) \
    X(LensMake, 42035) \
    X(LensModel, 42036) \
    X(LensSerialNumber, 42037) \
    X(CompositeImage, 42080) \
    X(SourceImageNumberOfCompositeImage, 42081) \
    X(SourceExposureTimesOfCompositeImage, 42082) \
    X(Gamma, 42240)

// The GPS IFD (EXIF 2.32).
#define IFD_TAGS_GPS(X, N) \
    X(GPSVersionID, 0) \
    X(GPSLatitudeRef, 1) \
    X(GPSLatitude, 2) \
    X(GPSLongitudeRef, 3) \
    X(GPSLongitude, 4) \
    X(GPSAltitudeRef, 5) \
    X(GPSAltitude, 6) \
    X(GPSTimeStamp, 7) \
    X(GPSSatellites, 8) \
    X(GPSStatus, 9) \
    X(GPSMeasureMode, 10) \
    X(GPSDOP, 11) \
    X(GPSSpeedRef, 12) \
    X(GPSSpeed, 13) \
    X(GPSTrackRef, 14) \
    X(GPSTrack, 15) \
    X(GPSImgDirectionRef, 16) \
    X(GPSImgDirection, 17) \
    X(GPSMapDatum, 18) \
    X(GPSDestLatitudeRef, 19) \
    X(GPSDestLatitude, 20) \
    X(GPSDestLongitudeRef, 21) \
    X(GPSDestLongitude, 22) \
    X(GPSDestBearingRef, 23) \
    X(GPSDestBearing, 24) \
    X(GPSDestDistanceRef, 25) \
    X(GPSDestDistance, 26) \
    X(GPSProcessingMethod, 27) \
    X(GPSAreaInformation, 28) \
    X(GPSDateStamp, 29) \
    X(GPSDifferential, 30) \
    X(GPSHPositioningError, 31)

// The Interoperability IFD (EXIF 2.32).
#define IFD_TAGS_INTEROP(X, N) \
    X(InteroperabilityIndex, 1) \
    X(InteroperabilityVersion, 2)
// clang-format on

namespace ifd {

// A tag number and the name its standard gives.
struct TagName {
    uint16_t number;
    const char *name;
};

// The name of `number` in `table`, nullptr for a number it lacks.
template <size_t N>
constexpr const char *NameIn(const TagName (&table)[N], uint16_t number)
{
    for (const TagName &t : table) {
        if (t.number == number)
            return t.name;
    }
    return nullptr;
}

#define IFD_TAG_CONSTANT(name, number) constexpr uint16_t name = number;
#define IFD_TAG_CONSTANT_N(name, number, text) constexpr uint16_t name = number;
#define IFD_TAG_ROW(name, number) {number, #name},
#define IFD_TAG_ROW_N(name, number, text) {number, text},

namespace tag {
IFD_TAGS_MAIN(IFD_TAG_CONSTANT, IFD_TAG_CONSTANT_N)
inline constexpr TagName names[] = {IFD_TAGS_MAIN(IFD_TAG_ROW, IFD_TAG_ROW_N)};
constexpr const char *NameOf(uint16_t number)
{
    return NameIn(names, number);
}
} // namespace tag

namespace exif_tag {
IFD_TAGS_EXIF(IFD_TAG_CONSTANT, IFD_TAG_CONSTANT_N)
inline constexpr TagName names[] = {IFD_TAGS_EXIF(IFD_TAG_ROW, IFD_TAG_ROW_N)};
constexpr const char *NameOf(uint16_t number)
{
    return NameIn(names, number);
}
} // namespace exif_tag

namespace gps_tag {
IFD_TAGS_GPS(IFD_TAG_CONSTANT, IFD_TAG_CONSTANT_N)
inline constexpr TagName names[] = {IFD_TAGS_GPS(IFD_TAG_ROW, IFD_TAG_ROW_N)};
constexpr const char *NameOf(uint16_t number)
{
    return NameIn(names, number);
}
} // namespace gps_tag

namespace interop_tag {
IFD_TAGS_INTEROP(IFD_TAG_CONSTANT, IFD_TAG_CONSTANT_N)
inline constexpr TagName names[] = {IFD_TAGS_INTEROP(IFD_TAG_ROW, IFD_TAG_ROW_N)};
constexpr const char *NameOf(uint16_t number)
{
    return NameIn(names, number);
}
} // namespace interop_tag

#undef IFD_TAG_CONSTANT
#undef IFD_TAG_CONSTANT_N
#undef IFD_TAG_ROW
#undef IFD_TAG_ROW_N

} // namespace ifd

#endif
