// Fills a database with a generated library for benchmarks and tests: songs
// with plausible tag texts, paths, MPEG facts and marks, and playlists of
// items that refer to songs all over the track list. The same options give
// the same database, byte for byte once stored.
#pragma once

struct DB;

struct DBGENOPTIONS {
    int iTracks = 1000;
    int iPlaylists = 4;
    int iItems = 2000;  // in all, spread as evenly as possible over the playlists
    unsigned uSeed = 1;
};

// Replaces the tracks and playlists of db (set up with DBInit) with a
// generated library; the first playlist becomes current. False when memory
// ran out (db then holds what was made so far).
bool DbGenFill(DB* db, const DBGENOPTIONS& Options);
