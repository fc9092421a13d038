// Writes a container whose table holds many entries over one small stored
// file, for measuring what a large table costs the tool:
//   make_many_entries OUT COUNT [SIZE]
// With SIZE, every entry has SIZE bytes of its own instead, zlib-compressed
// (a table of tiny files, where the cost per entry dominates). Names look like a picture collection ("img\photo_0000001.jpg"); the table
// is zlib-compressed, so the file stays small however many entries it lists.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "sfds/sfds_writer.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s OUT COUNT [SIZE]\n", argv[0]);
        return 2;
    }
    const long Count = std::strtol(argv[2], nullptr, 10);
    if (Count < 1) return 2;
    const long Size = argc == 4 ? std::strtol(argv[3], nullptr, 10) : -1;
    if (argc == 4 && (Size < 0 || Size > (1L << 20))) return 2;
    TSFDSLibrary Library;
    try {
        TSFDSFileWriter W(argv[1]);
        if (Size >= 0) {
            std::string Bytes(static_cast<std::size_t>(Size), '\0');
            char Name[64];
            for (long I = 0; I < Count; ++I) {
                for (std::size_t B = 0; B < Bytes.size(); ++B) Bytes[B] = static_cast<char>('a' + (I + B) % 26);
                std::snprintf(Name, sizeof Name, "tiny\\file_%07ld.txt", I);
                W.AddBytes(Name, Bytes, 1);
            }
            W.SetFileListFormat(1);
            W.Finish();
            return 0;
        }
        W.AddBytes("img\\photo_0000000.jpg", "shared bytes", 0);
        SFDS_FileEntryRecord E = W.Entry(0);
        char Name[64];
        for (long I = 1; I < Count; ++I) {
            std::snprintf(Name, sizeof Name, "img\\photo_%07ld.jpg", I);
            E.FileName = E.OriginalFileName = Name;
            W.AddEntryRecord(E);
        }
        W.SetFileListFormat(1);
        W.Finish();
    } catch (const Exception& Ex) {
        std::fprintf(stderr, "%s\n", Ex.Message().c_str());
        return 1;
    }
    return 0;
}
