// Extraction of stored files: the result codes every extraction and copy
// returns, the chunk size, the progress callback, the selection of entries by
// mask and the destination folder a walk extracts into. The operations
// themselves are methods of TSFDSCustomReader (sfds_reader.h).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "runtime/FileStream.h"
#include "runtime/FileSystem.h"

class TSFDSCustomSource;

// Result codes of every extraction and copy operation.
inline constexpr std::int32_t SFDS_OK = 0;
inline constexpr std::int32_t SFDS_ERR_OUT_OF_MEMORY = 11;  // the copy buffer could not be allocated
inline constexpr std::int32_t SFDS_ERR_MD5 = 13;  // the extracted data's digest differs from the entry's
inline constexpr std::int32_t SFDS_ERR_NO_STREAM = 15;  // no such stored file, it could not be opened, or a null stream
inline constexpr std::int32_t SFDS_ERR_FILE_OPEN = 16;  // no destination, or it could not be created
inline constexpr std::int32_t SFDS_ERR_READ = 18;
inline constexpr std::int32_t SFDS_ERR_WRITE = 19;
inline constexpr std::int32_t SFDS_ERR_ABORTED = 21;  // the progress handler cancelled

// One chunk: every read of an extraction or copy asks for this many bytes.
inline constexpr std::int32_t SFDS_CopyBufferSize = 32768;

// Called after every chunk, always on the thread that called the operation.
// Progress counts the bytes read so far (this chunk included), MaxProgress is
// the expected total, ThisTime this chunk's bytes. Cancel arrives false; set
// it to stop the operation after this chunk.
using TSFDSProgressEvent =
    std::function<void(TSFDSCustomSource* Sender, std::int64_t Progress, std::int64_t MaxProgress,
                       std::int64_t ThisTime, bool& Cancel, const std::string& ArcName, const std::string& StreamName)>;

// The disk name a stored file gets below DestinationDir (a separator is put
// between them; an empty DestinationDir is the current folder). False, with
// DiskFileName empty, when the stored name would leave that folder or cannot
// be a file's name there: empty, a `..` component, a leading `\` or `/`, a
// drive or stream colon, or a NUL character (the system would cut the name
// there, so that `a\0b` became `a`).
bool SFDS_ExtractFileName(const std::string& DestinationDir, const std::string& FileName, std::string& DiskFileName);

// Whether a walk below a folder takes the stored file FileName: Mask "*"
// and "*.*" take every entry, any other mask list selects by
// SFDS_MatchesMaskList.
bool SFDS_MaskSelects(const std::string& FileName, const std::string& Mask);

// The folder a walk extracts into. Stored names are joined to it as
// SFDS_ExtractFileName does, and their files are created below it without
// ever leaving it: a folder on the way that is a link (or a reparse point) is
// refused rather than followed, a link or hard-linked file in the file's
// place is replaced rather than written through, and a pipe, device or socket
// there is refused without being opened for writing. Folders stay open and
// known from one entry to the next, so a folder is read at most once per walk.
class TSFDSExtractDestination {
public:
    explicit TSFDSExtractDestination(const std::string& DestinationDir);

    const std::string& DestinationDir() const { return FDestinationDir; }
    // The disk name of the stored name FileName below the folder
    // (SFDS_ExtractFileName); a name that would leave the folder or cannot be
    // a file's name there gives false and, in Refusal, the error Create
    // raises for it. Nothing is opened.
    bool DiskFileName(const std::string& FileName, std::string& DiskFileName, std::exception_ptr& Refusal) const;
    // The file for the stored name FileName, created (or emptied) for
    // writing. Raises ESFDSException naming the stored name when it would
    // leave the folder or leads through a link, EFCreateError with the reason
    // when the file or a folder cannot be created, when a pipe, device or
    // socket has the name, or when the file of that name is Keep (the archive
    // being read, which is never written over; null: none).
    std::unique_ptr<TFileStream> Create(const std::string& FileName, const TFileIdentity* Keep);

private:
    std::string FDestinationDir;
    TDestinationFolder FFolder;
};
