/* The recording CDO stand-in for tests (see README.md beside this file). C interface. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* This process: registers (revokes) the Message and Configuration class objects for the calling
   thread's apartment, after CoInitialize; CoCreateInstance then makes stand-in objects. */
HRESULT cdo_register_in_process(void);
void cdo_unregister_in_process(void);
/* This process: the record file (appended, one UTF-8 line per call; empty: no record), one fault
   ("method=result" or "N=result", N counting the calls of each message from 1; empty: none) and
   how long Send waits. */
void cdo_configure(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms);
/* Stand-in objects alive in this process. */
long cdo_live_objects(void);

/* Other processes: registers cdo_stand_in.dll beside this program under the CDO class ids in
   HKEY_CLASSES_ROOT (ERROR_SUCCESS or the registry error), and removes it again. */
LSTATUS cdo_register_dll(void);
void cdo_unregister_dll(void);
/* The settings of cdo_configure for processes using that DLL: cdo_stand_in.cfg beside it, read
   at every new message. A null record deletes the file. FALSE when it cannot be written. */
BOOL cdo_configure_dll(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms);

#ifdef __cplusplus
}
#endif
