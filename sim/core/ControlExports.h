// The control API's exports of a simulated library, defined once for every stand-in: each
// stand-in's export file expands the macro with its own calling convention and library object.
#pragma once

#include <cstdint>

/// Defines the exported control functions of a simulated library. \a CALL is the library's
/// calling convention, \a EXPORT its export attribute and \a LIBRARY an expression giving the
/// library's SimLibrary.
#define TBX_SIM_CONTROL_EXPORTS(EXPORT, CALL, LIBRARY)                                                                 \
    extern "C" {                                                                                                       \
    EXPORT std::uint32_t CALL TbxSim_LoadScenario(const char *textOrPath)                                              \
    {                                                                                                                  \
        return (LIBRARY).loadScenario(textOrPath);                                                                     \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_Reset(void) { return (LIBRARY).reset(); }                                         \
    EXPORT std::uint32_t CALL TbxSim_AttachCamera(const char *idOrJson) { return (LIBRARY).attachCamera(idOrJson); }   \
    EXPORT std::uint32_t CALL TbxSim_DetachCamera(const char *id) { return (LIBRARY).detachCamera(id); }               \
    EXPORT std::uint32_t CALL TbxSim_InjectFault(const char *entryPoint, std::uint32_t code, std::int32_t count)       \
    {                                                                                                                  \
        return (LIBRARY).injectFault(entryPoint, code, count);                                                         \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_ClearFaults(void) { return (LIBRARY).clearFaults(); }                             \
    EXPORT std::uint32_t CALL TbxSim_SetBusy(const char *id, std::int32_t calls)                                       \
    {                                                                                                                  \
        return (LIBRARY).setBusy(id, calls);                                                                           \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_Unplug(const char *id, std::uint64_t afterBytes)                                  \
    {                                                                                                                  \
        return (LIBRARY).unplug(id, afterBytes);                                                                       \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_GetCallLog(char *buffer, std::uint32_t size, std::uint32_t *outSize)              \
    {                                                                                                                  \
        return (LIBRARY).getCallLog(buffer, size, outSize);                                                            \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_ClearCallLog(void) { return (LIBRARY).clearCallLog(); }                           \
    EXPORT std::uint32_t CALL TbxSim_FireEvent(const char *id, std::uint32_t event, std::uint32_t param)               \
    {                                                                                                                  \
        return (LIBRARY).fireEvent(id, event, param);                                                                  \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_ReleaseShutter(const char *id) { return (LIBRARY).releaseShutter(id); }           \
    EXPORT std::uint32_t CALL TbxSim_SetProperty(const char *id, std::uint32_t property, const void *data,             \
                                                 std::uint32_t size)                                                   \
    {                                                                                                                  \
        return (LIBRARY).setProperty(id, property, data, size);                                                        \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_GetProperty(const char *id, std::uint32_t property, void *data,                   \
                                                 std::uint32_t size, std::uint32_t *outSize)                           \
    {                                                                                                                  \
        return (LIBRARY).getProperty(id, property, data, size, outSize);                                               \
    }                                                                                                                  \
    EXPORT std::uint32_t CALL TbxSim_WaitIdle(std::uint32_t milliseconds) { return (LIBRARY).waitIdle(milliseconds); } \
    EXPORT std::uint32_t CALL TbxSim_GetObjectCount(void) { return (LIBRARY).objectCount(); }                          \
    EXPORT std::uint32_t CALL TbxSim_GetLastError(char *buffer, std::uint32_t size, std::uint32_t *outSize)            \
    {                                                                                                                  \
        return (LIBRARY).lastError(buffer, size, outSize);                                                             \
    }                                                                                                                  \
    }
