// The substitute player's logic, free of any window system: tplayer.exe puts
// it behind a real Win32 window, the native test fakes behind a fake one.
//
// It answers the player command interface of winamp.h: WM_USER commands
// through User(data, code), WM_COMMAND identifiers through Command(id).
// - Text commands (IPC_PLAYFILE, IPC_CHDIR, IPC_SETSKIN, IPC_EXECPLUG) arrive
//   one character per message (the low byte of the data) and act on the 0;
//   each code collects its own text, at most PLAYER_MAXTEXT characters.
// - Time comes from an injected monotonic clock in milliseconds. While
//   playing, the position is where playback began plus the time elapsed on
//   that clock since, so it never drifts; a track that reaches its length
//   stops. An entry of unknown length (0) plays without end.
// - An output that plays the sound (PlayerOutput) rules instead once it is
//   attached: the position is the one it sounds, it holds while the sound
//   gets going, and the track ends when the media has played out.
// - Each entry's facts come from an injected probe when it is appended
//   (default: the MPEG header of the file).
// Every member may be called from several threads; the callbacks run on the
// caller's thread after the model has released its lock, so they may call
// back into the model.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

enum class PlayerState : int { Stopped = 0, Playing = 1, Paused = 3 };

constexpr std::uint32_t PLAYER_VERSION = 0x1000;  // IPC_GETVERSION
constexpr int PLAYER_MAXTEXT = 1024;
constexpr int PLAYER_VOLUMESTEP = 8;         // WINAMP_VOLUMEUP / WINAMP_VOLUMEDOWN
constexpr std::uint32_t PLAYER_SEEKSTEP = 5000;  // WINAMP_FFWD5S / WINAMP_REW5S, ms
constexpr int PLAYER_EQITEMS = 13;           // IPC_GETEQDATA: 10 bands, preamp, enabled, autoload

struct PlayerTrackInfo {
    std::uint32_t lLength = 0;  // ms; 0 when unknown
    std::uint32_t lSampleRate = 0;
    std::uint32_t lBitRate = 0;
    int iChannels = 0;
    bool bExactLength = false;  // counted from a Xing or VBRI header, not estimated from the bit rate
};

// Reads the facts from the file's MPEG header; all 0 when it has none.
PlayerTrackInfo PlayerProbeMP3(const std::string& FileName);

// ---- journal ----
//
// One line per message handled, fields separated by one blank:
//   t=<ms> <USER|COMMAND> code=<n> arg=<n> state=<0|1|3> pos=<n> vol=<n> pan=<n>[ text=<text>]
// t is the model's clock when the message arrived. code is the WM_USER
// command code or the WM_COMMAND identifier; arg is the WM_USER data as a
// signed 32-bit number (0 for WM_COMMAND). state, pos (the IPC_GETOUTPUTTIME
// answer: -1 while stopped), vol and pan are the player's after handling.
// The message that completes a text command adds text=, which runs to the
// end of the line; control characters in it are written as '?'.
// Example: t=1234 USER code=122 arg=204 state=1 pos=5010 vol=204 pan=0

enum class PlayerMessage { User, Command };

struct PlayerJournalEntry {
    std::uint64_t t = 0;
    PlayerMessage message = PlayerMessage::User;
    int code = 0;
    std::int32_t arg = 0;
    int state = 0;
    std::int32_t pos = -1;
    int vol = 0;
    int pan = 0;
    bool hasText = false;
    std::string text;
};

// The line without its line end.
std::string PlayerJournalLine(const PlayerJournalEntry& Entry);
// Parses one line (a trailing CR or LF is allowed); false when it is not a
// journal line.
bool PlayerJournalParse(std::string_view Line, PlayerJournalEntry* Entry);

// ---- sound ----
//
// What the player should sound like after each message. time is the model's
// clock at the last move's command or, while it plays, when pos held; moves
// counts the changes of state and
// position, so that an output tells a jump from the clock running on; load
// counts the files appended, so that a file that failed is tried again when
// it is loaded again.
struct PlayerTarget {
    std::string file;
    std::uint32_t load = 0;
    PlayerState state = PlayerState::Stopped;
    std::uint32_t pos = 0;
    std::uint64_t time = 0;
    std::uint32_t moves = 0;
    int volume = 255;
    int panning = 0;
};

// What the output hears of a target: the position it sounds in ms (>= 0) or
// one of the states below, and the media's own length in ms (0 unknown).
constexpr std::int64_t PLAYER_POS_UNKNOWN = -1;  // it plays nothing: the model's own clock runs
constexpr std::int64_t PLAYER_POS_ENDED = -2;    // the media has played out
constexpr std::int64_t PLAYER_POS_PENDING = -3;  // the sound is getting there: the position holds
struct PlayerHeard {
    std::int64_t pos = PLAYER_POS_UNKNOWN;
    std::uint32_t length = 0;
};
// How long the position holds for a sound that does not come: then the
// model's own clock runs as if the player were silent.
constexpr std::uint64_t PLAYER_HOLDMS = 2000;

// tplayer's audio back end. The model calls it under its lock, so it must
// not call back into the model.
class PlayerOutput {
public:
    virtual ~PlayerOutput() = default;
    virtual void Follow(const PlayerTarget& target) = 0;
    // For the target of these moves.
    virtual PlayerHeard Heard(std::uint32_t moves) = 0;
};

// ---- the player ----

struct PlayerStatus {
    PlayerState state = PlayerState::Stopped;
    std::int32_t position = -1;  // as IPC_GETOUTPUTTIME answers it
    int volume = 0;
    int panning = 0;
    int listPos = 0;
    std::string file;            // the current entry, empty when there is none
    std::uint32_t length = 0;    // of the current entry, ms
    bool topmost = false;
};

class PlayerModel {
public:
    using Clock = std::function<std::uint64_t()>;
    using Probe = std::function<PlayerTrackInfo(const std::string& FileName)>;
    using JournalSink = std::function<void(const PlayerJournalEntry& Entry)>;
    // WINAMP_OPTIONS_EQ, _PREFS, _AOT and WINAMP_HELP_ABOUT: the shell opens
    // its window or changes its style.
    using WindowRequest = std::function<void(int Id)>;

    explicit PlayerModel(Clock clock, Probe probe = PlayerProbeMP3);
    PlayerModel(const PlayerModel&) = delete;
    PlayerModel& operator=(const PlayerModel&) = delete;

    void SetJournal(JournalSink sink);
    void SetWindowRequest(WindowRequest request);
    // The output must outlive the model's use of it; null detaches it.
    void SetOutput(PlayerOutput* output);

    // WM_USER: data = wParam, code = lParam. Unknown codes answer 0.
    std::int32_t User(std::uint32_t data, int code);
    // WM_COMMAND: id = the low word of wParam. Answers 0.
    std::int32_t Command(int id);
    // Appends a file without a message (the document of the command line).
    void AddFile(const std::string& file);

    PlayerStatus Status();
    PlayerState State();
    std::int32_t Position();
    int Volume();
    int Panning();
    std::vector<std::string> Playlist();
    std::string Skin();

private:
    struct Entry {
        std::string file;
        PlayerTrackInfo info;
        std::uint32_t mediaLength = 0;  // as the output found it, ms
    };

    static std::uint32_t Length(const Entry& entry);
    void Settle();
    std::uint32_t CurrentPos() const;
    std::int32_t Answer() const;
    Entry* Current();
    const Entry* Current() const;
    void Moved();
    void Append(const std::string& file);
    void PlayFrom(std::uint32_t pos, PlayerState state);
    void Stop();
    void TogglePause();
    void MoveTo(int listPos);
    void Seek(std::int64_t pos);
    std::int32_t Jump(std::uint32_t pos);
    std::string* TextBuffer(int code);
    bool CollectText(std::uint32_t data, int code, PlayerJournalEntry& entry);
    std::int32_t HandleUser(std::uint32_t data, int code, PlayerJournalEntry& entry);
    void HandleCommand(int id);
    void Publish();
    void Complete(PlayerJournalEntry& entry, PlayerMessage message, int code, std::int32_t arg, std::uint64_t t) const;

    Clock clock_;
    Probe probe_;
    JournalSink journal_;
    WindowRequest windowRequest_;
    PlayerOutput* output_ = nullptr;
    std::uint32_t moves_ = 0;
    std::uint64_t movedAt_ = 0;  // clock at the last move
    std::uint32_t load_ = 0;
    bool sounding_ = false;      // the output plays the current target, or is about to

    std::mutex mutex_;
    std::vector<Entry> playlist_;
    int listPos_ = 0;
    PlayerState state_ = PlayerState::Stopped;
    std::uint32_t markPos_ = 0;    // position at markTime_ (the position while paused)
    std::uint64_t markTime_ = 0;   // clock when playing resumed from markPos_
    std::uint32_t trackLength_ = 0;  // of the entry that plays, where the silent clock ends it
    int volume_ = 255;
    int panning_ = 0;
    bool topmost_ = false;
    int eqItem_ = 0;
    std::array<int, PLAYER_EQITEMS> eq_{};
    std::string texts_[4];
    std::string skin_;
};
