// The fixed texts that several modules share. A message used in one place
// stays with its code.
#pragma once

// Placeholders of empty song fields.
inline constexpr char strNoFileName[] = "!!! NO FILENAME !!!";
inline constexpr char strNoArtist[] = "!!! NO ARTIST !!!";
inline constexpr char strNoTitle[] = "!!! NO TITLE !!!";
inline constexpr char strNoName[] = "no name";

// Control panel texts.
inline constexpr char strEOPL[] = "<<< End of playlist >>>";
inline constexpr char strNotPlaying[] = "<<< Not playing >>>";
inline constexpr char strUnknown[] = "Unknown";
inline constexpr char strCenter[] = "Center";
inline constexpr char cLeft = 'L';
inline constexpr char cRight = 'R';
inline constexpr const char* strPlayState[] = {"Stopped", "Playing", "Fading", "Paused"};
inline constexpr int MAXI_PLAYSTATE = 4;

// Message box captions.
inline constexpr char strError[] = "Error";
inline constexpr char strWarning[] = "Warning";

// List descriptions.
inline constexpr char strListTracks[] = "List of tracks";
inline constexpr char strListPlaylists[] = "List of playlists";
inline constexpr char strListEffects[] = "List of effects";
inline constexpr char strListItems[] = "Items of playlist";

// File dialogs: filter lists (pairs ended by NUL, the list by a second NUL) and titles.
inline constexpr char strFilterTracks[] = "All supported files\0*.cda;*.mp3\0MP3 files (*.mp3)\0*.mp3\0";
inline constexpr char strFilterDB[] = "Tandem files (*.tdb)\0*.tdb\0";
inline constexpr char strFilterM3U[] = "M3U playlist files (*.m3u)\0*.m3u\0";
inline constexpr char strTitleAddFiles[] = "Add files";
inline constexpr char strTitleOpenDB[] = "Open database";
inline constexpr char strTitleSaveDB[] = "Save database as";
inline constexpr char strTitleExportM3U[] = "Export M3U";

// Registry class of the database file.
inline constexpr char strRegDB[] = "Tandem.Database";
inline constexpr char strRegDescDB[] = "Tandem database file";
inline constexpr char strExtDBase[] = "tdb";
