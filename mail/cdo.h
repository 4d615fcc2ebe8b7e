// The platform's declarations of the CDO messaging interfaces (namespace CDO) and the names of its
// configuration fields. Private to the mail library: cdosys.h opens namespace CDO before it
// includes oaidl.h and ocidl.h, so those must come first, and with g++ it needs -fpermissive
// (adoint.h has declarations without a type), which the build gives only to this library.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
#include <cdosys.h>
#include <cdosysstr.h>
