// The one place <windows.h> comes in, with the settings the program needs.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// Windows XP: no call newer than that may be used.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#undef WINVER
#define WINVER 0x0501

#include <windows.h>
#include <shellapi.h>
#include <objbase.h>
