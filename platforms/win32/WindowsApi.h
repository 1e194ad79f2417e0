#pragma once
// The Windows headers for the files of this folder, included in one place so
// that the macros they define cannot rename the program's own members: the
// dialog host port has MessageBox, LoadIcon and LoadString, the framework's
// CWnd has GetWindowText and SetWindowText and the runtime port has
// WriteProfileString, all of which
// <windows.h> turns into their ...A/...W names. Code here calls the wide
// functions by their explicit W names instead.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#undef MessageBox
#undef LoadIcon
#undef LoadString
#undef GetWindowText
#undef SetWindowText
#undef WriteProfileString
