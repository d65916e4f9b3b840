// The about box (DLG_ABOUT), laid out around the logo. Windows only.
#pragma once

void DlgAboutShow();
