// Tag numbers by the names their standards give them: TIFF 6.0 and its
// supplements, TIFF/EP, DNG, EXIF and the registered private fields. The
// EXIF, GPS and Interoperability directories number their fields on their
// own, so each has its own namespace.
#ifndef TIFF_PROBES_IFD_TAGS_H
#define TIFF_PROBES_IFD_TAGS_H

#include <cstdint>

namespace ifd {

// The main IFD (and SubIFDs).
namespace tag {
constexpr uint16_t NewSubfileType = 254;
constexpr uint16_t SubfileType = 255;
constexpr uint16_t ImageWidth = 256;
constexpr uint16_t ImageLength = 257;
constexpr uint16_t BitsPerSample = 258;
constexpr uint16_t Compression = 259;
constexpr uint16_t PhotometricInterpretation = 262;
constexpr uint16_t Threshholding = 263;
constexpr uint16_t CellWidth = 264;
constexpr uint16_t CellLength = 265;
constexpr uint16_t FillOrder = 266;
constexpr uint16_t DocumentName = 269;
constexpr uint16_t ImageDescription = 270;
constexpr uint16_t Make = 271;
constexpr uint16_t Model = 272;
constexpr uint16_t StripOffsets = 273;
constexpr uint16_t Orientation = 274;
constexpr uint16_t SamplesPerPixel = 277;
constexpr uint16_t RowsPerStrip = 278;
constexpr uint16_t StripByteCounts = 279;
constexpr uint16_t MinSampleValue = 280;
constexpr uint16_t MaxSampleValue = 281;
constexpr uint16_t XResolution = 282;
constexpr uint16_t YResolution = 283;
constexpr uint16_t PlanarConfiguration = 284;
constexpr uint16_t PageName = 285;
constexpr uint16_t XPosition = 286;
constexpr uint16_t YPosition = 287;
constexpr uint16_t FreeOffsets = 288;
constexpr uint16_t FreeByteCounts = 289;
constexpr uint16_t GrayResponseUnit = 290;
constexpr uint16_t GrayResponseCurve = 291;
constexpr uint16_t T4Options = 292;
constexpr uint16_t T6Options = 293;
constexpr uint16_t ResolutionUnit = 296;
constexpr uint16_t PageNumber = 297;
constexpr uint16_t ColorResponseUnit = 300;
constexpr uint16_t TransferFunction = 301;
constexpr uint16_t Software = 305;
constexpr uint16_t DateTime = 306;
constexpr uint16_t Artist = 315;
constexpr uint16_t HostComputer = 316;
constexpr uint16_t Predictor = 317;
constexpr uint16_t WhitePoint = 318;
constexpr uint16_t PrimaryChromaticities = 319;
constexpr uint16_t ColorMap = 320;
constexpr uint16_t HalftoneHints = 321;
constexpr uint16_t TileWidth = 322;
constexpr uint16_t TileLength = 323;
constexpr uint16_t TileOffsets = 324;
constexpr uint16_t TileByteCounts = 325;
constexpr uint16_t BadFaxLines = 326;
constexpr uint16_t CleanFaxData = 327;
constexpr uint16_t ConsecutiveBadFaxLines = 328;
constexpr uint16_t SubIFDs = 330;
constexpr uint16_t InkSet = 332;
constexpr uint16_t InkNames = 333;
constexpr uint16_t NumberOfInks = 334;
constexpr uint16_t DotRange = 336;
constexpr uint16_t TargetPrinter = 337;
constexpr uint16_t ExtraSamples = 338;
constexpr uint16_t SampleFormat = 339;
constexpr uint16_t SMinSampleValue = 340;
constexpr uint16_t SMaxSampleValue = 341;
constexpr uint16_t ClipPath = 343;
constexpr uint16_t XClipPathUnits = 344;
constexpr uint16_t YClipPathUnits = 345;
constexpr uint16_t Indexed = 346;
constexpr uint16_t JPEGTables = 347;
constexpr uint16_t GlobalParametersIFD = 400;
constexpr uint16_t ProfileType = 401;
constexpr uint16_t FaxProfile = 402;
constexpr uint16_t CodingMethods = 403;
constexpr uint16_t VersionYear = 404;
constexpr uint16_t ModeNumber = 405;
constexpr uint16_t Decode = 433;
constexpr uint16_t DefaultImageColor = 434;
constexpr uint16_t T82Options = 435;
constexpr uint16_t YCbCrCoefficients = 529;
constexpr uint16_t YCbCrSubSampling = 530;
constexpr uint16_t YCbCrPositioning = 531;
constexpr uint16_t ReferenceBlackWhite = 532;
constexpr uint16_t StripRowCounts = 559;
constexpr uint16_t XMLPacket = 700;
constexpr uint16_t Matteing = 32995;
constexpr uint16_t DataType = 32996;
constexpr uint16_t ImageDepth = 32997;
constexpr uint16_t TileDepth = 32998;
constexpr uint16_t ImageFullWidth = 33300;
constexpr uint16_t ImageFullLength = 33301;
constexpr uint16_t TextureFormat = 33302;
constexpr uint16_t TextureWrapModes = 33303;
constexpr uint16_t FieldOfViewCotangent = 33304;
constexpr uint16_t MatrixWorldToScreen = 33305;
constexpr uint16_t MatrixWorldToCamera = 33306;
constexpr uint16_t CFARepeatPatternDim = 33421;
constexpr uint16_t CFAPattern = 33422;
constexpr uint16_t Copyright = 33432;
constexpr uint16_t Photoshop = 34377;
constexpr uint16_t ExifIFD = 34665;
constexpr uint16_t InterColorProfile = 34675;
constexpr uint16_t ImageLayer = 34732;
constexpr uint16_t GPSInfoIFD = 34853;
constexpr uint16_t FaxRecvParams = 34908;
constexpr uint16_t FaxSubAddress = 34909;
constexpr uint16_t FaxRecvTime = 34910;
constexpr uint16_t FaxDcs = 34911;
constexpr uint16_t StoNits = 37439;
constexpr uint16_t ImageSourceData = 37724;
constexpr uint16_t DNGVersion = 50706;
constexpr uint16_t DNGBackwardVersion = 50707;
constexpr uint16_t UniqueCameraModel = 50708;
constexpr uint16_t LocalizedCameraModel = 50709;
constexpr uint16_t CFAPlaneColor = 50710;
constexpr uint16_t CFALayout = 50711;
constexpr uint16_t LinearizationTable = 50712;
constexpr uint16_t BlackLevelRepeatDim = 50713;
constexpr uint16_t BlackLevel = 50714;
constexpr uint16_t BlackLevelDeltaH = 50715;
constexpr uint16_t BlackLevelDeltaV = 50716;
constexpr uint16_t WhiteLevel = 50717;
constexpr uint16_t DefaultScale = 50718;
constexpr uint16_t DefaultCropOrigin = 50719;
constexpr uint16_t DefaultCropSize = 50720;
constexpr uint16_t ColorMatrix1 = 50721;
constexpr uint16_t ColorMatrix2 = 50722;
constexpr uint16_t CameraCalibration1 = 50723;
constexpr uint16_t CameraCalibration2 = 50724;
constexpr uint16_t ReductionMatrix1 = 50725;
constexpr uint16_t ReductionMatrix2 = 50726;
constexpr uint16_t AnalogBalance = 50727;
constexpr uint16_t AsShotNeutral = 50728;
constexpr uint16_t AsShotWhiteXY = 50729;
constexpr uint16_t BaselineExposure = 50730;
constexpr uint16_t BaselineNoise = 50731;
constexpr uint16_t BaselineSharpness = 50732;
constexpr uint16_t BayerGreenSplit = 50733;
constexpr uint16_t LinearResponseLimit = 50734;
constexpr uint16_t CameraSerialNumber = 50735;
constexpr uint16_t LensInfo = 50736;
constexpr uint16_t ChromaBlurRadius = 50737;
constexpr uint16_t AntiAliasStrength = 50738;
constexpr uint16_t ShadowScale = 50739;
constexpr uint16_t DNGPrivateData = 50740;
constexpr uint16_t MakerNoteSafety = 50741;
constexpr uint16_t CalibrationIlluminant1 = 50778;
constexpr uint16_t CalibrationIlluminant2 = 50779;
constexpr uint16_t BestQualityScale = 50780;
constexpr uint16_t RawDataUniqueID = 50781;
constexpr uint16_t OriginalRawFileName = 50827;
constexpr uint16_t OriginalRawFileData = 50828;
constexpr uint16_t ActiveArea = 50829;
constexpr uint16_t MaskedAreas = 50830;
constexpr uint16_t AsShotICCProfile = 50831;
constexpr uint16_t AsShotPreProfileMatrix = 50832;
constexpr uint16_t CurrentICCProfile = 50833;
constexpr uint16_t CurrentPreProfileMatrix = 50834;
} // namespace tag

// The EXIF IFD (EXIF 2.32).
namespace exif_tag {
constexpr uint16_t ExposureTime = 33434;
constexpr uint16_t FNumber = 33437;
constexpr uint16_t ExposureProgram = 34850;
constexpr uint16_t SpectralSensitivity = 34852;
constexpr uint16_t PhotographicSensitivity = 34855;
constexpr uint16_t OECF = 34856;
constexpr uint16_t SensitivityType = 34864;
constexpr uint16_t StandardOutputSensitivity = 34865;
constexpr uint16_t RecommendedExposureIndex = 34866;
constexpr uint16_t ISOSpeed = 34867;
constexpr uint16_t ISOSpeedLatitudeyyy = 34868;
constexpr uint16_t ISOSpeedLatitudezzz = 34869;
constexpr uint16_t ExifVersion = 36864;
constexpr uint16_t DateTimeOriginal = 36867;
constexpr uint16_t DateTimeDigitized = 36868;
constexpr uint16_t OffsetTime = 36880;
constexpr uint16_t OffsetTimeOriginal = 36881;
constexpr uint16_t OffsetTimeDigitized = 36882;
constexpr uint16_t ComponentsConfiguration = 37121;
constexpr uint16_t CompressedBitsPerPixel = 37122;
constexpr uint16_t ShutterSpeedValue = 37377;
constexpr uint16_t ApertureValue = 37378;
constexpr uint16_t BrightnessValue = 37379;
constexpr uint16_t ExposureBiasValue = 37380;
constexpr uint16_t MaxApertureValue = 37381;
constexpr uint16_t SubjectDistance = 37382;
constexpr uint16_t MeteringMode = 37383;
constexpr uint16_t LightSource = 37384;
constexpr uint16_t Flash = 37385;
constexpr uint16_t FocalLength = 37386;
constexpr uint16_t SubjectArea = 37396;
constexpr uint16_t MakerNote = 37500;
constexpr uint16_t UserComment = 37510;
constexpr uint16_t SubSecTime = 37520;
constexpr uint16_t SubSecTimeOriginal = 37521;
constexpr uint16_t SubSecTimeDigitized = 37522;
constexpr uint16_t Temperature = 37888;
constexpr uint16_t Humidity = 37889;
constexpr uint16_t Pressure = 37890;
constexpr uint16_t WaterDepth = 37891;
constexpr uint16_t Acceleration = 37892;
constexpr uint16_t CameraElevationAngle = 37893;
constexpr uint16_t FlashpixVersion = 40960;
constexpr uint16_t ColorSpace = 40961;
constexpr uint16_t PixelXDimension = 40962;
constexpr uint16_t PixelYDimension = 40963;
constexpr uint16_t RelatedSoundFile = 40964;
constexpr uint16_t InteroperabilityIFD = 40965;
constexpr uint16_t FlashEnergy = 41483;
constexpr uint16_t SpatialFrequencyResponse = 41484;
constexpr uint16_t FocalPlaneXResolution = 41486;
constexpr uint16_t FocalPlaneYResolution = 41487;
constexpr uint16_t FocalPlaneResolutionUnit = 41488;
constexpr uint16_t SubjectLocation = 41492;
constexpr uint16_t ExposureIndex = 41493;
constexpr uint16_t SensingMethod = 41495;
constexpr uint16_t FileSource = 41728;
constexpr uint16_t SceneType = 41729;
constexpr uint16_t CFAPattern = 41730;
constexpr uint16_t CustomRendered = 41985;
constexpr uint16_t ExposureMode = 41986;
constexpr uint16_t WhiteBalance = 41987;
constexpr uint16_t DigitalZoomRatio = 41988;
constexpr uint16_t FocalLengthIn35mmFilm = 41989;
constexpr uint16_t SceneCaptureType = 41990;
constexpr uint16_t GainControl = 41991;
constexpr uint16_t Contrast = 41992;
constexpr uint16_t Saturation = 41993;
constexpr uint16_t Sharpness = 41994;
constexpr uint16_t DeviceSettingDescription = 41995;
constexpr uint16_t SubjectDistanceRange = 41996;
constexpr uint16_t ImageUniqueID = 42016;
constexpr uint16_t CameraOwnerName = 42032;
constexpr uint16_t BodySerialNumber = 42033;
constexpr uint16_t LensSpecification = 42034;
constexpr uint16_t LensMake = 42035;
constexpr uint16_t LensModel = 42036;
constexpr uint16_t LensSerialNumber = 42037;
constexpr uint16_t CompositeImage = 42080;
constexpr uint16_t SourceImageNumberOfCompositeImage = 42081;
constexpr uint16_t SourceExposureTimesOfCompositeImage = 42082;
constexpr uint16_t Gamma = 42240;
} // namespace exif_tag

// The GPS IFD (EXIF 2.32).
namespace gps_tag {
constexpr uint16_t GPSVersionID = 0;
constexpr uint16_t GPSLatitudeRef = 1;
constexpr uint16_t GPSLatitude = 2;
constexpr uint16_t GPSLongitudeRef = 3;
constexpr uint16_t GPSLongitude = 4;
constexpr uint16_t GPSAltitudeRef = 5;
constexpr uint16_t GPSAltitude = 6;
constexpr uint16_t GPSTimeStamp = 7;
constexpr uint16_t GPSSatellites = 8;
constexpr uint16_t GPSStatus = 9;
constexpr uint16_t GPSMeasureMode = 10;
constexpr uint16_t GPSDOP = 11;
constexpr uint16_t GPSSpeedRef = 12;
constexpr uint16_t GPSSpeed = 13;
constexpr uint16_t GPSTrackRef = 14;
constexpr uint16_t GPSTrack = 15;
constexpr uint16_t GPSImgDirectionRef = 16;
constexpr uint16_t GPSImgDirection = 17;
constexpr uint16_t GPSMapDatum = 18;
constexpr uint16_t GPSDestLatitudeRef = 19;
constexpr uint16_t GPSDestLatitude = 20;
constexpr uint16_t GPSDestLongitudeRef = 21;
constexpr uint16_t GPSDestLongitude = 22;
constexpr uint16_t GPSDestBearingRef = 23;
constexpr uint16_t GPSDestBearing = 24;
constexpr uint16_t GPSDestDistanceRef = 25;
constexpr uint16_t GPSDestDistance = 26;
constexpr uint16_t GPSProcessingMethod = 27;
constexpr uint16_t GPSAreaInformation = 28;
constexpr uint16_t GPSDateStamp = 29;
constexpr uint16_t GPSDifferential = 30;
constexpr uint16_t GPSHPositioningError = 31;
} // namespace gps_tag

// The Interoperability IFD (EXIF 2.32).
namespace interop_tag {
constexpr uint16_t InteroperabilityIndex = 1;
constexpr uint16_t InteroperabilityVersion = 2;
} // namespace interop_tag

} // namespace ifd

#endif
