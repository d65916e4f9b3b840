// The program's settings: the path of the last database ("Recent") in the
// registry, the registration of the database file type, and the database
// named on the command line.
#pragma once

inline constexpr char strRegRoot[] = "Software\\Brightwater\\Tandem";
inline constexpr char strRegRecent[] = "Recent";

// Writes the file class "Tandem.Database" (description, icon, the open command
// that starts this program with the file) and ".tdb". Returns 1.
int CfgSetFileClasses();
// Writes the database path as "Recent". Returns 1.
int CfgStore();
// Reads "Recent" into the database path; a missing, unreadable or too long
// value gives the empty path. Returns 1.
int CfgRestore();

// ---- command line ----

// The program file named first on the command line, without quotes, into
// Path (Size bytes); unquoted, it ends at the first ".exe" that a blank or
// the end follows. Returns 0, with Path empty, when it does not fit.
int CfgCmdLineProgram(const char* CmdLine, char* Path, int Size);
// The database named after the program: exactly one argument, quoted or
// not, ending in ".tdb". Returns 0, with Path empty, for any other command
// line or a path that does not fit.
int CfgCmdLineDB(const char* CmdLine, char* Path, int Size);
// 1 when Path names an existing file (not a folder) by a full path, "X:\..."
// or "\\server\share\...": what another process may hand over to open.
int CfgIsDatabaseFile(const char* Path);
