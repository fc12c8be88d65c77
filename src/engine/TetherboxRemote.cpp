// Remote capture: remote mode, release, shutter, downloads of the shot, BULB, AF lock, zoom and
// shots left, each with the checks of the dispatch rule, then the driver of the connected family.
#include "engine/Tetherbox.h"

#include <algorithm>

namespace tbx {

namespace {

/// Text of the error for a download with nothing announced, as a list reports it.
constexpr const char *kMsgNoPendingTransfer = "List index out of bounds (0)";

} // namespace

void TTetherbox::RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                             const std::string &cacheFolder, bool probe)
{
    // Mode and kind are kept before anything is checked; the release callbacks read them.
    releaseMode_ = mode;
    releaseDataKind_ = kind;
    RemoteStartInfoType result;
    const int camera = requireCamera();
    connectedDriver().RemoteStart(mode, kind, result, registryIndex_, &TTetherbox::RemoteEventCallback,
                                  cacheFolder, probe);
    remoteMode_ = true;
    if (camera == CamModEOS)
        movieRecording_ = false;
    info = result;
}

void TTetherbox::RemoteEnd()
{
    if (family() == CamModNone)
        return;
    remoteMode_ = false;
    connectedDriver().RemoteEnd();
}

int TTetherbox::RemoteGetNumberOfAvailableShots()
{
    requireRemoteMode();
    return connectedDriver().GetNumberOfAvailableShots();
}

void TTetherbox::RemoteTakePicture()
{
    requireRemoteMode();
    const bool powerShot = requireCamera() == CamModPowerShot;
    connectedDriver().RemoteTakePicture(powerShot ? &TTetherbox::TakePictureProgress : nullptr, registryIndex_);
}

void TTetherbox::RemotePressShutter(int button)
{
    if (requireCamera() == CamModPowerShot)
        throw ECamException(kMsgNotSupportedByPowerShot);
    connectedDriver().RemotePressShutter(button);
}

void TTetherbox::RemoteGetPicture(const std::string &fileName, int pictureType)
{
    requireRemoteMode();
    if (requireCamera() != CamModPowerShot) {
        connectedDriver().RemoteGetPicture(fileName, pictureType, nullptr, registryIndex_);
        return;
    }
    if (usesPTP_) {
        remoteGetPTPPicture(fileName);
        return;
    }
    driver(SlotLegacy).RemoteGetPicture(fileName, pictureType, &TTetherbox::RemoteGetPictureProgress, registryIndex_);
}

void TTetherbox::RemoteGetMovie(const std::string &fileName, bool deleteAfter)
{
    requireRemoteMode();
    switch (requireCamera()) {
    case CamModPowerShot:
        throw ECamException(kMsgNotSupportedByPowerShot);
    case CamModPowerShotGen2:
        throw ECamException(kMsgNotSupportedByCamera);
    default:
        driver(SlotEOS).RemoteGetMovie(fileName, deleteAfter, registryIndex_);
        break;
    }
}

void TTetherbox::RemoteGetCFPicture(const std::string &fileName, bool deleteAfter)
{
    requireRemoteMode();
    if (requireCamera() == CamModPowerShot)
        throw ECamException(kMsgNotSupportedByPowerShot);
    connectedDriver().RemoteGetCFPicture(fileName, deleteAfter, registryIndex_);
}

void TTetherbox::RemoteAFLock(bool lock)
{
    requireRemoteMode();
    connectedDriver().AFLock(lock);
}

void TTetherbox::RemoteBULBMode(bool on)
{
    switch (requireCamera()) {
    case CamModPowerShot:
        throw ECamException(kMsgNotSupportedByPowerShot);
    case CamModEOS:
        driver(SlotEOS).SetBULB(on);
        break;
    default: // generation 2: nothing to switch
        break;
    }
}

void TTetherbox::RemotePowerZoomStop()
{
    if (requireCamera() != CamModEOS)
        throw ECamException(kMsgNotSupportedByPowerShot);
    driver(SlotEOS).PowerZoomStop();
}

void TTetherbox::RemotePowerZoomTele(bool fast, int speed)
{
    if (requireCamera() != CamModEOS)
        throw ECamException(kMsgNotSupportedByPowerShot);
    driver(SlotEOS).PowerZoomTele(fast, speed);
}

void TTetherbox::RemotePowerZoomWide(bool fast, int speed)
{
    if (requireCamera() != CamModEOS)
        throw ECamException(kMsgNotSupportedByPowerShot);
    driver(SlotEOS).PowerZoomWide(fast, speed);
}

ZoomPosType TTetherbox::RemoteGetZoomPos()
{
    requireRemoteMode();
    ZoomPosType pos; // zero-filled; EOS cameras answer with it as it is
    if (requireCamera() != CamModEOS)
        connectedDriver().GetZoomPos(pos);
    return pos;
}

void TTetherbox::RemoteSetZoomPos(int pos)
{
    requireRemoteMode();
    if (requireCamera() != CamModEOS)
        connectedDriver().SetZoomPos(pos);
}

// ---------------------------------------------------------------------------------------------
// PTP downloads
// ---------------------------------------------------------------------------------------------

void TTetherbox::closePTPFile()
{
    std::lock_guard lock(ptpMutex_);
    if (ptpFile_ != nullptr && std::fclose(ptpFile_) != 0)
        ptpWriteFailed_ = true;
    ptpFile_ = nullptr;
    ptpStreamOpen_ = false;
}

void TTetherbox::remoteGetPTPPicture(const std::string &fileName)
{
    // The oldest announced object is fetched; its record stays until the picture is safely in
    // the file, so a failed download can be repeated.
    PtpEventRecord record;
    {
        std::lock_guard lock(ptpMutex_);
        if (pendingPTP_.empty())
            throw ECamException(kMsgNoPendingTransfer);
        record = pendingPTP_.front();
    }
    closePTPFile();
    {
        std::lock_guard lock(ptpMutex_);
        ptpWriteFailed_ = false;
        ptpFile_ = platform::openFile(fileName, "wb");
        if (ptpFile_ == nullptr)
            throw EInOutError("Cannot create file \"" + fileName + "\"");
    }
    // Nothing on disk may pretend to be a whole picture: a failed download, one the SDK ended
    // without its final empty block, and one that could not be written leave no file behind.
    try {
        driver(SlotPTP).RemoteGetPTPPicture(record, &TTetherbox::PTPTransferCallback, registryIndex_);
    } catch (...) {
        closePTPFile();
        platform::removeFile(fileName);
        throw;
    }
    bool ended;
    {
        std::lock_guard lock(ptpMutex_);
        ended = ptpFile_ == nullptr; // the final empty block closed it
    }
    closePTPFile();
    std::lock_guard lock(ptpMutex_);
    if (!ended || ptpWriteFailed_)
        platform::removeFile(fileName);
    if (!ended)
        throw ECamException("The camera ended the transfer before the whole picture arrived; \"" + fileName +
                            "\" was not written");
    if (ptpWriteFailed_)
        throw EInOutError("Could not write the picture to file \"" + fileName + "\"");
    const auto it = std::find_if(pendingPTP_.begin(), pendingPTP_.end(),
                                 [&](const PtpEventRecord &pending) { return pending.Bytes == record.Bytes; });
    if (it != pendingPTP_.end())
        pendingPTP_.erase(it);
}

} // namespace tbx
