#include "fnana.h"

#include "fileio.h"
#include "fncomm.h"
#include "fnsong.h"
#include "list.h"
#include "loudness.h"
#include "platform.h"
#include "string2.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

struct JOB {
    SONG* Song;
    char cPath[MAXL_SONGPATH + 1];
};

struct RESULT {
    SONG* Song;
    int Status;
    LOUDRESULT Result;
};

// Everything the two threads share, under Mutex. Songs are only compared
// and handed back here, never read: they belong to the library's thread.
std::mutex Mutex;
std::condition_variable Wake;
std::deque<JOB> Queue;
// Queued, being measured, or measured and not collected yet: not queued again.
std::unordered_set<const SONG*> InQueue;
std::vector<RESULT> Results;
ANAPROGRESS Progress;
bool Quit = false;
std::atomic<int> Cancel{0};
std::atomic<int> Held{0};
std::thread Worker;
ANANOTIFY Notify = nullptr;

constexpr std::uint32_t RECORD_SIZE = 7 * 4;
constexpr int MAXL_ANATEXT = 40;

void Enqueue(SONG* Song)
{
    JOB job{Song, {}};
    StrCopy(job.cPath, Song->Desc.cFileName);
    {
        std::lock_guard lock(Mutex);
        if (!InQueue.insert(Song).second)
            return;
        Queue.push_back(job);
        ++Progress.iTotal;
    }
    Wake.notify_one();
}

bool Wanted(const SONG* Song)
{
    return !Song->General.bInfoNotRead &&
           (Song->Analysis.iState == ANA_NONE || Song->Analysis.iVersion != ANA_VERSION);
}

// Measures one job with the lock released; the result counts only when the
// library did not let go of its song meanwhile.
void Measure(std::unique_lock<std::mutex>& lock)
{
    const JOB job = Queue.front();
    Queue.pop_front();
    StrCopy(Progress.cCurrent, job.cPath);
    Cancel = 0;
    lock.unlock();
    RESULT result{job.Song, AUDIO_STOPPED, {}};
    if (FileExists(job.cPath))
        result.Status = LoudMeasureFile(job.cPath, &result.Result, &Cancel, &Held);
    lock.lock();
    Progress.cCurrent[0] = '\0';
    if (Cancel != 0)
        return;
    if (result.Status != AUDIO_DONE && result.Status != AUDIO_CANNOTDECODE)
        InQueue.erase(job.Song);
    ++Progress.iDone;
    if (result.Status == AUDIO_DONE || result.Status == AUDIO_CANNOTDECODE) {
        Results.push_back(result);
    } else if (result.Status == AUDIO_NODECODER) {  // nothing here decodes: no track is marked for it
        Queue.clear();
        InQueue.clear();
    }
    if (Queue.empty())
        Progress.iDone = Progress.iTotal = 0;
}

void Work()
{
    SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN);
    std::unique_lock lock(Mutex);
    while (!Quit) {
        if (Queue.empty()) {
            Wake.wait(lock);
            continue;
        }
        Measure(lock);
        lock.unlock();
        Notify();
        lock.lock();
    }
}

template <class Visit>
void EachSong(LIST* tl, Visit visit)
{
    LISTITEM* key = nullptr;
    for (void* song = ListFindFirstItem(tl, &key); song != nullptr; song = ListFindNextItem(tl, &key))
        visit(static_cast<SONG*>(song));
}

std::int32_t Hundredths(double Value)
{
    return std::isfinite(Value) ? static_cast<std::int32_t>(std::lround(Value * 100)) : ANA_SILENT;
}

// The main part the track has until someone marks it: the whole file
// (nothing at all for a track whose facts were read late).
bool DefaultMain(const SONG* Song)
{
    const TIME& main = Song->Bounds.timMain;
    return main.lStart == 0 && (main.lEnd == 0 || main.lEnd == Song->General.lLength);
}

bool MainFromAnalysis(const SONG* Song)
{
    const TIME& main = Song->Bounds.timMain;
    const TIME& music = Song->Analysis.timMusic;
    return Song->Analysis.iState == ANA_DONE && main.lStart == music.lStart && main.lEnd == music.lEnd;
}

}  // namespace

void AnaStart(ANANOTIFY NotifyProc)
{
    Notify = NotifyProc;
    Quit = false;
    Worker = std::thread(Work);
}

void AnaStop()
{
    {
        std::lock_guard lock(Mutex);
        Quit = true;
        Cancel = 1;
    }
    Wake.notify_one();
    if (Worker.joinable())
        Worker.join();
    AnaForgetAll();
}

void AnaHold(bool Hold) { Held = Hold ? 1 : 0; }

void AnaQueue(SONG* Song)
{
    if (Song != nullptr && Wanted(Song))
        Enqueue(Song);
}

void AnaQueueAll(LIST* tl)
{
    EachSong(tl, AnaQueue);
}

void AnaRequeue(SONG* Song)
{
    if (Song != nullptr)
        Enqueue(Song);
}

void AnaForgetAll()
{
    std::lock_guard lock(Mutex);
    Queue.clear();
    InQueue.clear();
    Results.clear();
    Progress = {};
    Cancel = 1;
}

int AnaCollect()
{
    std::vector<RESULT> results;
    {
        std::lock_guard lock(Mutex);
        results.swap(Results);
        for (const RESULT& r : results)
            InQueue.erase(r.Song);
    }
    for (const RESULT& r : results)
        AnaApply(r.Song, r.Status, &r.Result);
    return static_cast<int>(results.size());
}

void AnaGetProgress(ANAPROGRESS* Out)
{
    std::lock_guard lock(Mutex);
    *Out = Progress;
}

void AnaApply(SONG* Song, int Status, const LOUDRESULT* Result)
{
    auto& a = Song->Analysis;
    if (Status != AUDIO_DONE) {
        a = {ANA_UNDECODABLE, ANA_VERSION, ANA_SILENT, ANA_SILENT, {0, 0}};
        return;
    }
    const bool takeMain = DefaultMain(Song) || MainFromAnalysis(Song);
    a = {ANA_DONE, ANA_VERSION, Hundredths(Result->dLoudness), Hundredths(20 * std::log10(Result->dPeak)),
         {Result->lStartMs, Result->lEndMs}};
    Song->General.lLength = Result->lLengthMs;
    if (takeMain)
        Song->Bounds.timMain = a.timMusic;
}

double AnaGetLoudness(const SONG* Song)
{
    if (Song == nullptr || Song->Analysis.iState != ANA_DONE)
        return std::numeric_limits<double>::quiet_NaN();
    const std::int32_t loudness = Song->Analysis.iLoudness;
    return loudness == ANA_SILENT ? -std::numeric_limits<double>::infinity() : loudness / 100.0;
}

char* AnaFormatLoudness(const SONG* Song, char* S, std::size_t Size)
{
    const int state = Song != nullptr ? Song->Analysis.iState : ANA_NONE;
    const double loudness = AnaGetLoudness(Song);
    if (state == ANA_UNDECODABLE)
        StrCopy(S, Size, "cannot be decoded");
    else if (state == ANA_NONE)
        StrCopy(S, Size, "");
    else if (std::isinf(loudness))
        StrCopy(S, Size, "silent");
    else
        StrFormat(S, Size, "%.1f LUFS", loudness);
    return S;
}

char* AnaFormatLevels(const SONG* Song, char* S, std::size_t Size)
{
    const int state = Song != nullptr ? Song->Analysis.iState : ANA_NONE;
    char loudness[MAXL_ANATEXT];
    AnaFormatLoudness(Song, loudness, sizeof loudness);
    if (state == ANA_NONE)
        StrCopy(S, Size, "Not measured yet");
    else if (state == ANA_UNDECODABLE)
        StrCopy(S, Size, "The file cannot be decoded");
    else if (Song->Analysis.iPeak == ANA_SILENT)
        StrFormat(S, Size, "Loudness %s", loudness);
    else
        StrFormat(S, Size, "Loudness %s, peak %.1f dBFS", loudness, Song->Analysis.iPeak / 100.0);
    return S;
}

char* AnaFormatMusic(const SONG* Song, char* S, std::size_t Size)
{
    char start[20];
    char end[20];
    if (Song == nullptr || Song->Analysis.iState != ANA_DONE)
        StrCopy(S, Size, "");
    else
        StrFormat(S, Size, "Music %s to %s", strtimefrmt(static_cast<int>(Song->Analysis.timMusic.lStart), start, 1, 0),
                  strtimefrmt(static_cast<int>(Song->Analysis.timMusic.lEnd), end, 1, 0));
    return S;
}

std::uint32_t AnaStoreSize(LIST* tl)
{
    std::uint32_t records = 0;
    EachSong(tl, [&](const SONG* song) { records += song->Analysis.iState != ANA_NONE ? 1 : 0; });
    return records * RECORD_SIZE;
}

int AnaStore(LIST* tl, File& File, const SONGINDEX& Index)
{
    bool ok = true;
    EachSong(tl, [&](const SONG* song) {
        const auto& a = song->Analysis;
        if (a.iState != ANA_NONE)
            ok = File.WriteI32(Index.IDOf(song)) && File.WriteI32(a.iState) && File.WriteI32(a.iVersion) &&
                 File.WriteI32(a.iLoudness) && File.WriteI32(a.iPeak) && File.WriteU32(a.timMusic.lStart) &&
                 File.WriteU32(a.timMusic.lEnd) && ok;
    });
    return ok ? 1 : 0;
}

int AnaRestore(File& File, std::uint32_t Size, const SONGINDEX& Index)
{
    if (Size % RECORD_SIZE != 0)
        return 0;
    for (std::uint32_t n = Size / RECORD_SIZE; n > 0; --n) {
        std::int32_t id = 0;
        SONG read{};
        auto& a = read.Analysis;
        if (!File.ReadI32(id) || !File.ReadI32(a.iState) || !File.ReadI32(a.iVersion) || !File.ReadI32(a.iLoudness) ||
            !File.ReadI32(a.iPeak) || !File.ReadU32(a.timMusic.lStart) || !File.ReadU32(a.timMusic.lEnd))
            return 0;
        SONG* song = Index.SongOf(id);
        if (song == nullptr || (a.iState != ANA_DONE && a.iState != ANA_UNDECODABLE))
            continue;
        if (a.timMusic.lEnd < a.timMusic.lStart)
            a.timMusic.lEnd = a.timMusic.lStart;
        song->Analysis = a;
    }
    return 1;
}
