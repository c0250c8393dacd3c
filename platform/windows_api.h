// windows.h as every Windows part of Velmora includes it: without the parts
// that WIN32_LEAN_AND_MEAN leaves out (shellapi.h, commdlg.h and the like are
// included where they are used), and without the min and max macros, which
// would break std::min and std::max.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
