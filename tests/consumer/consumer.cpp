// Writes a container with a stored and a compressed entry to a file, opens it
// with a file reader and reads both entries back; exits 0 when every byte
// came back. Argument: the container file to write.
#include <cstdio>
#include <memory>
#include <string>

#include "codecs/sfds_library_scope.h"
#include "runtime/Stream.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_writer.h"

namespace {

std::string ReadAll(TStream& Stream, std::int64_t Size) {
    std::string Bytes(static_cast<std::size_t>(Size), '\0');
    if (Size > 0) Stream.ReadBuffer(Bytes.data(), static_cast<std::int32_t>(Size));
    return Bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer <container file>\n");
        return 2;
    }
    const std::string FileName = argv[1];
    const std::string Text(10000, 'x');
    try {
        TSFDSLibrary Library;
        {
            TSFDSFileWriter Writer(FileName);
            Writer.AddBytes("plain.txt", "stored as it is");
            Writer.AddBytes("packed.txt", Text, 1);
            Writer.Finish();
        }
        TSFDSFileReader Reader(FileName);
        std::int64_t Size = 0;
        std::unique_ptr<TStream> Plain = Reader.OpenStream("plain.txt", Size);
        const bool PlainOk = ReadAll(*Plain, Size) == "stored as it is";
        std::unique_ptr<TStream> Packed = Reader.OpenStream("packed.txt", Size);
        const bool PackedOk = ReadAll(*Packed, Size) == Text;
        std::printf("%d entries, stored %s, compressed %s\n", Reader.FileCount(), PlainOk ? "ok" : "WRONG",
                    PackedOk ? "ok" : "WRONG");
        return PlainOk && PackedOk && Reader.FileCount() == 2 ? 0 : 1;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "consumer: %s\n", E.what());
        return 1;
    }
}
