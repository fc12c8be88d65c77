// Remote mode of a legacy camera after RemoteStart: shooting, the released picture (which the
// library writes into a file itself, reporting progress through the engine's callback), the
// viewfinder, zoom and AF lock.
#include "drivers/cdsdk/CdTables.h"
#include "drivers/cdsdk/TCDSDK.h"

namespace tbx::cdsdk {

using sdk::RaiseOnCDError;

namespace {
/// How the library reports progress to the callbacks it is given.
constexpr sdk::CdProgressOption kProgressInPercent = 3;
/// The viewfinder's frames as JPEG.
constexpr sdk::CdUInt32 kViewfinderJpeg = 0;
/// Auto exposure, auto focus and auto white balance at once.
constexpr sdk::CdUInt32 kAllAutoFunctions = 7;
} // namespace

void TCDSDK::RemoteEnd() { cd().CDExitReleaseControl(source_); }

int TCDSDK::GetNumberOfAvailableShots()
{
    sdk::CdUInt32 count = 0;
    RaiseOnCDError("CDGetNumAvailableShot", cd().CDGetNumAvailableShot(requireSource(), &count));
    return static_cast<int>(count);
}

void TCDSDK::RemoteTakePicture(ProgressProc progress, int registryIndex)
{
    sdk::CdUInt32 released = 0;
    RaiseOnCDError("CDRelease", cd().CDRelease(requireSource(), 0, progress, static_cast<sdk::CdContext>(registryIndex),
                                               kProgressInPercent, &released));
}

void TCDSDK::RemoteGetPicture(const std::string &fileName, int /*pictureType*/, ProgressProc progress,
                              int registryIndex)
{
    const sdk::CdHSource source = requireSource();
    writeThroughPartFile(fileName, [&](sdk::CdStgMedium &destination) {
        sdk::CdReleaseImageInfo information{};
        RaiseOnCDError("CDGetReleasedData",
                       cd().CDGetReleasedData(source, progress, static_cast<sdk::CdContext>(registryIndex),
                                              kProgressInPercent, &information, &destination));
    });
}

void TCDSDK::RemoteStartViewfinder(const ViewfinderCallbacks &callbacks, int registryIndex)
{
    RaiseOnCDError("CDStartViewfinder", cd().CDStartViewfinder(requireSource(), kViewfinderJpeg, callbacks.legacy,
                                                               static_cast<sdk::CdContext>(registryIndex)));
}

void TCDSDK::RemoteStopViewfinder() { cd().CDTermViewfinder(source_); }

void TCDSDK::SetViewfinderOutput(std::uint8_t output)
{
    const sdk::CdRelViewfinderOutput value = viewfinderOutput(output);
    if (value == 0)
        return;
    RaiseOnCDError("CDSelectViewFinderCameraOutput", cd().CDSelectViewFinderCameraOutput(requireSource(), value));
}

void TCDSDK::ActivateViewfinderAuto(bool /*on*/)
{
    RaiseOnCDError("CDActViewfinderAutoFunctions",
                   cd().CDActViewfinderAutoFunctions(requireSource(), kAllAutoFunctions));
}

void TCDSDK::GetZoomPos(ZoomPosType &pos)
{
    const sdk::CdHSource source = requireSource();
    sdk::CdUInt32 maximum = 0;
    sdk::CdUInt32 optical = 0;
    RaiseOnCDError("CDGetMaximumZoomPos", cd().CDGetMaximumZoomPos(source, &maximum, &optical));
    pos.MaxZoomPos = static_cast<std::int32_t>(maximum);
    pos.MaxOpticalZoomPos = static_cast<std::int32_t>(optical);
    sdk::CdUInt32 current = 0;
    RaiseOnCDError("CDGetZoomPos", cd().CDGetZoomPos(source, &current));
    pos.CurrentZoomPos = static_cast<std::int32_t>(current);
}

void TCDSDK::SetZoomPos(int pos)
{
    RaiseOnCDError("CDSetZoomPos", cd().CDSetZoomPos(requireSource(), static_cast<sdk::CdUInt32>(pos)));
}

void TCDSDK::AFLock(bool lock) { RaiseOnCDError("CDAFLock", cd().CDAFLock(requireSource(), lock ? 1 : 0)); }

} // namespace tbx::cdsdk
