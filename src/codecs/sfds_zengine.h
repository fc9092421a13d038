// The deflate implementations behind the zlib adapters and the format-1
// plug-in. zlib is always there. Where the build found faster libraries, a
// fast engine adds an inflater (streaming, or whole entries at once) and a
// whole-buffer deflater (the Linux build inflates with ISA-L, streaming; the
// Windows build inflates whole entries with libdeflate), and zlib does what
// it lacks. All read and write plain zlib streams (RFC 1950), so either
// engine reads what the other writes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TZEngine { ZLib, Fast };

// Whether this build has the fast engine: a fast inflater, deflater or both.
bool ZFastEngineAvailable();
// Whether the fast engine inflates with an inflater of its own.
bool ZFastInflateAvailable();
// Whether the fast engine deflates (ZFastDeflate does the work).
bool ZFastDeflateAvailable();
// The engines this build has, zlib first.
std::vector<TZEngine> ZAvailableEngines();
// What the engine stands on, for reports: "zlib" or the fast libraries' names.
const char* ZEngineName(TZEngine Engine);

// The engine that new streams take: the fast one where there is one. Streams
// keep the engine they were created with; tests, benchmarks and fuzz targets
// switch it to compare the two. Asking for the fast engine where there is none
// leaves zlib.
TZEngine ZDefaultEngine();
void ZSetDefaultEngine(TZEngine Engine);

// A fast inflater of one zlib stream with a 32 KiB window and no preset
// dictionary; the zlib decompression adapter picks it only for such streams.
// It judges damaged data as zlib does, by asking zlib's rules
// (sfds_deflatecheck.h) before it decodes, and leaves to zlib every stream
// whose verdict it cannot give as zlib would.
class TZFastInflater {
public:
    virtual ~TZFastInflater() = default;
    // Back to the state before the first byte of a stream.
    virtual void Reset() = 0;
    // Advances Z.next_in/avail_in and Z.next_out/avail_out as zlib's inflate
    // does and returns Z_OK or Z_STREAM_END (once the trailer checked out).
    // InputEnded: no input follows what Z holds. With no input left it still
    // hands out what it holds decoded. With Z_STREAM_END, avail_in counts
    // every byte after the trailer it was given, buffered ones included
    // (next_in then no longer points at them): the caller gives that many
    // back. A negative result (Z_DATA_ERROR) hands the stream to zlib, which
    // decodes it again from its start: data zlib may judge otherwise, and
    // streams this inflater leaves to zlib.
    virtual int Inflate(z_stream& Z, bool InputEnded) = 0;
};

// What the caller expects of a stream: its decompressed size and the size of
// its compressed form (negative: unknown). Only hints, never trusted: they
// size memory and pick the way, and nothing that comes out depends on them.
struct TZSizeHint {
    std::int64_t Plain = -1;
    std::int64_t Packed = -1;
};

// The fast engine's inflater for a new stream, or null where zlib inflates:
// the streaming inflater where the build has one, else the whole-entry
// inflater for streams it takes.
std::unique_ptr<TZFastInflater> ZNewFastInflater(TZSizeHint Hint);
// Its library for reports, or null where zlib inflates.
const char* ZFastInflaterLibrary();
// Tests and fuzz targets run the whole-entry inflater where the build streams
// (the Windows build's inflater, on Linux): true makes ZNewFastInflater take
// it where the build has it; false (the default) goes back to the build's.
void ZPreferWholeInflater(bool Prefer);

// Largest entry the fast engine holds in memory whole: the entry a
// whole-buffer deflater compresses, and the decompressed size up to which the
// whole-entry inflater decodes an entry in one call. Whole-buffer work is
// several times as fast as zlib's streaming; beyond this size the memory (the
// entry and its compressed form, per thread) outweighs the gain for the rare
// huge entry, which streams through zlib instead.
inline constexpr std::int64_t ZWholeEntryLimit = std::int64_t{64} << 20;

// Supplied by the engine parts the build picked (engine/inflate_*.cpp and
// engine/deflate_*.cpp):
// The streaming inflater's library (ISA-L), or null where the build has none.
const char* ZStreamInflaterLibrary();
std::unique_ptr<TZFastInflater> ZNewStreamInflater();
// The whole-entry inflater's library (libdeflate), or null where the build
// has none. It is null for streams it would not take by their hint: more
// than ZWholeEntryLimit bytes, or shrunk too little to pay.
const char* ZWholeInflaterLibrary();
std::unique_ptr<TZFastInflater> ZNewWholeInflater(TZSizeHint Hint);
// The fast deflater's library for reports, or null where zlib deflates.
const char* ZFastDeflaterLibrary();
// Deflates In as one zlib stream at zlib level Level (1 to 9) into Out;
// false where zlib deflates.
bool ZFastDeflate(std::string_view In, int Level, std::string& Out);
