// Opening stored files by archive path - "archive::entry", or a bare entry
// name looked up in every open archive - on top of the process-wide list of
// open readers; and the test whether a file or stream holds a container, and
// where it starts (at the first byte, or wherever a locator record points).
//
// These only test or look something up: apart from a null stream given to
// SFDS_IsSFDSStream they never raise, failure is a false or null result.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

class TSFDSCustomReader;

// The open reader registered under FileName (unless ForceNew), else a new
// file reader for it, which the library keeps (SFDS_KeepReader) until
// shut-down; no reader is opened on demand before start-up. Null when the
// file holds no container or cannot be read.
//
// Threads: like the list of open readers these run on the thread that
// started the library; the streams they hand out may be read on any one
// thread at a time.
TSFDSCustomReader* SFDS_GetReader(const std::string& FileName, bool ForceNew,
                                  TStreamAutorenameMode StreamAutorenameMode);

// On true, Stream is a new stream of the stored file's decompressed bytes
// (the caller's) and StreamSize its FileSize; on false Stream is null and
// StreamSize 0. "archive::entry" looks only in that archive, opening it on
// demand; a bare name (or "::entry") takes the first unnamed reader that has
// it, else the first reader in registration order that has it. The digest is
// not checked here.
bool SFDS_OpenStream(const std::string& ArchivePath, std::unique_ptr<TStream>& Stream, std::int64_t& StreamSize,
                     TStreamAutorenameMode StreamAutorenameMode);

// True when the file holds a valid container header at offset 0 or where a
// locator record points; StartOffset is then the container's absolute start,
// otherwise -1. Directories and missing files are no containers.
bool SFDS_IsSFDSFile(const std::string& FileName, std::int64_t& StartOffset);
bool SFDS_IsSFDSFile(const std::string& FileName, std::int64_t& StartOffset, TGUID& FormatGUID);

// The same on a stream: the header is looked for at the stream's current
// position, then at 0, then through a locator at byte 46 or in the last 12
// bytes (relative to the current position, then to 0). A locator counts only
// with an offset above 0 and a valid header there. FormatGUID is the found
// header's GUID, all zero on false. The stream is left where the last read
// left it. Raises ESFDSNilSourceStream for a null stream only.
bool SFDS_IsSFDSStream(TStream* Stream, std::int64_t& StartOffset, TGUID& FormatGUID);
