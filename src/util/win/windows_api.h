#pragma once
// The one place that includes <windows.h>. The build defines UNICODE,
// WIN32_LEAN_AND_MEAN, NOMINMAX and the target version; they are repeated
// here for tools that read a file on its own.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

#include <windows.h>
