// Writes a small seed corpus for fuzz_reader: containers of every shape the
// reader knows, each a few kilobytes at most.
#include <cstdio>
#include <functional>
#include <string>

#include "codecs/sfds_library_scope.h"
#include "runtime/MemoryStream.h"
#include "sfds/sfds_writer.h"

namespace {

std::string Container(const std::function<void(TSFDSFileWriter&)>& Setup, const std::string& Host = std::string()) {
    TMemoryStream M(Host);
    M.Seek(0, soEnd);
    TSFDSFileWriter W(M);
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

void Save(const std::string& Folder, const std::string& Name, const std::string& Bytes) {
    const std::string Path = Folder + "/" + Name;
    std::FILE* F = std::fopen(Path.c_str(), "wb");
    if (F == nullptr) return;
    std::fwrite(Bytes.data(), 1, Bytes.size(), F);
    std::fclose(F);
}

std::string Locator(long long Offset) {
    std::string L = "\x03\x09\xB1\x06";
    for (int I = 0; I < 8; ++I) L += static_cast<char>((static_cast<unsigned long long>(Offset) >> (8 * I)) & 0xFF);
    return L;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_reader_seeds <folder>\n");
        return 2;
    }
    TSFDSLibrary Library;
    const std::string Out = argv[1];
    Save(Out, "plain", Container(Entries));
    Save(Out, "zlib_table", Container([](TSFDSFileWriter& W) {
             Entries(W);
             W.SetFileListFormat(1);
         }));
    Save(Out, "bzip2_table", Container([](TSFDSFileWriter& W) {
             Entries(W);
             W.SetFileListFormat(2);
         }));
    Save(Out, "metadata", Container([](TSFDSFileWriter& W) {
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
         }));
    Save(Out, "duplicates", Container([](TSFDSFileWriter& W) {
             for (int I = 0; I < 6; ++I) W.AddBytes(I % 2 ? "dup.jpg" : "DUP.JPG", "d");
             W.AddBytes(" space", "s");
         }));
    Save(Out, "empty", Container([](TSFDSFileWriter&) {}));
    Save(Out, "host_end", Container(Entries, std::string(100, 'h')) + Locator(100));
    Save(Out, "host_46", [] {
        std::string Host(100, 'h');
        Host.replace(46, 12, Locator(100));
        return Container(Entries, Host);
    }());
    Save(Out, "lowercase", Container([](TSFDSFileWriter& W) {
             Entries(W);
             W.Overrides().HeaderSignature = ".sfds";
             W.Overrides().EntrySignature = "sfds";
         }));
    return 0;
}
