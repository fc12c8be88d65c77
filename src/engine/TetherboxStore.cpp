// The engine's remote parameters: reading and writing them on the connected camera, the
// parameter file, and the RAW development operations, which are not offered.
#include "engine/Tetherbox.h"

#include "engine/ParamStore.h"
#include "platform/Errors.h"

namespace tbx {

namespace {
constexpr const char *kMsgNoRAW = "RAW handling is unfortunately not supported";
} // namespace

RemoteParamsType TTetherbox::RemoteGetCameraCacheParameters()
{
    requireRemoteMode();
    CamDriver *driver = familyDriver(Answer::Serve, Answer::Serve, Answer::Serve);
    RemoteParamsType params{};
    driver->GetRemoteParams(params);
    return params;
}

void TTetherbox::RemoteSetRemoteParams(const RemoteParamsType &params)
{
    requireRemoteMode();
    CamDriver *driver = familyDriver(Answer::Serve, Answer::Serve, Answer::Serve);
    const RemoteParamsType copy = params;
    driver->SetRemoteParams(copy);
}

void TTetherbox::RemoteLoadCameraRemoteParams(const std::string &fileName)
{
    requireRemoteMode();
    RemoteSetRemoteParams(ReadRemoteParamsFile(fileName));
}

void TTetherbox::RemoteSaveCameraRemoteParams(const std::string &fileName)
{
    requireRemoteMode();
    // The camera is read first, so a failed read neither creates nor empties the file.
    WriteRemoteParamsFile(fileName, RemoteGetCameraCacheParameters());
}

std::array<std::uint8_t, 17> TTetherbox::OpenRAWObject(const std::string &)
{
    throw ECamException(kMsgNoRAW);
}

void TTetherbox::SetRAWDevelopmentParameters(const RAWDevelopmentParamsType &)
{
    throw ECamException(kMsgNoRAW);
}

TTetherbox::RAWDevelopmentParamsType TTetherbox::GetRAWDevelopmentParameters()
{
    throw ECamException(kMsgNoRAW);
}

void TTetherbox::DevelopRAWPicture(const std::string &, int, int, const std::string &, int)
{
    throw ECamException(kMsgNoRAW);
}

void TTetherbox::CloseRAWObject()
{
    throw ECamException(kMsgNoRAW);
}

} // namespace tbx
