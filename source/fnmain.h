// Start-up and shutdown of the program, and the one database record.
// (The entry point itself is the window program's, source/winmain.cpp.)
#pragma once

struct DB;
struct LIST;
struct PL;
struct PLI;

extern DB Database;

DB* MainGetDB();
LIST* MainGetPLL();
PL* MainGetCurrentPL();
PLI* MainGetCurrentPLI();

// Registers the file class, reads "Recent" into the database path and sets
// the mixer defaults.
void InitConfig();

// Finds the running players, starts as many more as make MAXI_WINAMP,
// registers the new ones and stops every slot's player. Slots beyond the
// players that own a window by then have no player.
void InitWAmpInstances();
// Leaves the players running and registered.
void DoneWAmpInstances();

// ---- command line ----

// The program file named first on the command line, without quotes, into
// Path (Size bytes). Returns 0, with Path empty, when it does not fit.
int MainCmdLineProgram(const char* CmdLine, char* Path, int Size);
// The database named after the program: exactly one argument, quoted or
// not, ending in ".tdb". Returns 0, with Path empty, for any other command
// line or a path that does not fit.
int MainCmdLineDB(const char* CmdLine, char* Path, int Size);
