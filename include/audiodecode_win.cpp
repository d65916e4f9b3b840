// Decoding through Media Foundation's source reader: whatever the system
// decodes (MP3, FLAC, WAV, ... on Windows 10/11; under Wine through
// GStreamer), converted by the reader to 32-bit float, or to 16-bit PCM
// where float is refused.
#include "platform.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
constexpr std::size_t kChunkSamples = 8192;

template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (p_ != nullptr)
            p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    T** operator&() { return &p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM on this thread as a worker thread has it, and Media Foundation, for
// the length of one call; a thread that already has COM keeps its own.
class MediaSession {
public:
    MediaSession()
        : com_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))),
          mf_(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE)))
    {
    }
    ~MediaSession()
    {
        if (mf_)
            MFShutdown();
        if (com_)
            CoUninitialize();
    }
    MediaSession(const MediaSession&) = delete;
    MediaSession& operator=(const MediaSession&) = delete;
    bool Ok() const { return mf_; }

private:
    bool com_, mf_;
};

class BufferLock {
public:
    explicit BufferLock(IMFMediaBuffer* Buffer) : buffer_(Buffer)
    {
        if (FAILED(buffer_->Lock(&data_, nullptr, &size_)))
            data_ = nullptr;
    }
    ~BufferLock()
    {
        if (data_ != nullptr)
            buffer_->Unlock();
    }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;
    const BYTE* Data() const { return data_; }
    DWORD Size() const { return size_; }

private:
    IMFMediaBuffer* buffer_;
    BYTE* data_ = nullptr;
    DWORD size_ = 0;
};

std::wstring Widen(const char* Path)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, Path, -1, nullptr, 0);
    if (n <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, Path, -1, wide.data(), n) != n)
        return {};
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

// Asks the reader for Subtype at the source's own rate and channels.
bool RequestOutput(IMFSourceReader* Reader, const GUID& Subtype)
{
    ComRef<IMFMediaType> type;
    return SUCCEEDED(MFCreateMediaType(&type)) && SUCCEEDED(type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) &&
           SUCCEEDED(type->SetGUID(MF_MT_SUBTYPE, Subtype)) &&
           SUCCEEDED(Reader->SetCurrentMediaType(kStream, nullptr, type.get()));
}

struct OUTPUT {
    AUDIOFORMAT Format;
    bool Float;  // else 16-bit PCM
};

bool ReadOutput(IMFSourceReader* Reader, OUTPUT* Out)
{
    ComRef<IMFMediaType> type;
    GUID subtype{};
    UINT32 rate = 0, channels = 0, bits = 0;
    if (FAILED(Reader->GetCurrentMediaType(kStream, &type)) || FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels)) ||
        FAILED(type->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits)))
        return false;
    Out->Float = subtype == MFAudioFormat_Float && bits == 32;
    Out->Format = {static_cast<int>(rate), static_cast<int>(channels)};
    return rate > 0 && channels > 0 && channels <= 64 && (Out->Float || (subtype == MFAudioFormat_PCM && bits == 16));
}

// Hands one decoded buffer to the sink in chunks of whole frames; false when
// the sink said stop.
bool Deliver(const OUTPUT& Out, const BYTE* Data, DWORD Size, AUDIOSINK Sink, void* Param)
{
    std::array<float, kChunkSamples> chunk;
    const std::size_t channels = static_cast<std::size_t>(Out.Format.iChannels);
    const std::size_t sampleBytes = Out.Float ? 4 : 2;
    const std::size_t perChunk = kChunkSamples / channels * channels;
    std::size_t samples = Size / sampleBytes / channels * channels;
    for (; samples > 0; Data += perChunk * sampleBytes) {
        const std::size_t n = std::min(samples, perChunk);
        if (Out.Float) {
            std::memcpy(chunk.data(), Data, n * 4);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                std::int16_t s;
                std::memcpy(&s, Data + 2 * i, 2);
                chunk[i] = s / 32768.0f;
            }
        }
        samples -= n;
        if (Sink(&Out.Format, chunk.data(), n / channels, Param) == 0)
            return false;
    }
    return true;
}

int DecodeWith(IMFSourceReader* Reader, AUDIOSINK Sink, void* Param)
{
    OUTPUT out{};
    if (FAILED(Reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE)) ||
        FAILED(Reader->SetStreamSelection(kStream, TRUE)) ||
        !(RequestOutput(Reader, MFAudioFormat_Float) || RequestOutput(Reader, MFAudioFormat_PCM)) ||
        !ReadOutput(Reader, &out))
        return AUDIO_CANNOTDECODE;
    for (;;) {
        DWORD flags = 0;
        LONGLONG time = 0;
        ComRef<IMFSample> sample;
        if (FAILED(Reader->ReadSample(kStream, 0, nullptr, &flags, &time, &sample)) ||
            (flags & MF_SOURCE_READERF_ERROR) != 0)
            return AUDIO_CANNOTDECODE;
        if ((flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0 && !ReadOutput(Reader, &out))
            return AUDIO_CANNOTDECODE;
        if (sample.get() != nullptr) {
            ComRef<IMFMediaBuffer> buffer;
            if (FAILED(sample->ConvertToContiguousBuffer(&buffer)))
                return AUDIO_CANNOTDECODE;
            const BufferLock lock(buffer.get());
            if (lock.Data() == nullptr)
                return AUDIO_CANNOTDECODE;
            if (!Deliver(out, lock.Data(), lock.Size(), Sink, Param))
                return AUDIO_STOPPED;
        }
        if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0)
            return AUDIO_DONE;
    }
}

}  // namespace

int AudioDecode(const char* Path, AUDIOSINK Sink, void* Param)
{
    const MediaSession session;
    if (!session.Ok())
        return AUDIO_NODECODER;
    const std::wstring path = Widen(Path);
    ComRef<IMFSourceReader> reader;
    if (path.empty() || FAILED(MFCreateSourceReaderFromURL(path.c_str(), nullptr, &reader)))
        return AUDIO_CANNOTDECODE;
    return DecodeWith(reader.get(), Sink, Param);
}
