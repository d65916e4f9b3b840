// The two worker threads and their passes. The information thread reads the
// active player's status and refreshes the live fields of the control panel;
// the mixer thread steps a running mix and starts the next one when the
// active player passes the mix-start position.
#pragma once

#include <cstdint>

// Pause between two passes of each loop while a mix runs or is about to
// start: every fade step is computed afresh from the incoming position.
constexpr unsigned MIX_POLL_INTERVAL_MS = 5;
// The pause at other times. Each pass costs round trips to the players,
// which under Wine take far more processor time than the pass itself.
constexpr unsigned MIX_IDLE_INTERVAL_MS = 100;
// How close to the mix-start position the short pause applies: several idle
// pauses, so a change starts on time.
constexpr std::int32_t MIX_NEAR_START_MS = 400;
static_assert(MIX_NEAR_START_MS >= 2 * static_cast<std::int32_t>(MIX_IDLE_INTERVAL_MS), "a start between two idle passes");

// Starts the information thread, then the mixer thread.
void InitThreads();
// Called when the control panel closes: the threads go on polling until the
// process ends.
void DoneThreads();
// Ends both loops and waits for them (for hosts that must tear down, such as tests).
void StopThreads();

unsigned InfoThread(void* Param);
unsigned MixerThread(void* Param);

// One pass of the mixer thread: FadeMixer(), then SongMixer().
void MainMixer();
void ReadStatus();
void SongMixer();
void FadeMixer();

// One pass of the information thread.
void ShowStatus();
void ShowStatusActPlayer();
void ShowStatusTestPlayer();
void ShowStatusBeat();
// Forgets what the display showed, so the next pass writes every field.
void ShowStatusReset();
// Forgets a running mix's bookkeeping, as at process start.
void FadeMixerReset();
