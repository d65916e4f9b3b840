// Start-up and shutdown of the program: the players, the settings and the
// mixer defaults. (The entry point itself is the window program's, winmain.cpp.)
#pragma once

// Registers the file class, reads "Recent" into the database path and sets
// the mixer defaults.
void InitConfig();

// Finds the running players, starts as many more as make MAXI_WINAMP,
// registers the new ones and stops every slot's player. Slots beyond the
// players that own a window by then have no player (MainMissingPlayers).
void InitWAmpInstances();
// Leaves the players running and registered.
void DoneWAmpInstances();
// After InitWAmpInstances: the slots without a player and why, as told to
// the user; empty when all five answer.
const char* MainMissingPlayers();
// "Pl1", "Pl2", "Ef1", "Ef2", "Test"; empty for any other slot.
const char* MainSlotName(int Slot);
