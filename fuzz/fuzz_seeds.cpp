// Writes the seed corpora of the archive fuzz targets with the library's own
// writer, the same bytes on every run:
//   fuzz_seeds <folder>
// makes <folder>/reader (containers of every shape the reader knows, for
// fuzz_reader, fuzz_extract, fuzz_extract_disk and fuzz_tool), <folder>/table
// (containers with plain tables, for fuzz_table) and <folder>/archivepaths
// (several archives and paths, for fuzz_archivepaths). Each seed is a few
// kilobytes at most.
#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/MemoryStream.h"
#include "sfds/sfds_writer.h"
#include "support/DeflateCases.h"
#include "support/SFDSTestWriter.h"

namespace {

using TSetup = std::function<void(TSFDSTestWriter&)>;

std::string Container(const TSetup& Setup, const std::string& Host = std::string()) {
    TMemoryStream M(Host);
    M.Seek(0, soEnd);
    TSFDSTestWriter W(M);
    W.SetTimeCreate(45000.5);
    Setup(W);
    W.Finish();
    return M.AsString();
}

void Entries(TSFDSFileWriter& W) {
    W.AddBytes("a.jpg", "stored bytes of a");
    W.AddBytes("img\\b.jpg", std::string(300, 'b') + "zlib", 1);
    W.AddBytes("img/c.jpg", std::string(200, 'c') + "bzip2", 2);
    W.AddBytes("", "");
}

// Names that extraction must create, replace or refuse, as stored.
void HostileNames(TSFDSFileWriter& W) {
    W.AddBytes("x", "file first");
    W.AddBytes("x/y", "then a folder of the same name");
    W.AddBytes("deep\\er/and\\deeper/f.txt", "mixed separators");
    W.AddBytes("..\\up", "leaves");
    W.AddBytes("/abs", "leaves");
    W.AddBytes("c:drive", "colon");
    W.AddBytes("a/./b/../c", "dots");
    W.AddBytes(std::string("nul\0byte", 8), "nul");
    W.AddBytes("NUL", "a reserved name elsewhere");
    W.AddBytes(std::string(300, 'n'), "a name longer than the short string form");
    W.AddBytes("trailing/", "");
    W.AddBytes("X", "case twin of x", 1);
}

// Names that meet the links the extraction target plants in its destination.
void ThroughLinks(TSFDSFileWriter& W) {
    W.AddBytes("l/x", "through a folder link");
    W.AddBytes("L\\y", "through its case twin");
    W.AddBytes("l", "over the folder link itself");
    W.AddBytes("s", "over a file link", 1);
    W.AddBytes("h", "over a second name of a file");
    W.AddBytes("H/z", "below it");
}

void Metadata(TSFDSFileWriter& W) {
    W.SetTitle("title");
    W.SetAuthor("author");
    W.SetVersion(70000);
    TSFDSFileExtraInfoField F;
    F.Name = "s";
    F.FieldType = EIStr;
    F.ValueString = "text";
    F.ValueStringSize = 4;
    W.ExtraInfoFields().AddOrUpdateField(F);
    F.Name = "n";
    F.FieldType = EINumber;
    F.ValueNumber = 1LL << 40;
    W.ExtraInfoFields().AddOrUpdateField(F);
    F.Name = "d";
    F.FieldType = EIDate;
    F.ValueDate = 45000.25;
    W.ExtraInfoFields().AddOrUpdateField(F);
    F.Name = "b";
    F.FieldType = EIBinary;
    static const std::uint8_t Bin[3] = {1, 2, 3};
    F.ValueBinary = Bin;
    F.ValueBinarySize = 3;
    W.ExtraInfoFields().AddOrUpdateField(F);
    W.AddBytes("x", "y");
}

void Duplicates(TSFDSFileWriter& W) {
    for (int I = 0; I < 6; ++I) W.AddBytes(I % 2 ? "dup.jpg" : "DUP.JPG", "d");
    W.AddBytes(" space", "s");
}

TSetup WithTable(const TSetup& Setup, std::uint8_t Format) {
    return [Setup, Format](TSFDSTestWriter& W) {
        Setup(W);
        W.SetFileListFormat(Format);
    };
}

void Save(const std::string& Folder, const std::string& Name, const std::string& Bytes) {
    std::filesystem::create_directories(Folder);
    fuzz::WriteFile(Folder + "/" + Name, Bytes);
}

void ReaderSeeds(const std::string& Out) {
    Save(Out, "plain", Container(Entries));
    Save(Out, "zlib_table", Container(WithTable(Entries, 1)));
    Save(Out, "bzip2_table", Container(WithTable(Entries, 2)));
    Save(Out, "metadata", Container(Metadata));
    Save(Out, "duplicates", Container(Duplicates));
    Save(Out, "names", Container(HostileNames));
    Save(Out, "links", Container(ThroughLinks));
    Save(Out, "empty", Container([](TSFDSFileWriter&) {}));
    Save(Out, "host_end", Container(Entries, std::string(100, 'h')) + fuzz::Locator(100));
    Save(Out, "host_46", [] {
        std::string Host(100, 'h');
        Host.replace(SFDS_LocatorOffset, SFDS_LocatorSize, fuzz::Locator(100));
        return Container(Entries, Host);
    }());
    Save(Out, "lowercase", Container([](TSFDSTestWriter& W) {
             Entries(W);
             W.Overrides().HeaderSignature = ".sfds";
             W.Overrides().EntrySignature = "sfds";
         }));
}

// The table target takes its table format and placement from the header's
// table format and reserved fields of a container whose table is stored as it
// is.
void TableSeeds(const std::string& Out) {
    const std::pair<const char*, TSetup> Shapes[] = {
        {"entries", Entries}, {"names", HostileNames}, {"metadata", Metadata}, {"duplicates", Duplicates}};
    for (const auto& [Name, Setup] : Shapes) {
        const std::string Plain = Container(Setup);
        for (int Format = 0; Format < 3; ++Format) {
            for (int Placement = 0; Placement < 3; ++Placement) {
                TMemoryStream Seed(Plain);
                EditContainerHeader(Seed, 0, [&](SFDS_Header& H) {
                    H.InternalCompressionFormat = static_cast<std::uint8_t>(Format);
                    H.Reserved = static_cast<std::uint32_t>(Placement);
                });
                Save(Out, std::string(Name) + "_" + std::to_string(Format) + std::to_string(Placement), Seed.AsString());
            }
        }
    }
}

// Flags, archive "a", archive "b", the unnamed reader's bytes, then paths.
void ArchivePathSeeds(const std::string& Out) {
    const std::string A = Container([](TSFDSFileWriter& W) {
        W.AddBytes("shared.txt", "from a");
        W.AddBytes("only_a.txt", "a", 1);
        W.AddBytes("b::c", "a name with the separator in it");
    });
    const std::string B = Container(
        [](TSFDSFileWriter& W) {
            W.AddBytes("shared.txt", "from b", 2);
            W.AddBytes("SHARED.TXT", "b's twin");
        },
        std::string(64, 'h'));
    const std::string BHosted = B + fuzz::Locator(64);
    const std::string Unnamed = Container([](TSFDSFileWriter& W) { W.AddBytes("shared.txt", "unnamed"); });
    const std::string Paths =
        "a::shared.txt\nb::shared.txt\nshared.txt\n::shared.txt\na::b::c\nA::ONLY_A.TXT\nc::x\nb\na::\n::\n";
    const struct {
        const char* Name;
        std::uint8_t Flags;
    } Variants[] = {{"none_held", 0}, {"all_held", 7}, {"unnamed", 2}, {"force_new", 9}, {"renamed", 0x27}};
    for (const auto& V : Variants) {
        std::string Seed(1, static_cast<char>(V.Flags));
        fuzz::AppendPart(Seed, A);
        fuzz::AppendPart(Seed, BHosted);
        fuzz::AppendPart(Seed, Unnamed);
        Seed += Paths;
        Save(Out, V.Name, Seed);
    }
}

// The deflate targets: zlib streams of text, noise and runs at several levels
// and strategies, as they are and as raw deflate to be wrapped (byte 0 of a
// seed is the target's control byte).
void DeflateSeeds(const std::string& Inflate, const std::string& Deflate) {
    std::string Data;
    for (int I = 0; I < 400; ++I) Data += "entry " + std::to_string(I * 7919 % 1000) + (I % 9 ? " picture " : "\n");
    for (int I = 0; I < 3000; ++I) Data += static_cast<char>((I * 2654435761u) >> 24);
    Data += std::string(2000, 'z');
    const struct {
        const char* Name;
        int Level, WindowBits, Strategy;
    } Streams[] = {{"level6", 6, 15, Z_DEFAULT_STRATEGY}, {"level1", 1, 15, Z_DEFAULT_STRATEGY},
                   {"level9", 9, 15, Z_DEFAULT_STRATEGY}, {"stored", 0, 15, Z_DEFAULT_STRATEGY},
                   {"fixed", 6, 15, Z_FIXED},            {"huffman", 6, 15, Z_HUFFMAN_ONLY},
                   {"rle", 6, 15, Z_RLE},                {"window9", 6, 9, Z_DEFAULT_STRATEGY}};
    for (const auto& S : Streams) {
        for (const int Bits : {S.WindowBits, -S.WindowBits}) {
            z_stream Z{};
            if (deflateInit2(&Z, S.Level, Z_DEFLATED, Bits, 8, S.Strategy) != Z_OK) std::abort();
            std::string Out(deflateBound(&Z, Data.size()), '\0');
            Z.next_in = reinterpret_cast<Bytef*>(Data.data());
            Z.avail_in = static_cast<uInt>(Data.size());
            Z.next_out = reinterpret_cast<Bytef*>(Out.data());
            Z.avail_out = static_cast<uInt>(Out.size());
            if (deflate(&Z, Z_FINISH) != Z_STREAM_END) std::abort();
            Out.resize(Z.total_out);
            deflateEnd(&Z);
            // Raw data only with the full window: the target wraps it so.
            if (Bits < 0 && Bits != -15) continue;
            Save(Inflate, std::string(S.Name) + (Bits < 0 ? "_raw" : ""), std::string(1, Bits < 0 ? '\x83' : '\x03') + Out);
        }
    }
    // Crafted streams on either side of zlib's verdict, raw, with the
    // checksum of what ISA-L and what libdeflate make of them.
    for (const TCraftedStream& C : CraftedStreams()) {
        std::string Name = C.Name;
        for (char& Ch : Name)
            if (!std::isalnum(static_cast<unsigned char>(Ch))) Ch = '_';
        Save(Inflate, "crafted_" + Name + "_isal", "\x83" + C.Raw);
        Save(Inflate, "crafted_" + Name + "_libdeflate", "\xA3" + C.Raw);
    }
    Save(Deflate, "text", std::string("\x05\x00", 2) + Data);
    Save(Deflate, "pieces", std::string("\x81\x63", 2) + Data);
    Save(Deflate, "empty", std::string("\x02\x00", 2));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    TSFDSLibrary Library;
    const std::string Out = argv[1];
    ReaderSeeds(Out + "/reader");
    TableSeeds(Out + "/table");
    ArchivePathSeeds(Out + "/archivepaths");
    DeflateSeeds(Out + "/inflate", Out + "/deflate");
    return 0;
}
