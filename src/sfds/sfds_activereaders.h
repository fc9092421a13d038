// The process-wide list of every reader that currently exists. Readers enter
// it in their constructor and leave it in their destructor; archive paths
// find open archives through it, and library shut-down frees whatever readers
// are still registered.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/PointerList.h"

class TSFDSCustomReader;

// One registration. The list owns the cell, never the reader in it (except at
// shut-down, see FreeReaders).
struct TSFDS_ActiveReaderCell {
    TSFDSCustomReader* Reader = nullptr;
};

class TSFDS_ActiveReaders : private TOwningList<TSFDS_ActiveReaderCell> {
public:
    TSFDS_ActiveReaders() = default;
    // Frees every reader still registered (FreeReaders).
    ~TSFDS_ActiveReaders() override;

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
    // Destroys every registered reader, newest first; each one takes itself
    // off the list while it is destroyed.
    void FreeReaders();
};

// The process-wide instance; null before start-up and after shut-down.
TSFDS_ActiveReaders* SFDS_ActiveReaderList();
// Start-up and shut-down of the instance (see sfds_library.h). Destroying it
// frees the readers still registered.
void SFDS_CreateActiveReaderList();
void SFDS_DestroyActiveReaderList();

// 0 without a list.
std::int32_t SFDS_ActiveReaderCount();
// Null when out of range or without a list.
TSFDSCustomReader* SFDS_ActiveReader(std::int32_t Index);
// Null when no reader has that name or without a list.
TSFDSCustomReader* SFDS_FindReader(const std::string& FileName);
