// Process-wide state of the COM server module: its instance handle, the counts that decide
// whether it may be unloaded, and the type library loaded from its own resources.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace tbx::automation {

/// The module's instance handle (set by DllMain).
HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

/// The module's full path, as the registry and LoadTypeLibEx want it.
std::wstring modulePath();

/// Live objects (automation objects, class factories handed out, connection points, enumerators)
/// and IClassFactory::LockServer locks.
void addObject();
void releaseObject();
void lockServer(bool lock);
/// True when nothing of this module is in use: no object, no lock, no camera engine (which
/// also means no vendor SDK is started).
bool canUnload();

/// The type library of the module (resource 1), loaded once; nullptr when it cannot be loaded.
/// The reference is owned by the module: callers AddRef what they keep.
ITypeLib *typeLibrary();
/// The type information of \p guid in that library (AddRef'ed), or an error.
HRESULT typeInfoOf(REFGUID guid, ITypeInfo **info);

/// Releases the type library (DLL_PROCESS_DETACH).
void releaseModuleState();

} // namespace tbx::automation
