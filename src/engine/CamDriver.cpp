#include "engine/CamDriver.h"

#include <algorithm>

namespace tbx
{

CamDriver::~CamDriver() = default;

void CamDriver::Attach(int registryIndex, CameraRecordList &records, const EngineHooks &hooks)
{
    registryIndex_ = registryIndex;
    records_ = &records;
    hooks_ = hooks;
}

CameraRecordList &CamDriver::records()
{
    if (records_ == nullptr)
        throw EAssertionFailed("Camera driver used before the engine attached it");
    return *records_;
}

void CamDriver::reportProbeProgress(int percent) const
{
    if (hooks_.probeProgress != nullptr)
        hooks_.probeProgress(registryIndex_, percent);
}

void CamDriver::notOffered(const char *operation)
{
    throw EAssertionFailed(std::string(operation) + " is not offered by this camera driver");
}

void CamDriver::StartSDK(const std::string & /*libraryFolder*/)
{
    notOffered("StartSDK");
}

void CamDriver::EnumerateCameras(StringList & /*names*/)
{
    notOffered("EnumerateCameras");
}

void CamDriver::EndSDK()
{
    notOffered("EndSDK");
}

void CamDriver::Connect(const ConnectCallbacks & /*callbacks*/, int /*cameraIndex*/, ConnectInfoType & /*info*/,
                        int /*registryIndex*/)
{
    notOffered("Connect");
}

std::string CamDriver::ReadFirmwareVersion()
{
    notOffered("ReadFirmwareVersion");
}

int CamDriver::Disconnect()
{
    notOffered("Disconnect");
}

void CamDriver::SetTime(std::time_t /*time*/)
{
    notOffered("SetTime");
}

void CamDriver::SetOwnerName(const std::string & /*name*/)
{
    notOffered("SetOwnerName");
}

std::string CamDriver::GetBodyID()
{
    notOffered("GetBodyID");
}

void CamDriver::FormatCard()
{
    notOffered("FormatCard");
}

bool CamDriver::RemoteSupported()
{
    notOffered("RemoteSupported");
}

void CamDriver::RemoteStart(ReleaseModeType /*mode*/, ReleaseDataKindType /*kind*/, RemoteStartInfoType & /*info*/,
                            int /*registryIndex*/, ReleaseEventProc /*remoteEvent*/,
                            const std::string & /*cacheFolder*/, bool /*probe*/)
{
    notOffered("RemoteStart");
}

void CamDriver::RemoteEnd()
{
    notOffered("RemoteEnd");
}

int CamDriver::GetNumberOfAvailableShots()
{
    notOffered("GetNumberOfAvailableShots");
}

void CamDriver::RemoteTakePicture(ProgressProc /*progress*/, int /*registryIndex*/)
{
    notOffered("RemoteTakePicture");
}

void CamDriver::RemotePressShutter(int /*button*/)
{
    notOffered("RemotePressShutter");
}

void CamDriver::RemoteGetPicture(const std::string & /*fileName*/, int /*pictureType*/, ProgressProc /*progress*/,
                                 int /*registryIndex*/)
{
    notOffered("RemoteGetPicture");
}

void CamDriver::RemoteGetPTPPicture(const PtpEventRecord & /*record*/, PtpTransferProc /*transfer*/,
                                    int /*registryIndex*/)
{
    notOffered("RemoteGetPTPPicture");
}

void CamDriver::RemoteGetMovie(const std::string & /*fileName*/, bool /*deleteAfter*/, int /*registryIndex*/)
{
    notOffered("RemoteGetMovie");
}

void CamDriver::RemoteGetCFPicture(const std::string & /*fileName*/, bool /*deleteAfter*/, int /*registryIndex*/)
{
    notOffered("RemoteGetCFPicture");
}

void CamDriver::GetRemoteParams(RemoteParamsType & /*params*/)
{
    notOffered("GetRemoteParams");
}

void CamDriver::SetRemoteParams(const RemoteParamsType & /*params*/)
{
    notOffered("SetRemoteParams");
}

void CamDriver::GetZoomPos(ZoomPosType & /*pos*/)
{
    notOffered("GetZoomPos");
}

void CamDriver::SetZoomPos(int /*pos*/)
{
    notOffered("SetZoomPos");
}

void CamDriver::PowerZoomStop()
{
    notOffered("PowerZoomStop");
}

void CamDriver::PowerZoomTele(bool /*fast*/, int /*speed*/)
{
    notOffered("PowerZoomTele");
}

void CamDriver::PowerZoomWide(bool /*fast*/, int /*speed*/)
{
    notOffered("PowerZoomWide");
}

void CamDriver::AFLock(bool /*lock*/)
{
    notOffered("AFLock");
}

void CamDriver::SetBULB(bool /*on*/)
{
    notOffered("SetBULB");
}

void CamDriver::RemoteStartViewfinder(const ViewfinderCallbacks & /*callbacks*/, int /*registryIndex*/)
{
    notOffered("RemoteStartViewfinder");
}

void CamDriver::RemoteStopViewfinder()
{
    notOffered("RemoteStopViewfinder");
}

void CamDriver::SetViewfinderOutput(std::uint8_t /*output*/)
{
    notOffered("SetViewfinderOutput");
}

void CamDriver::SetViewfinderDriveLens(int /*step*/)
{
    notOffered("SetViewfinderDriveLens");
}

void CamDriver::SetViewfinderWhitebalance(int /*x*/, int /*y*/)
{
    notOffered("SetViewfinderWhitebalance");
}

void CamDriver::SetViewfinderAFMode(std::uint8_t /*mode*/)
{
    notOffered("SetViewfinderAFMode");
}

std::uint8_t CamDriver::GetViewfinderAFMode()
{
    notOffered("GetViewfinderAFMode");
}

void CamDriver::GetViewfinderAFInfo(AFFocusInfoType & /*info*/)
{
    notOffered("GetViewfinderAFInfo");
}

void CamDriver::SetViewfinderZoom(int /*zoom*/)
{
    notOffered("SetViewfinderZoom");
}

void CamDriver::SetViewfinderZoomPosition(int /*x*/, int /*y*/)
{
    notOffered("SetViewfinderZoomPosition");
}

void CamDriver::SetDepthOfFieldPreview(bool /*on*/)
{
    notOffered("SetDepthOfFieldPreview");
}

bool CamDriver::GetDepthOfFieldPreview()
{
    notOffered("GetDepthOfFieldPreview");
}

void CamDriver::ActivateViewfinderAuto(bool /*on*/)
{
    notOffered("ActivateViewfinderAuto");
}

void CamDriver::StartMovieRecording()
{
    notOffered("StartMovieRecording");
}

void CamDriver::EndMovieRecording()
{
    notOffered("EndMovieRecording");
}

std::uint32_t CamDriver::DownloadViewfinderFrame(JpegBlob & /*jpeg*/, ViewfinderPositionType & /*metadata*/)
{
    notOffered("DownloadViewfinderFrame");
}

std::string CamDriver::ViewfinderErrorText(std::uint32_t /*result*/) const
{
    notOffered("ViewfinderErrorText");
}

void CamDriver::OpenCameraCollection(const std::string & /*tempFolder*/, bool /*thumbnails*/, ImageListType & /*list*/)
{
    notOffered("OpenCameraCollection");
}

void CamDriver::CloseCameraCollection(ImageListType & /*list*/)
{
    notOffered("CloseCameraCollection");
}

void CamDriver::GetPicture(int /*position*/, const std::string & /*fileName*/, ProgressProc /*progress*/,
                           int /*registryIndex*/)
{
    notOffered("GetPicture");
}

void CamDriver::DeletePicture(ImageListType & /*list*/, int /*position*/)
{
    notOffered("DeletePicture");
}

void CamDriver::KeepAlive()
{
    notOffered("KeepAlive");
}

bool CamDriver::RegisterTransferItem(void * /*object*/)
{
    notOffered("RegisterTransferItem");
    return false;
}

bool CamDriver::RegisterMovieItem(void * /*object*/)
{
    notOffered("RegisterMovieItem");
    return false;
}

bool CamDriver::RegisterCardItem(void * /*object*/)
{
    notOffered("RegisterCardItem");
    return false;
}

std::string CamDriver::ObjectFileName(void * /*object*/)
{
    notOffered("ObjectFileName");
}

void CamDriver::ReleaseObject(void * /*object*/)
{
    notOffered("ReleaseObject");
}

} // namespace tbx
