#include "playermodel.h"

#include "fileio.h"
#include "mp3.h"
#include "winamp.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

constexpr int kTextCodes[] = {IPC_PLAYFILE, IPC_CHDIR, IPC_SETSKIN, IPC_EXECPLUG};
constexpr int kEqDefault = 31;  // the middle of a band's 0..63
constexpr std::size_t kFrameScan = 64 * 1024;  // where the first frame may lie behind an ID3v2 tag

template <class T>
void AppendField(std::string& line, const char* name, T value)
{
    line += ' ';
    line += name;
    line += '=';
    line += std::to_string(value);
}

// Takes "name=<number>" off the front of text.
template <class T>
bool TakeNumber(std::string_view& text, std::string_view name, T* value)
{
    if (text.substr(0, name.size()) != name || text.substr(name.size(), 1) != "=")
        return false;
    text.remove_prefix(name.size() + 1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    if (error != std::errc())
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

bool TakeBlank(std::string_view& text)
{
    if (text.empty() || text.front() != ' ')
        return false;
    text.remove_prefix(1);
    return true;
}

// Whether the first MPEG frame carries a Xing, "Info" or VBRI header, whose
// frame count times the file exactly. A frame not found counts as none: the
// length is then taken for the estimate it may be.
bool HasFrameCount(const std::string& FileName)
{
    File file = File::OpenRead(FileName.c_str());
    unsigned char id3[10];
    std::int64_t start = 0;
    if (file.Read(id3, sizeof id3) && std::memcmp(id3, "ID3", 3) == 0)
        start = ((id3[5] & 0x10) != 0 ? 20 : 10) +
                ((id3[6] & 0x7F) << 21 | (id3[7] & 0x7F) << 14 | (id3[8] & 0x7F) << 7 | (id3[9] & 0x7F));
    std::vector<unsigned char> head(kFrameScan);
    head.resize(file.Seek(start) ? file.ReadSome(head.data(), head.size()) : 0);
    const auto holds = [&](std::size_t at, const char* name) {
        return at + 4 <= head.size() && std::memcmp(&head[at], name, 4) == 0;
    };
    for (std::size_t p = 0; p + 4 <= head.size(); ++p) {
        if (head[p] != 0xFF || (head[p + 1] & 0xE0) != 0xE0)
            continue;
        MP3INFO info{};
        MP3InfoExamine(static_cast<std::uint32_t>(head[p] | head[p + 1] << 8 | head[p + 2] << 16 | head[p + 3] << 24), &info);
        if (info.lBitRate == 0 || info.lSampleRate == 0)
            continue;
        const bool mono = info.iChannelMode == 3;
        const std::size_t xing = p + 4 + (info.iVersion == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
        return holds(xing, "Xing") || holds(xing, "Info") || holds(p + 36, "VBRI");
    }
    return false;
}

}  // namespace

PlayerTrackInfo PlayerProbeMP3(const std::string& FileName)
{
    MP3TAG tag;
    const int hasTag = MP3TagRead(FileName.c_str(), &tag);
    MP3INFO info{};
    if (!MP3InfoRead(FileName.c_str(), &info, hasTag))
        return {};
    return {info.lLength, info.lSampleRate, info.lBitRate, info.iChannelMode == 3 ? 1 : 2, HasFrameCount(FileName)};
}

// ---- journal ----

std::string PlayerJournalLine(const PlayerJournalEntry& Entry)
{
    std::string line = "t=" + std::to_string(Entry.t);
    line += Entry.message == PlayerMessage::User ? " USER" : " COMMAND";
    AppendField(line, "code", Entry.code);
    AppendField(line, "arg", Entry.arg);
    AppendField(line, "state", Entry.state);
    AppendField(line, "pos", Entry.pos);
    AppendField(line, "vol", Entry.vol);
    AppendField(line, "pan", Entry.pan);
    if (Entry.hasText) {
        line += " text=";
        for (const char c : Entry.text)
            line += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    }
    return line;
}

bool PlayerJournalParse(std::string_view Line, PlayerJournalEntry* Entry)
{
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r'))
        Line.remove_suffix(1);
    PlayerJournalEntry e;
    if (!TakeNumber(Line, "t", &e.t) || !TakeBlank(Line))
        return false;
    if (Line.substr(0, 5) == "USER ") {
        e.message = PlayerMessage::User;
        Line.remove_prefix(5);
    } else if (Line.substr(0, 8) == "COMMAND ") {
        e.message = PlayerMessage::Command;
        Line.remove_prefix(8);
    } else {
        return false;
    }
    if (!TakeNumber(Line, "code", &e.code) || !TakeBlank(Line) || !TakeNumber(Line, "arg", &e.arg) ||
        !TakeBlank(Line) || !TakeNumber(Line, "state", &e.state) || !TakeBlank(Line) ||
        !TakeNumber(Line, "pos", &e.pos) || !TakeBlank(Line) || !TakeNumber(Line, "vol", &e.vol) ||
        !TakeBlank(Line) || !TakeNumber(Line, "pan", &e.pan))
        return false;
    if (!Line.empty()) {
        if (Line.substr(0, 6) != " text=")
            return false;
        e.hasText = true;
        e.text = std::string(Line.substr(6));
    }
    if (Entry != nullptr)
        *Entry = std::move(e);
    return true;
}

// ---- the player ----

PlayerModel::PlayerModel(Clock clock, Probe probe)
    : clock_(std::move(clock)), probe_(std::move(probe))
{
    eq_.fill(kEqDefault);
    eq_[PLAYER_EQITEMS - 2] = 0;
    eq_[PLAYER_EQITEMS - 1] = 0;
}

void PlayerModel::SetJournal(JournalSink sink)
{
    std::lock_guard lock(mutex_);
    journal_ = std::move(sink);
}

void PlayerModel::SetWindowRequest(WindowRequest request)
{
    std::lock_guard lock(mutex_);
    windowRequest_ = std::move(request);
}

void PlayerModel::SetOutput(PlayerOutput* output)
{
    std::lock_guard lock(mutex_);
    output_ = output;
}

std::uint32_t PlayerModel::CurrentPos() const
{
    if (state_ != PlayerState::Playing)
        return markPos_;
    const std::uint64_t pos = markPos_ + (clock_() - markTime_);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(pos, 0x7FFFFFFF));
}

std::uint32_t PlayerModel::Length(const Entry& entry)
{
    return entry.mediaLength != 0 && !entry.info.bExactLength ? entry.mediaLength : entry.info.lLength;
}

// Where the output sounds the target, its position is the position: it
// holds while the sound gets going (at most PLAYER_HOLDMS), and the track
// ends when the media has played out. Where it plays nothing, the own clock
// runs and a track that has reached its length stops, at the moment of the
// next look.
void PlayerModel::Settle()
{
    const PlayerHeard heard = output_ != nullptr ? output_->Heard(moves_) : PlayerHeard{};
    const std::uint64_t now = clock_();
    const bool holding = heard.pos == PLAYER_POS_PENDING && now - movedAt_ < PLAYER_HOLDMS;
    sounding_ = heard.pos >= 0 || heard.pos == PLAYER_POS_ENDED || holding;
    Entry* entry = Current();
    if (heard.length != 0 && entry != nullptr) {
        entry->mediaLength = heard.length;
        trackLength_ = Length(*entry);
    }
    if (state_ != PlayerState::Playing)
        return;
    if (heard.pos >= 0 || holding) {
        markPos_ = heard.pos >= 0 ? static_cast<std::uint32_t>(std::min<std::int64_t>(heard.pos, 0x7FFFFFFF)) : markPos_;
        markTime_ = now;
    }
    if (heard.pos == PLAYER_POS_ENDED || (!sounding_ && trackLength_ != 0 && CurrentPos() >= trackLength_))
        Stop();
}

void PlayerModel::Publish()
{
    if (output_ == nullptr)
        return;
    const Entry* entry = Current();
    output_->Follow({entry != nullptr ? entry->file : std::string(), load_, state_, markPos_, markTime_, moves_, volume_,
                     panning_});
}

std::int32_t PlayerModel::Answer() const
{
    return state_ == PlayerState::Stopped ? -1 : static_cast<std::int32_t>(CurrentPos());
}

PlayerModel::Entry* PlayerModel::Current()
{
    if (listPos_ < 0 || static_cast<std::size_t>(listPos_) >= playlist_.size())
        return nullptr;
    return &playlist_[static_cast<std::size_t>(listPos_)];
}

const PlayerModel::Entry* PlayerModel::Current() const { return const_cast<PlayerModel*>(this)->Current(); }

void PlayerModel::Moved()
{
    ++moves_;
    movedAt_ = clock_();
}

void PlayerModel::Append(const std::string& file)
{
    if (file.empty())
        return;
    playlist_.push_back({file, probe_ ? probe_(file) : PlayerTrackInfo{}, 0});
    ++load_;
}

void PlayerModel::PlayFrom(std::uint32_t pos, PlayerState state)
{
    const Entry* entry = Current();
    if (entry == nullptr)
        return;
    trackLength_ = Length(*entry);
    state_ = state;
    markPos_ = pos;
    markTime_ = clock_();
    Moved();
}

void PlayerModel::Stop()
{
    state_ = PlayerState::Stopped;
    markPos_ = 0;
    markTime_ = clock_();
    Moved();
}

void PlayerModel::TogglePause()
{
    if (state_ == PlayerState::Playing) {
        markPos_ = CurrentPos();
        state_ = PlayerState::Paused;
    } else if (state_ == PlayerState::Paused) {
        state_ = PlayerState::Playing;
    }
    markTime_ = clock_();
    Moved();
}

// A playing or paused player goes on the same way with the new entry.
void PlayerModel::MoveTo(int listPos)
{
    if (listPos < 0 || static_cast<std::size_t>(listPos) >= playlist_.size() || listPos == listPos_)
        return;
    listPos_ = listPos;
    if (state_ != PlayerState::Stopped)
        PlayFrom(0, state_);
}

void PlayerModel::Seek(std::int64_t pos)
{
    if (state_ != PlayerState::Stopped)
        Jump(static_cast<std::uint32_t>(std::clamp<std::int64_t>(pos, 0, 0x7FFFFFFF)));
}

// 0 when moved, 1 when the position lies beyond the end (the track ends),
// -1 while stopped. Where the sound plays, the media knows its end.
std::int32_t PlayerModel::Jump(std::uint32_t pos)
{
    if (state_ == PlayerState::Stopped)
        return -1;
    if (!sounding_ && trackLength_ != 0 && pos >= trackLength_) {
        Stop();
        return 1;
    }
    markPos_ = pos;
    markTime_ = clock_();
    Moved();
    return 0;
}

std::string* PlayerModel::TextBuffer(int code)
{
    for (std::size_t i = 0; i < std::size(kTextCodes); ++i)
        if (kTextCodes[i] == code)
            return &texts_[i];
    return nullptr;
}

// Collects one character of a text command; true when the 0 completed it
// (the text then moves into entry).
bool PlayerModel::CollectText(std::uint32_t data, int code, PlayerJournalEntry& entry)
{
    std::string* text = TextBuffer(code);
    const char c = static_cast<char>(data & 0xFF);
    if (c != '\0') {
        if (text->size() < PLAYER_MAXTEXT)
            *text += c;
        return false;
    }
    entry.hasText = true;
    entry.text = std::move(*text);
    text->clear();
    return true;
}

std::int32_t PlayerModel::HandleUser(std::uint32_t data, int code, PlayerJournalEntry& entry)
{
    const auto value = static_cast<std::int32_t>(data);
    const Entry* current = Current();
    switch (code) {
    case IPC_GETVERSION:
        return PLAYER_VERSION;
    case IPC_PLAYFILE:
        if (CollectText(data, code, entry))
            Append(entry.text);
        return 0;
    case IPC_SETSKIN:
        if (CollectText(data, code, entry))
            skin_ = entry.text;
        return 0;
    case IPC_CHDIR:
    case IPC_EXECPLUG:
        CollectText(data, code, entry);
        return 0;
    case IPC_DELETE:
        Stop();
        playlist_.clear();
        listPos_ = 0;
        return 0;
    case IPC_STARTPLAY:
        PlayFrom(0, PlayerState::Playing);
        return 0;
    case IPC_ISPLAYING:
        return static_cast<std::int32_t>(state_);
    case IPC_GETOUTPUTTIME:
        if (data == 0)
            return Answer();
        return data == 1 && current != nullptr ? static_cast<std::int32_t>(Length(*current) / 1000) : 0;
    case IPC_JUMPTOTIME:
        return Jump(data);
    case IPC_WRITEPLAYLIST:
    case IPC_GETLISTPOS:
        return listPos_;
    case IPC_SETPLAYLISTPOS:
        if (value >= 0 && static_cast<std::size_t>(value) < playlist_.size())
            listPos_ = value;
        return 0;
    case IPC_SETVOLUME:
        volume_ = std::clamp(value, 0, 255);
        return 0;
    case IPC_SETPANNING:
        panning_ = std::clamp(value, -128, 127);
        return 0;
    case IPC_GETLISTLENGTH:
        return static_cast<std::int32_t>(playlist_.size());
    case IPC_GETINFO:
        if (current == nullptr)
            return 0;
        if (data == 0)
            return static_cast<std::int32_t>(current->info.lSampleRate);
        if (data == 1)
            return static_cast<std::int32_t>(current->info.lBitRate);
        return data == 2 ? current->info.iChannels : 0;
    case IPC_GETEQDATA:
        if (value < 0 || value >= PLAYER_EQITEMS)
            return 0;
        eqItem_ = value;
        return eq_[static_cast<std::size_t>(value)];
    case IPC_SETEQDATA:
        eq_[static_cast<std::size_t>(eqItem_)] = value;
        return 0;
    default:
        return 0;
    }
}

void PlayerModel::HandleCommand(int id)
{
    switch (id) {
    case WINAMP_BUTTON1:
        MoveTo(listPos_ - 1);
        break;
    case WINAMP_BUTTON2:
        PlayFrom(0, PlayerState::Playing);
        break;
    case WINAMP_BUTTON3:
        TogglePause();
        break;
    case WINAMP_BUTTON4:
        Stop();
        break;
    case WINAMP_BUTTON5:
        MoveTo(listPos_ + 1);
        break;
    case WINAMP_FFWD5S:
        Seek(static_cast<std::int64_t>(CurrentPos()) + PLAYER_SEEKSTEP);
        break;
    case WINAMP_REW5S:
        Seek(static_cast<std::int64_t>(CurrentPos()) - PLAYER_SEEKSTEP);
        break;
    case WINAMP_VOLUMEUP:
        volume_ = std::min(volume_ + PLAYER_VOLUMESTEP, 255);
        break;
    case WINAMP_VOLUMEDOWN:
        volume_ = std::max(volume_ - PLAYER_VOLUMESTEP, 0);
        break;
    case WINAMP_OPTIONS_AOT:
        topmost_ = !topmost_;
        break;
    default:
        break;
    }
}

void PlayerModel::Complete(PlayerJournalEntry& entry, PlayerMessage message, int code, std::int32_t arg,
                           std::uint64_t t) const
{
    entry.t = t;
    entry.message = message;
    entry.code = code;
    entry.arg = arg;
    entry.state = static_cast<int>(state_);
    entry.pos = Answer();
    entry.vol = volume_;
    entry.pan = panning_;
}

std::int32_t PlayerModel::User(std::uint32_t data, int code)
{
    PlayerJournalEntry entry;
    JournalSink sink;
    std::int32_t answer = 0;
    {
        std::lock_guard lock(mutex_);
        const std::uint64_t t = clock_();
        Settle();
        answer = HandleUser(data, code, entry);
        Complete(entry, PlayerMessage::User, code, static_cast<std::int32_t>(data), t);
        Publish();
        sink = journal_;
    }
    if (sink)
        sink(entry);
    return answer;
}

std::int32_t PlayerModel::Command(int id)
{
    PlayerJournalEntry entry;
    JournalSink sink;
    WindowRequest request;
    {
        std::lock_guard lock(mutex_);
        const std::uint64_t t = clock_();
        Settle();
        HandleCommand(id);
        Complete(entry, PlayerMessage::Command, id, 0, t);
        Publish();
        sink = journal_;
        if (id == WINAMP_OPTIONS_EQ || id == WINAMP_OPTIONS_PREFS || id == WINAMP_OPTIONS_AOT ||
            id == WINAMP_HELP_ABOUT)
            request = windowRequest_;
    }
    if (sink)
        sink(entry);
    if (request)
        request(id);
    return 0;
}

void PlayerModel::AddFile(const std::string& file)
{
    std::lock_guard lock(mutex_);
    Append(file.substr(0, PLAYER_MAXTEXT));
}

PlayerStatus PlayerModel::Status()
{
    std::lock_guard lock(mutex_);
    Settle();
    Publish();
    PlayerStatus status;
    status.state = state_;
    status.position = Answer();
    status.volume = volume_;
    status.panning = panning_;
    status.listPos = listPos_;
    status.topmost = topmost_;
    if (const Entry* entry = Current()) {
        status.file = entry->file;
        status.length = Length(*entry);
    }
    return status;
}

PlayerState PlayerModel::State() { return Status().state; }
std::int32_t PlayerModel::Position() { return Status().position; }
int PlayerModel::Volume() { return Status().volume; }
int PlayerModel::Panning() { return Status().panning; }

std::vector<std::string> PlayerModel::Playlist()
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> files;
    for (const Entry& entry : playlist_)
        files.push_back(entry.file);
    return files;
}

std::string PlayerModel::Skin()
{
    std::lock_guard lock(mutex_);
    return skin_;
}
