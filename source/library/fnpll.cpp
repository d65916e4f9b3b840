#include "fnpll.h"

#include "fnpl.h"

#include <cstring>

void PLLAddPL(LIST* lst, PL* pl) { ListAddItem(lst, pl); }

PL* PLLGetCurrentPL(LIST* lst) { return static_cast<PL*>(ListGetCurrentItem(lst)); }

int PLLSetCurrentPL(LIST* lst, PL* pl) { return ListSetCurrentItem(lst, pl); }

PL* PLLExistsPL(LIST* lst, const char* Name)
{
    LISTITEM* key = nullptr;
    return static_cast<PL*>(ListFindItemByAlg(lst, PLLCompProcFindByName, const_cast<char*>(Name), 0, &key));
}

int PLLCompProcFindByName(LIST*, void* Data, void* Value, int)
{
    return std::strcmp(PLGetName(static_cast<PL*>(Data)), static_cast<const char*>(Value)) != 0;
}

void PLLFree(LIST* lst) { ListFree(lst, PLFreeProc); }

int PLLStore(LIST* lst, File& File, void* Param) { return ListStore(lst, File, PLStoreProc, Param); }

int PLLRestore(LIST* lst, File& File, void* Param)
{
    PLLFree(lst);
    return ListRestore(lst, File, PLRestoreProc, Param);
}
