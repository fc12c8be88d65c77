// Registry entries of the control class and its type library.
#pragma once

#include <windows.h>

namespace tbx::automation {

/// Writes the control class's keys (CLSID, InprocServer32, ProgID, TypeLib, Version, MiscStatus,
/// ToolboxBitmap32, Control, Verb), the program identifier's key and the type library's.
HRESULT registerServer();
/// Removes them again. Keys that the other bitness of this module shares (the program identifier
/// and the type library's interface entries) stay while that one is still registered.
HRESULT unregisterServer();

} // namespace tbx::automation
