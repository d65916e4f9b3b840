// The program's settings: the path of the last database ("Recent") and
// whether levelling is on in the registry, the registration of the database file type, and the database
// named on the command line.
#pragma once

inline constexpr char strRegRoot[] = "Software\\Brightwater\\Tandem";
inline constexpr char strRegRecent[] = "Recent";
inline constexpr char strRegLevel[] = "Level";  // "0": levelling off; on otherwise

// Unless database files already open in a program that exists (whoever
// registered it: the installer owns its association), writes the file class
// "Tandem.Database" (description, icon, the open command that starts this
// program with the file) and ".tdb" into the current user's classes and
// tells the shell. Returns 1.
int CfgSetFileClasses();
// Writes the database path as "Recent". Returns 1.
int CfgStore();
// Reads "Recent" into the database path; a missing, unreadable or too long
// value gives the empty path. Returns 1.
int CfgRestore();

// ---- command line ----

// The database named after the program: exactly one argument, quoted or
// not, ending in ".tdb". Returns 0, with Path empty, for any other command
// line or a path that does not fit.
int CfgCmdLineDB(const char* CmdLine, char* Path, int Size);
// 1 when Path names an existing file (not a folder) by a full path, "X:\..."
// or "\\server\share\...": what another process may hand over to open.
int CfgIsDatabaseFile(const char* Path);
