// The program's settings in the registry: the path of the last database
// ("Recent") and the registration of the database file type.
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
