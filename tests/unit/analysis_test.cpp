// Measuring tracks in the background: what the worker finds reaches the
// songs only when collected, marks the user set are kept, and a library
// that is let go takes no results. Runs under ThreadSanitizer too.
#include "fakeos.h"
#include "fnana.h"
#include "fnsong.h"
#include "mp3files.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace {

constexpr int kRate = 8000;

// Mono: Lead ms of silence, Music ms of a 1 kHz sine at -20 dBFS, Tail ms of silence.
std::vector<float> Tone(int Lead, int Music, int Tail)
{
    std::vector<float> pcm(static_cast<std::size_t>((Lead + Music + Tail) * kRate / 1000), 0.0f);
    for (int i = Lead * kRate / 1000; i < (Lead + Music) * kRate / 1000; ++i)
        pcm[static_cast<std::size_t>(i)] = static_cast<float>(0.1 * std::sin(2 * std::numbers::pi * 1000 * i / kRate));
    return pcm;
}

std::atomic<int> notices{0};

void Noticed() { ++notices; }

class Analysis : public Mp3Files {
protected:
    void SetUp() override
    {
        Mp3Files::SetUp();
        fake::Reset();
        AnaStart(Noticed);
    }
    void TearDown() override
    {
        AnaStop();
        Mp3Files::TearDown();
    }
    // A track of a file that exists; its sound is Pcm (none: it cannot be decoded).
    SONG* Track(const char* Name, std::uint32_t Length, std::vector<float> Pcm)
    {
        songs.emplace_back(SongCreate(), std::free);
        SONG* s = songs.back().get();
        StrCopy(s->Desc.cFileName, Write(Name, Bytes(10, 'x')).c_str());
        s->General.lLength = Length;
        s->Bounds.timMain = {0, Length};
        if (!Pcm.empty())
            fake::SetAudio(s->Desc.cFileName, {kRate, 1}, std::move(Pcm));
        return s;
    }
    // Waits until the worker has nothing left and has told of each of Jobs, then collects.
    int Collect(int Jobs)
    {
        ANAPROGRESS p;
        for (int waited = 0; waited < 20000 && (AnaGetProgress(&p), p.iTotal != 0 || notices < Jobs); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GE(notices.exchange(0), Jobs);
        return AnaCollect();
    }
    std::vector<std::unique_ptr<SONG, void (*)(void*)>> songs;
};

TEST_F(Analysis, MeasuresInTheBackgroundKeepsUserMarksAndForgetsALibraryLetGo)
{
    SONG* trimmed = Track("trimmed.mp3", 10500, Tone(1000, 8000, 1000));
    SONG* marked = Track("marked.mp3", 4000, Tone(0, 4000, 0));
    marked->Bounds.timMain = {500, 3500};
    SONG* broken = Track("broken.mp3", 3000, {});
    SONG* missing = Track("missing.mp3", 3000, Tone(0, 3000, 0));
    std::filesystem::remove(missing->Desc.cFileName);
    SONG* deferred = Track("deferred.mp3", 0, Tone(0, 3000, 0));
    deferred->General.bInfoNotRead = 1;
    for (SONG* s : {trimmed, marked, broken, missing, deferred, trimmed})
        AnaQueue(s);
    EXPECT_EQ(trimmed->Analysis.iState, ANA_NONE) << "nothing reaches a song before it is collected";
    EXPECT_EQ(Collect(4), 3) << "the missing file is no result";

    const auto& a = trimmed->Analysis;
    EXPECT_TRUE(a.iState == ANA_DONE && a.iVersion == ANA_VERSION);
    EXPECT_NEAR(a.iLoudness, -2300, 15) << "a -20 dBFS sine, mono";
    EXPECT_NEAR(a.iPeak, -2000, 5);
    EXPECT_NEAR(a.timMusic.lStart, 1000, 10);
    EXPECT_NEAR(a.timMusic.lEnd, 9000, 10);
    EXPECT_TRUE(trimmed->Bounds.timMain.lStart == a.timMusic.lStart && trimmed->Bounds.timMain.lEnd == a.timMusic.lEnd);
    EXPECT_EQ(trimmed->General.lLength, 10000u) << "the decoded length";
    EXPECT_TRUE(marked->Analysis.iState == ANA_DONE && marked->Bounds.timMain.lStart == 500 &&
                marked->Bounds.timMain.lEnd == 3500);
    EXPECT_EQ(broken->Analysis.iState, ANA_UNDECODABLE);
    EXPECT_EQ(missing->Analysis.iState + deferred->Analysis.iState, ANA_NONE) << "left for later";
    EXPECT_TRUE(std::isnan(AnaGetLoudness(missing)));

    AnaQueue(trimmed);  // measured already
    fake::SetAudio(trimmed->Desc.cFileName, {kRate, 1}, Tone(500, 8000, 1500));
    AnaRequeue(trimmed);  // the user asks again: the part an earlier measurement set moves along
    EXPECT_EQ(Collect(1), 1);
    EXPECT_NEAR(trimmed->Bounds.timMain.lStart, 500, 10);

    AnaRequeue(marked);
    AnaForgetAll();  // the library is let go before the result is collected
    EXPECT_EQ(Collect(0), 0);
}

}  // namespace
