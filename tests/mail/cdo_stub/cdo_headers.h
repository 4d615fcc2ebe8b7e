// The platform's declarations of the CDO messaging interfaces (namespace CDO), included in the
// order they need: cdosys.h opens namespace CDO before it includes oaidl.h and ocidl.h, so those
// must already have been seen. With the build's Windows 7 target (_WIN32_WINNT 0x0601) the ADO
// part comes from adoint_backcompat.h, whose sizes and positions are ADO_LONGPTR. With g++ the header needs -fpermissive (adoint.h has declarations
// without a type); the build adds it to the targets that include this file.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
#include <cdosys.h>
