// The deflate implementations behind the zlib adapters and the format-1
// plug-in. zlib is always there. Where the build found faster libraries, a
// fast engine adds a streaming inflater, a whole-buffer deflater or both (the
// Linux build has both; the Windows build the deflater alone), and zlib does
// what it lacks. All read and write plain zlib streams (RFC 1950), so either
// engine reads what the other writes.
#pragma once

#include <zlib.h>

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
class TZFastInflater {
public:
    virtual ~TZFastInflater() = default;
    // Back to the state before the first byte of a stream.
    virtual void Reset() = 0;
    // Advances Z.next_in/avail_in and Z.next_out/avail_out as zlib's inflate
    // does and returns Z_OK or Z_STREAM_END (once the trailer checked out);
    // malformed data returns Z_DATA_ERROR. With no input left it still hands
    // out what it holds decoded. With Z_STREAM_END, avail_in counts every
    // byte after the trailer it was given, buffered ones included (next_in
    // then no longer points at them): the caller gives that many back.
    virtual int Inflate(z_stream& Z) = 0;
};

// Supplied by the engine parts the build picked (engine/inflate_*.cpp and
// engine/deflate_*.cpp):
// The fast inflater's library for reports, or null where zlib inflates.
const char* ZFastInflaterLibrary();
// A new fast inflater, or null where zlib inflates.
std::unique_ptr<TZFastInflater> ZNewFastInflater();
// The fast deflater's library for reports, or null where zlib deflates.
const char* ZFastDeflaterLibrary();
// Deflates In as one zlib stream at zlib level Level (1 to 9) into Out;
// false where zlib deflates.
bool ZFastDeflate(std::string_view In, int Level, std::string& Out);
