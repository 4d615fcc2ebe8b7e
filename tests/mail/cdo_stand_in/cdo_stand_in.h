/* The recording CDO stand-in for tests (README.md beside this file). C interface. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* This process: registers the Message and Configuration class objects in the calling thread's
   apartment (after CoInitialize), for as long as it lasts; CoCreateInstance then makes stand-ins. */
HRESULT cdo_register_in_process(void);
/* This process: the record file (one UTF-8 line per call appended; empty: none), one fault
   ("method=result" or "N=result", N counting the calls of each message from 1; empty: none) and
   how long Send waits. Stand-in objects alive in this process. */
void cdo_configure(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms);
long cdo_live_objects(void);
/* Other processes: cdo_stand_in.dll beside this program registered under the CDO class ids in
   HKEY_CLASSES_ROOT (ERROR_SUCCESS or the registry error) and removed; the settings of
   cdo_configure for them, in cdo_stand_in.cfg beside the DLL, read at every new message (a null
   record deletes the file). */
LSTATUS cdo_register_dll(void);
void cdo_unregister_dll(void);
BOOL cdo_configure_dll(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms);

#ifdef __cplusplus
}
#endif
