// The legacy stand-in's shooting settings: one get/set pair per setting, the enumeration of the
// values the camera accepts, and the release-camera settings addressed by id. A camera whose
// "Enumerations" setting is 0 starts no enumeration of values, as older firmware does.
#include <cstring>

#include "CdCall.h"

using namespace tbx::sim;
using namespace tbx::sim::cd;

namespace {

template <class Value>
CdError getSetting(const char *name, CdHSource hSource, std::uint32_t key, Value *out)
{
    Call call(name);
    call.handle(hSource).ptr(out);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (out == nullptr)
            return kInvalidPointer;
        *out = static_cast<Value>(library().setting(*source->camera, key));
        return kOk;
    });
}

CdError setSetting(const char *name, CdHSource hSource, std::uint32_t key, std::uint32_t value)
{
    Call call(name);
    call.handle(hSource).hex(value);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        return library().writeSetting(*source->camera, key, value);
    });
}

CdError resetValues(const char *name, CdHSource hSource, std::uint32_t key, CdHEnum *phEnum,
                    std::uint32_t elementSize = 2)
{
    Call call(name);
    call.handle(hSource).ptr(phEnum);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        return startValues(hSource, library().allowedOf(*source->camera, key), elementSize, phEnum);
    });
}

template <class Value>
CdError nextOf(const char *name, CdHEnum hEnum, Value *out)
{
    Call call(name);
    call.handle(hEnum).ptr(out);
    return call.run([&]() -> CdError {
        if (library().as<EnumObject>(hEnum, Kind::ValueEnum) == nullptr)
            return kInvalidHandle;
        if (out == nullptr)
            return kInvalidPointer;
        std::uint32_t value = 0;
        if (CdError e = nextValue(hEnum, value))
            return e;
        *out = static_cast<Value>(value);
        return kOk;
    });
}

CdError countOf(const char *name, CdHEnum hEnum, CdUInt32 *pCount)
{
    return enumCount(name, hEnum, Kind::ValueEnum, pCount);
}

CdError releaseValues(const char *name, CdHEnum hEnum) { return enumRelease(name, hEnum, Kind::ValueEnum); }

/// The bytes of a release-camera setting.
std::uint32_t relCamSize(CdRelCamSettingID id)
{
    switch (id) {
    case 0x08000002: // beep
    case 0x08000004: // metering
    case 0x08000008: // contrast
    case 0x08000009: // colour gain
    case 0x0800000A: // sharpness
    case 0x0800000D: // flash compensation
        return 1;
    default:
        return 2;
    }
}

} // namespace

// The six calls of a setting with a type of its own: set, get, and its enumeration.
#define TBX_CD_SETTING(Group, Type, Key)                                                                               \
    CDAPI CDSet##Group(CdHSource hSource, Type value) { return setSetting("CDSet" #Group, hSource, Key, value); }      \
    CDAPI CDGet##Group(CdHSource hSource, Type *pValue) { return getSetting("CDGet" #Group, hSource, Key, pValue); }

#define TBX_CD_VALUES(Group, Count, Type, Key)                                                                         \
    CDAPI CDEnum##Group##Reset(CdHSource hSource, CdHEnum *phEnum)                                                     \
    {                                                                                                                  \
        return resetValues("CDEnum" #Group "Reset", hSource, Key, phEnum);                                             \
    }                                                                                                                  \
    CDAPI CDEnum##Group##Next(CdHEnum hEnum, Type *pValue) { return nextOf("CDEnum" #Group "Next", hEnum, pValue); }   \
    CDAPI CDEnum##Group##Release(CdHEnum hEnum) { return releaseValues("CDEnum" #Group "Release", hEnum); }            \
    CDAPI Count(CdHEnum hEnum, CdUInt32 *pCount) { return countOf(#Count, hEnum, pCount); }

TBX_CD_SETTING(ShootingMode, CdShootingMode, settingKey(kShootingMode))
TBX_CD_VALUES(ShootingMode, CDGetShootingModeCount, CdShootingMode, settingKey(kShootingMode))
TBX_CD_SETTING(AvValue, CdRemoteSetAv, settingKey(kAv))
TBX_CD_VALUES(AvValue, CDGetAvValueCount, CdRemoteSetAv, settingKey(kAv))
TBX_CD_SETTING(TvValue, CdRemoteSetTv, settingKey(kTv))
TBX_CD_VALUES(TvValue, CDGetTvValueCount, CdRemoteSetTv, settingKey(kTv))
TBX_CD_SETTING(ExposureComp, CdCompensation, settingKey(kExposureComp))
TBX_CD_VALUES(ExposureComp, CDGetExposureCompCount, CdCompensation, settingKey(kExposureComp))
TBX_CD_SETTING(WBSetting, CdWBLightSrc, settingKey(kWhiteBalance))
TBX_CD_VALUES(WBSetting, CDGetWBSettingCount, CdWBLightSrc, settingKey(kWhiteBalance))
TBX_CD_SETTING(AFDistanceSetting, CdAFDistance, settingKey(kAFDistance))
TBX_CD_VALUES(AFDistanceSetting, CDGetAFDistanceSettingCount, CdAFDistance, settingKey(kAFDistance))
TBX_CD_SETTING(DriveMode, CdDriveMode, settingKey(kDriveMode))
TBX_CD_VALUES(DriveMode, CDGetDriveModeCount, CdDriveMode, settingKey(kDriveMode))
TBX_CD_VALUES(FlashSetting, CDGetFlashSettingCount, CdFlashMode, settingKey(kFlashMode))

// Image format: quality and size in one pair.
CDAPI CDSetImageFormatAttribute(CdHSource hSource, CdCompQuality Quality, CdImageSize Size)
{
    return setSetting("CDSetImageFormatAttribute", hSource, settingKey(kImageFormat),
                      Quality | static_cast<std::uint32_t>(Size) << 16);
}

CDAPI CDGetImageFormatAttribute(CdHSource hSource, CdCompQuality *pQuality, CdImageSize *pSize)
{
    std::uint32_t pair = 0;
    const CdError result = getSetting("CDGetImageFormatAttribute", hSource, settingKey(kImageFormat), &pair);
    if (result == kOk && pQuality != nullptr && pSize != nullptr) {
        *pQuality = static_cast<CdCompQuality>(pair & 0xFFFF);
        *pSize = static_cast<CdImageSize>(pair >> 16);
    }
    return pQuality == nullptr || pSize == nullptr ? kInvalidPointer : result;
}

CDAPI CDEnumImageFormatAttributeReset(CdHSource hSource, CdHEnum *phEnum)
{
    return resetValues("CDEnumImageFormatAttributeReset", hSource, settingKey(kImageFormat), phEnum, 4);
}

CDAPI CDEnumImageFormatAttributeNext(CdHEnum hEnum, CdCompQuality *pQuality, CdImageSize *pSize)
{
    if (pQuality == nullptr || pSize == nullptr)
        return kInvalidPointer;
    std::uint32_t pair = 0;
    const CdError result = nextOf("CDEnumImageFormatAttributeNext", hEnum, &pair);
    if (result == kOk) {
        *pQuality = static_cast<CdCompQuality>(pair & 0xFFFF);
        *pSize = static_cast<CdImageSize>(pair >> 16);
    }
    return result;
}

CDAPI CDEnumImageFormatAttributeRelease(CdHEnum hEnum)
{
    return releaseValues("CDEnumImageFormatAttributeRelease", hEnum);
}

CDAPI CDGetImageFormatAttributeCount(CdHEnum hEnum, CdUInt32 *pCount)
{
    return countOf("CDGetImageFormatAttributeCount", hEnum, pCount);
}

// Flash: mode and compensation in one call, 0xFF leaving either as it is.
CDAPI CDSetFlashSetting(CdHSource hSource, CdFlashMode Mode, CdCompensation Compensation)
{
    Call call("CDSetFlashSetting");
    call.handle(hSource).hex(Mode).hex(Compensation);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        CdLibrary &lib = library();
        if (Mode != 0xFF)
            if (CdError e = lib.writeSetting(*source->camera, settingKey(kFlashMode), Mode))
                return e;
        if (Compensation != 0xFF)
            return lib.writeSetting(*source->camera, relCamKey(kRelFlashComp), Compensation);
        return kOk;
    });
}

CDAPI CDGetFlashSetting(CdHSource hSource, CdFlashMode *pMode, CdCompensation *pCompensation)
{
    Call call("CDGetFlashSetting");
    call.handle(hSource).ptr(pMode).ptr(pCompensation);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (pMode == nullptr || pCompensation == nullptr)
            return kInvalidPointer;
        *pMode = static_cast<CdFlashMode>(library().setting(*source->camera, settingKey(kFlashMode)));
        *pCompensation = static_cast<CdCompensation>(library().setting(*source->camera, relCamKey(kRelFlashComp)));
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Release-camera settings
// -------------------------------------------------------------------------------------------------

CDAPI CDGetRelCamSettingData(CdHSource hSource, CdRelCamSettingID SettingID, CdUInt32 *pBufSize, CdVoid *pBuf)
{
    Call call("CDGetRelCamSettingData");
    call.handle(hSource).hex(SettingID).ptr(pBuf);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (pBufSize == nullptr || pBuf == nullptr)
            return kInvalidPointer;
        const Property *p = source->camera->property(relCamKey(SettingID));
        if (p == nullptr)
            return kNotSupported;
        const std::uint32_t size = relCamSize(SettingID);
        if (*pBufSize < size) {
            *pBufSize = size;
            return kInvalidLength;
        }
        const std::uint32_t value = p->asU32();
        std::memcpy(pBuf, &value, size); // little-endian: the low bytes
        *pBufSize = size;
        return kOk;
    });
}

CDAPI CDSetRelCamSettingData(CdHSource hSource, CdRelCamSettingID SettingID, CdUInt32 BufSize, CdVoid *pBuf)
{
    Call call("CDSetRelCamSettingData");
    call.handle(hSource).hex(SettingID).udec(BufSize);
    if (pBuf != nullptr && BufSize <= 4) {
        std::uint32_t shown = 0;
        std::memcpy(&shown, pBuf, BufSize);
        call.args().hex(shown);
    }
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (pBuf == nullptr)
            return kInvalidPointer;
        if (source->camera->property(relCamKey(SettingID)) == nullptr)
            return kNotSupported;
        if (BufSize != relCamSize(SettingID))
            return kInvalidLength;
        std::uint32_t value = 0;
        std::memcpy(&value, pBuf, BufSize);
        return library().writeSetting(*source->camera, relCamKey(SettingID), value);
    });
}

CDAPI CDEnumRelCamSettingDataReset(CdHSource hSource, CdRelCamSettingID SettingID, CdHEnum *phEnum, CdUInt32 *pBufSize)
{
    Call call("CDEnumRelCamSettingDataReset");
    call.handle(hSource).hex(SettingID).ptr(phEnum).ptr(pBufSize);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        if (pBufSize == nullptr)
            return kInvalidPointer;
        if (source->camera->property(relCamKey(SettingID)) == nullptr)
            return kNotSupported;
        const std::uint32_t size = relCamSize(SettingID);
        const CdError result = startValues(hSource, library().allowedOf(*source->camera, relCamKey(SettingID)), size,
                                           phEnum);
        if (result == kOk)
            *pBufSize = size;
        return result;
    });
}

CDAPI CDEnumRelCamSettingDataNext(CdHEnum hEnum, CdUInt32 BufSize, CdVoid *pBuf)
{
    Call call("CDEnumRelCamSettingDataNext");
    call.handle(hEnum).udec(BufSize).ptr(pBuf);
    return call.run([&]() -> CdError {
        auto *e = library().as<EnumObject>(hEnum, Kind::ValueEnum);
        if (e == nullptr)
            return kInvalidHandle;
        if (pBuf == nullptr)
            return kInvalidPointer;
        if (BufSize < e->elementSize)
            return kInvalidLength;
        std::uint32_t value = 0;
        if (CdError err = nextValue(hEnum, value))
            return err;
        std::memcpy(pBuf, &value, e->elementSize);
        return kOk;
    });
}

CDAPI CDEnumRelCamSettingDataRelease(CdHEnum hEnum) { return releaseValues("CDEnumRelCamSettingDataRelease", hEnum); }

CDAPI CDGetRelCamSettingDataCount(CdHEnum hEnum, CdUInt32 *pCount)
{
    return countOf("CDGetRelCamSettingDataCount", hEnum, pCount);
}
