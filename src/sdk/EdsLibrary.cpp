#include "sdk/EdsLibrary.h"

#include "sdk/EdsErrors.h"

namespace tbx::sdk {

const EdsLibrary &EdsdkLibrary()
{
    static const EdsLibrary library{"EDSDK", &LoadEDSDK, &IsEDSDKLoaded, &Eds, EdsErrorTexts()};
    return library;
}

} // namespace tbx::sdk
