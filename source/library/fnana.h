// Measuring tracks in the background: a worker thread decodes each queued
// track once (include/loudness) and the results wait until the thread that
// owns the library collects them, so no song is touched by two threads.
//
// The worker runs at background priority, one track at a time; it keeps a
// copy of each path, so the library may change meanwhile. A track whose
// file is missing stays unmeasured (its medium may come back); one that is
// there but cannot be decoded is marked so and otherwise used as before.
#pragma once

#include <cstddef>
#include <cstdint>

class File;
class SONGINDEX;
struct LIST;
struct LOUDRESULT;
struct SONG;

// SONG.Analysis.iState.
constexpr int ANA_NONE = 0;
constexpr int ANA_DONE = 1;
constexpr int ANA_UNDECODABLE = 2;
// Raised when the measurement changes, so that older results are measured again.
constexpr int ANA_VERSION = 1;
// Loudness and peak of a track with no sound above the meter's gate.
constexpr std::int32_t ANA_SILENT = INT32_MIN;

// ---- the worker (start, queue and collect on the library's thread) ----

// Called on the worker thread whenever a result waits or the progress
// changed; it should only wake the library's thread (post a message).
using ANANOTIFY = void (*)();
void AnaStart(ANANOTIFY Notify);
// Cancels the running measurement and ends the worker; results not collected are lost.
void AnaStop();
// While held, the running measurement waits between blocks, and its
// decoder with it: the mixer holds it through each mix, so that decoding
// never competes with the fades. Any thread may call it.
void AnaHold(bool Hold);
// Queues Song unless it is queued already, measured by this version, or its
// facts were never read (the user chose not to read the file when adding it).
void AnaQueue(SONG* Song);
// Queues every track of the track list that AnaQueue would take.
void AnaQueueAll(LIST* tl);
// Queues Song again whatever it holds (the user asked for it).
void AnaRequeue(SONG* Song);
// The library is about to be released: forgets every queued track and every
// result not yet collected, and cancels the running measurement.
void AnaForgetAll();
// Applies every waiting result to its song; returns how many.
int AnaCollect();

constexpr int MAXL_ANACURRENT = 260;
struct ANAPROGRESS {
    int iDone;   // tracks finished since the queue was last empty
    int iTotal;  // of how many; 0 while there is nothing to do
    char cCurrent[MAXL_ANACURRENT + 1];  // the file being measured, or empty
};
void AnaGetProgress(ANAPROGRESS* Progress);

// ---- the results ----

// Takes a measurement into Song: Status is LoudMeasureFile's. The main part
// becomes the music's part only while it is the whole file or the part an
// earlier measurement set, so marks the user set are never overwritten; the
// length becomes the decoded length.
void AnaApply(SONG* Song, int Status, const LOUDRESULT* Result);
// The measured loudness in LUFS; NaN when the track was not measured (a
// silent one gives -infinity).
double AnaGetLoudness(const SONG* Song);

// The texts the windows show, into S (Size bytes; 80 hold each whole):
// "-14.3 LUFS", "silent", "cannot be decoded" or empty when not measured;
// "Loudness -14.3 LUFS, peak -1.1 dBFS" or "Not measured yet" or "The file
// cannot be decoded"; "Music 0:01:200 to 3:45:000" or empty.
char* AnaFormatLoudness(const SONG* Song, char* S, std::size_t Size);
char* AnaFormatLevels(const SONG* Song, char* S, std::size_t Size);
char* AnaFormatMusic(const SONG* Song, char* S, std::size_t Size);

// The analysis records of the database file (one per measured track, by the
// track's ID in Index): the payload of its "ANA1" part, Size bytes.
std::uint32_t AnaStoreSize(LIST* tl);
int AnaStore(LIST* tl, File& File, const SONGINDEX& Index);
// Reads Size bytes of records; 0 for a damaged part. Records of unknown
// tracks are passed over.
int AnaRestore(File& File, std::uint32_t Size, const SONGINDEX& Index);
