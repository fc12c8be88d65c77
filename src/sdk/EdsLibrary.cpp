#include "sdk/EdsLibrary.h"

#include "sdk/EdsErrors.h"
#include "sdk/PSG7XMK2SDK.h"

namespace tbx::sdk {

const EdsLibrary &EdsdkLibrary()
{
    static const EdsLibrary library{"EDSDK", &LoadEDSDK, &IsEDSDKLoaded, &Eds, EdsErrorTexts()};
    return library;
}

const EdsLibrary &PsLibrary()
{
    static const EdsLibrary library{"PSG7XMK2SDK", &LoadPSG7XMK2SDK, &IsPSG7XMK2SDKLoaded, &Ps, PsErrorTexts()};
    return library;
}

} // namespace tbx::sdk
