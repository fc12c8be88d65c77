/* The control API of the simulated camera SDK libraries, for host programs and their tests.
 * Every simulated library exports these functions beside its SDK functions; look them up with
 * GetProcAddress/dlsym in the library the host loaded. See docs/simulator.md. */
#ifndef TBX_SIM_CONTROL_H
#define TBX_SIM_CONTROL_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define TBXSIM_CALL __stdcall
#else
#define TBXSIM_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    TBXSIM_OK = 0,
    TBXSIM_BAD_ARGUMENT = 1,
    TBXSIM_NOT_FOUND = 2,
    TBXSIM_SCENARIO = 3,
    TBXSIM_STATE = 4,
    TBXSIM_BUFFER_SMALL = 5,
    TBXSIM_FAILED = 6
};

typedef uint32_t(TBXSIM_CALL *TbxSim_LoadScenario_t)(const char *jsonOrPath);
typedef uint32_t(TBXSIM_CALL *TbxSim_Reset_t)(void);
typedef uint32_t(TBXSIM_CALL *TbxSim_AttachCamera_t)(const char *idOrJson);
typedef uint32_t(TBXSIM_CALL *TbxSim_DetachCamera_t)(const char *id);
typedef uint32_t(TBXSIM_CALL *TbxSim_InjectFault_t)(const char *entryPoint, uint32_t code, int32_t count);
typedef uint32_t(TBXSIM_CALL *TbxSim_ClearFaults_t)(void);
typedef uint32_t(TBXSIM_CALL *TbxSim_SetBusy_t)(const char *id, int32_t calls);
typedef uint32_t(TBXSIM_CALL *TbxSim_Unplug_t)(const char *id, uint64_t afterBytes);
typedef uint32_t(TBXSIM_CALL *TbxSim_GetCallLog_t)(char *buffer, uint32_t size, uint32_t *outSize);
typedef uint32_t(TBXSIM_CALL *TbxSim_ClearCallLog_t)(void);
typedef uint32_t(TBXSIM_CALL *TbxSim_FireEvent_t)(const char *id, uint32_t event, uint32_t param);
typedef uint32_t(TBXSIM_CALL *TbxSim_ReleaseShutter_t)(const char *id);
typedef uint32_t(TBXSIM_CALL *TbxSim_SetProperty_t)(const char *id, uint32_t property, const void *data, uint32_t size);
typedef uint32_t(TBXSIM_CALL *TbxSim_GetProperty_t)(const char *id, uint32_t property, void *data, uint32_t size,
                                                    uint32_t *outSize);
typedef uint32_t(TBXSIM_CALL *TbxSim_WaitIdle_t)(uint32_t milliseconds);
typedef uint32_t(TBXSIM_CALL *TbxSim_GetObjectCount_t)(void);
typedef uint32_t(TBXSIM_CALL *TbxSim_GetLastError_t)(char *buffer, uint32_t size, uint32_t *outSize);

#ifdef __cplusplus
}
#endif

#endif
