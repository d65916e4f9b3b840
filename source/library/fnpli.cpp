#include "fnpli.h"

#include "fileio.h"
#include "fnsong.h"
#include "string2.h"

#include <cstdlib>

namespace {

// The item's fields in file order after the song reference: the options
// come before the override values.
template <class Io>
bool Fields(PLI* pli, Io io)
{
    std::int32_t* flags[] = {&pli->bPlayed,          &pli->UpdFlag.bVolume, &pli->UpdFlag.bPanning,
                             &pli->UpdFlag.bEffect,  &pli->UpdFlag.bLengths, &pli->UpdFlag.bFade,
                             &pli->UpdFlag.bBounds,  &pli->UpdFlag.bOptions, &pli->Option.iFade,
                             &pli->Option.iIntro,    &pli->Option.iDuo,      &pli->Option.iBeats,
                             &pli->Option.iEffect,   &pli->Override.iVolume, &pli->Override.iPanning};
    bool ok = true;
    for (std::int32_t* field : flags)
        ok = io(*reinterpret_cast<std::uint32_t*>(field)) && ok;
    std::uint32_t* values[] = {&pli->Override.lFadeLen, &pli->Override.lDuoLen,
                               reinterpret_cast<std::uint32_t*>(&pli->Override.iFadeType),
                               &pli->Override.timMainPart.lStart, &pli->Override.timMainPart.lEnd};
    for (std::uint32_t* field : values)
        ok = io(*field) && ok;
    std::uint32_t effect = 0;  // the effect reference means nothing on disk
    ok = io(effect) && ok;
    return io(*reinterpret_cast<std::uint32_t*>(&pli->Override.Effect.iPerBeats)) && ok;
}

}  // namespace

PLI* PLICreate(SONG* Song)
{
    auto* pli = static_cast<PLI*>(std::calloc(1, sizeof(PLI)));
    if (pli == nullptr)
        return nullptr;
    pli->psngSong = Song;
    pli->Option = {OPTION_KEEP, OPTION_KEEP, OPTION_KEEP, OPTION_KEEP, OPTION_KEEP};
    return pli;
}

SONG* PLIGetSong(const PLI* pli) { return pli != nullptr ? pli->psngSong : nullptr; }

char* PLIGetDesc(PLI* pli) { return pli != nullptr ? pli->cDesc : nullptr; }

char* PLIGetTitleDesc(const PLI* pli, char* S)
{
    if (pli == nullptr || S == nullptr)
        return nullptr;
    char title[MAXL_FULLTITLE + 1];
    SongGetFullTitle(pli->psngSong, title);
    if (pli->cDesc[0] == '\0')
        StrCopy(S, MAXL_PLITITLE + 1, title);
    else
        StrFormat(S, MAXL_PLITITLE + 1, "%s [%s]", title, pli->cDesc);
    return S;
}

std::uint32_t PLIGetStart(const PLI* pli)
{
    if (pli == nullptr)
        return 0;
    return pli->UpdFlag.bBounds ? pli->Override.timMainPart.lStart : SongGetStart(pli->psngSong);
}

std::uint32_t PLIGetEnd(const PLI* pli)
{
    if (pli == nullptr)
        return 0;
    return pli->UpdFlag.bBounds ? pli->Override.timMainPart.lEnd : SongGetEnd(pli->psngSong);
}

std::uint32_t PLIGetLength(const PLI* pli) { return PLIGetEnd(pli) - PLIGetStart(pli); }

std::uint32_t PLIGetBeatOffs(const PLI* pli) { return SongGetBeatOffs(PLIGetSong(pli)); }

std::uint32_t PLIGetBeatLen(const PLI* pli) { return SongGetBeatLen(PLIGetSong(pli)); }

int PLIFreeProc(void*) { return 1; }

int PLIStoreProc(void* Data, File& File, void* Param)
{
    auto* pli = static_cast<PLI*>(Data);
    const auto* index = static_cast<const SONGINDEX*>(Param);
    bool ok = File.WriteI32(index->IDOf(pli->psngSong));
    ok = File.WriteText(pli->cDesc, sizeof pli->cDesc) && ok;
    return Fields(pli, [&](std::uint32_t& v) { return File.WriteU32(v); }) && ok ? 1 : 0;
}

int PLIRestoreProc(void** Data, File& File, void* Param)
{
    const auto* index = static_cast<const SONGINDEX*>(Param);
    std::int32_t songID = -1;
    if (!File.ReadI32(songID))
        return 0;
    PLI* pli = PLICreate(index->SongOf(songID));
    if (pli == nullptr)
        return 0;
    const bool ok = File.Read(pli->cDesc, sizeof pli->cDesc) &&
                    Fields(pli, [&](std::uint32_t& v) { return File.ReadU32(v); });
    if (!ok) {
        std::free(pli);
        return 0;
    }
    pli->cDesc[MAXL_PLIDESC - 1] = '\0';
    pli->Override.Effect.Effect = nullptr;
    *Data = pli;
    return 1;
}
