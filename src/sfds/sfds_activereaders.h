// The process-wide list of every reader that currently exists. Readers enter
// it in their constructor and leave it in their destructor; archive paths
// find open archives through it. The list never owns a reader: whoever
// created one frees it (readers opened on demand belong to the library
// scope, see SFDS_KeepReader in sfds_library.h).
//
// Threads: the list is not locked. It is used only on the thread that started
// the library (the program's main or GUI thread), and readers are created and
// destroyed on that thread too; other threads may read through streams a
// reader opened, never through the list.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/PointerList.h"

class TSFDSCustomReader;

// One registration. The list owns the cell, never the reader in it.
struct TSFDS_ActiveReaderCell {
    TSFDSCustomReader* Reader = nullptr;
};

class TSFDS_ActiveReaders : private TOwningList<TSFDS_ActiveReaderCell> {
public:
    TSFDS_ActiveReaders() = default;

    using TOwningList::Count;

    // Index of the new registration; -1 and nothing added for a null reader.
    std::int32_t AddReader(TSFDSCustomReader* Reader);
    // Drops the first registration of Reader; an unknown reader is ignored.
    void Remove(const TSFDSCustomReader* Reader);
    // First registered reader whose archive name equals FileName with only the
    // ASCII letters folded (both taken to UTF-16 first), or null. Names are
    // not expanded or resolved: a reader is found under the name it was
    // opened with.
    TSFDSCustomReader* FindFile(const std::string& FileName) const;
    // Null outside 0..Count - 1.
    TSFDSCustomReader* Items(std::int32_t Index) const;
};

// The process-wide instance; null before start-up and after shut-down.
TSFDS_ActiveReaders* SFDS_ActiveReaderList();
// Start-up and shut-down of the instance (see sfds_library.h). Readers still
// registered when it goes stay their owners'; they simply are no longer found.
void SFDS_CreateActiveReaderList();
void SFDS_DestroyActiveReaderList();

// 0 without a list.
std::int32_t SFDS_ActiveReaderCount();
// Null when out of range or without a list.
TSFDSCustomReader* SFDS_ActiveReader(std::int32_t Index);
// Null when no reader has that name or without a list.
TSFDSCustomReader* SFDS_FindReader(const std::string& FileName);
