// Writes MPEG audio files of silent frames for tests, the demo and the
// benchmarks: any version, layer, bit rate, sampling rate and channel mode,
// with real padding so the stream lasts the asked duration, optionally with
// an ID3v1 tag, an ID3v2 tag, a Xing header and two alternating bit rates,
// or wrapped in a RIFF/WAVE container.
#pragma once

#include <cstdint>
#include <string>

struct MP3GENOPTIONS {
    int iVersion = 1;  // 1 = MPEG 1, 2 = MPEG 2, 3 = MPEG 2.5
    int iLayer = 3;
    unsigned lBitRate = 128;     // kbit/s, must exist in the version's table
    unsigned lSampleRate = 44100;
    int iChannelMode = 1;        // 0 stereo, 1 joint stereo, 2 dual, 3 mono
    unsigned lDurationMs = 10000;
    bool bTag = false;           // append an ID3v1 tag with the texts below
    std::string cTitle, cArtist, cAlbum, cYear, cComment;
    int iStyle = 255;
    bool bRiff = false;          // wrap the stream in RIFF/WAVE with a "data" chunk; none of the below
    bool bId3v2 = false;         // put an ID3v2.3 tag (ISO-8859-1 texts, genre "(n)") before the stream
    unsigned lId3v2Padding = 0;  // zero bytes of padding inside that tag
    bool bXing = false;          // a first frame with a Xing header ("Info" for one bit rate): frames, bytes
    unsigned lVbrBitRate = 0;    // when set, every other frame has this bit rate
};

// Returns false when the options are impossible or the file cannot be written.
bool Mp3GenWrite(const char* FileName, const MP3GENOPTIONS& Options);
