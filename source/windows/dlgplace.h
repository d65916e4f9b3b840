// The place dialog (DLG_PLACE): the place text and options of an add
// command. Windows only.
#pragma once

#include "platform.h"

#include <cstdint>

constexpr int MAXL_PLACEDATA = 50;

struct PLACEDATA {
    char cPlace[MAXL_PLACEDATA + 1];
    std::int32_t bDontReadInfos;
    std::int32_t bRecursive;
    std::int32_t bDisableRecursive;  // input: reading subfolders makes no sense
};

// 1 when the user confirmed; Data then holds the choices.
int PlaceEdit(HWND Owner, PLACEDATA* Data);
