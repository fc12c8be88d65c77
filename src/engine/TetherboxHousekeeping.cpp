// The engine's housekeeping (clock, owner name, body ID, card) and the camera collection. None of
// these needs remote mode; each goes to the driver of the connected family.
#include "engine/Tetherbox.h"

#include "platform/Errors.h"

namespace tbx {

namespace {

/// Raises a clear message for a negative collection position; a position past the end is the
/// driver's to refuse, in its family's words.
void checkPosition(int position, std::size_t count)
{
    if (position < 0)
        throw ECamException("Picture number " + std::to_string(position) +
                            " is not in the camera collection of " + std::to_string(count) + " pictures");
}

} // namespace

void TTetherbox::SetTimeInCamera(std::time_t time)
{
    familyDriver(Answer::Serve, Answer::NotByEOS, Answer::Serve)->SetTime(time);
}

void TTetherbox::SetOwnerName(const std::string &name)
{
    familyDriver(Answer::Serve, Answer::Serve, Answer::Serve)->SetOwnerName(name);
}

std::string TTetherbox::GetBodyID()
{
    CamDriver *driver = familyDriver(Answer::Ignore, Answer::Serve, Answer::Serve);
    return driver != nullptr ? driver->GetBodyID() : std::string();
}

void TTetherbox::FormatCameraCard()
{
    familyDriver(Answer::Serve, Answer::Serve, Answer::Serve)->FormatCard();
}

bool TTetherbox::RemoteSupported()
{
    return familyDriver(Answer::Serve, Answer::Serve, Answer::Serve)->RemoteSupported();
}

void TTetherbox::OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list)
{
    CamDriver *driver = familyDriver(Answer::Serve, Answer::Serve, Answer::Serve);
    ImageListType fresh;
    driver->OpenCameraCollection(tempFolder, thumbnails, fresh);
    list = std::move(fresh);
}

void TTetherbox::CloseCameraCollection(ImageListType &list)
{
    familyDriver(Answer::Serve, Answer::Serve, Answer::Serve)->CloseCameraCollection(list);
}

void TTetherbox::GetPicture(int position, const std::string &fileName)
{
    CamDriver *driver = familyDriver(Answer::Serve, Answer::Serve, Answer::Serve);
    // The driver keeps the list and knows its length; a negative position is refused here.
    if (position < 0)
        throw ECamException("Picture number " + std::to_string(position) + " is not in the camera collection");
    if (family() == CamModPowerShot)
        driver->GetPicture(position, fileName, &TTetherbox::GetPictureProgress, registryIndex_);
    else
        driver->GetPicture(position, fileName, nullptr, registryIndex_);
}

void TTetherbox::DeletePicture(ImageListType &list, int position)
{
    CamDriver *driver = familyDriver(Answer::Serve, Answer::Serve, Answer::Serve);
    checkPosition(position, list.size());
    driver->DeletePicture(list, position);
}

} // namespace tbx
