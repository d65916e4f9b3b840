// The two worker threads and their passes. The information thread reads the
// active player's status and refreshes the live fields of the control panel;
// the mixer thread steps a running mix and starts the next one when the
// active player passes the mix-start position.
#pragma once

#include <cstdint>

// Pause between two passes of each loop: fades stay smooth (a step is
// computed afresh from the incoming position on every pass) while an idle
// program uses almost no CPU.
constexpr unsigned MIX_POLL_INTERVAL_MS = 5;

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
