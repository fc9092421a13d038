#include "sfds/sfds_reader.h"


#include "runtime/Checked.h"
#include "runtime/Format.h"
#include "runtime/Mutex.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_readaheadstream.h"
#include "sfds/sfds_selectivestream.h"

void SFDS_SupportAnyFormat(TSFDSCustomReader*, const TGUID&, bool& Supported) { Supported = true; }

TSFDSSupportedEvent SFDS_DefaultSupportedProc = &SFDS_SupportAnyFormat;

std::unique_ptr<TRandomAccessStream> SFDS_OpenArchiveFile(const std::string& FileName) {
    return std::make_unique<TRandomAccessStream>(FileName, fmOpenRead | fmShareDenyWrite);
}

namespace {

// The handle of the file a source reads directly, if it is one.
THandle SourceFileHandle(const TStream* Source) {
    if (const auto* File = dynamic_cast<const THandleStream*>(Source)) return File->Handle();
    if (const auto* File = dynamic_cast<const TRandomAccessStream*>(Source)) return File->File()->Handle();
    return INVALID_HANDLE_VALUE_RTL;
}

// Whether a reader that spends time of its own on the bytes gains from a
// worker decompressing ahead. A stored entry is read straight from the file
// and gains nothing; inflating a compressed one would add about a sixth to a
// picture's decode on the same thread, and runs on the second core instead.
// A few chunks are done sooner than a worker is woken.
bool ReadAheadPays(const SFDS_FileEntryRecord& Entry) {
    return Entry.CompressionFormat != 0 && Entry.FileSize >= SFDS_ReadAheadMinSize;
}

}  // namespace

// ---- TSFDSCustomSource -----------------------------------------------------

TSFDSCustomSource::TSFDSCustomSource(TStream* SourceStream, std::int64_t RelativeOffset)
    : FRelOffset(RelativeOffset), FSourceStream(SourceStream) {
    if (SourceStream == nullptr) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
}

// ---- TSFDS_ReaderRegistration ----------------------------------------------

TSFDS_ReaderRegistration::TSFDS_ReaderRegistration(TSFDSCustomReader* Reader) : FReader(Reader) {
    if (TSFDS_ActiveReaders* List = SFDS_ActiveReaderList()) List->AddReader(Reader);
}

TSFDS_ReaderRegistration::~TSFDS_ReaderRegistration() {
    if (TSFDS_ActiveReaders* List = SFDS_ActiveReaderList()) List->Remove(FReader);
}

// ---- TSFDSCustomReader -----------------------------------------------------

TSFDSCustomReader::TSFDSCustomReader(TStream* SourceStream, std::int64_t StartOffset, PGUID FormatGUID,
                                     TSFDSSupportedEvent SupportedProc, TSFDSOnReadFileEntry OnReadFileEntry,
                                     bool AssignUniqueNames, TStreamAutorenameMode StreamAutorenameMode)
    : TSFDSCustomSource(SourceStream, StartOffset), FRegistration(this), FSharedOpenLock(std::make_unique<TMutex>()) {
    Initialize(StartOffset, FormatGUID, SupportedProc, std::move(OnReadFileEntry), AssignUniqueNames,
               StreamAutorenameMode);
}

TSFDSCustomReader::TSFDSCustomReader(std::unique_ptr<TStream> OwnedSource, const std::string& FSFileName,
                                     std::int64_t StartOffset, PGUID FormatGUID, TSFDSSupportedEvent SupportedProc,
                                     TSFDSOnReadFileEntry OnReadFileEntry, bool AssignUniqueNames,
                                     TStreamAutorenameMode StreamAutorenameMode)
    : TSFDSCustomSource(OwnedSource.get(), StartOffset),
      FOwnedSource(std::move(OwnedSource)),
      FRegistration(this),
      FSharedOpenLock(std::make_unique<TMutex>()) {
    FFSFileName = FSFileName;
    Initialize(StartOffset, FormatGUID, SupportedProc, std::move(OnReadFileEntry), AssignUniqueNames,
               StreamAutorenameMode);
}

// Runs with the reader already registered. When it raises, the members built
// so far are destroyed in reverse order - the tables, then the registration
// (which takes the reader off the list), then an owned source - so nothing of
// the reader stays behind.
void TSFDSCustomReader::Initialize(std::int64_t StartOffset, PGUID FormatGUID, TSFDSSupportedEvent SupportedProc,
                                   TSFDSOnReadFileEntry OnReadFileEntry, bool AssignUniqueNames,
                                   TStreamAutorenameMode StreamAutorenameMode) {
    FSourceStream->Seek(StartOffset, soBeginning);
    FFileEntrys = std::make_unique<TSFDS_FileEntrys>();
    FExtraInfoFields = std::make_unique<TSFDSFileExtraInfoList>();
    FSupportedProc = SupportedProc != nullptr ? SupportedProc : SFDS_DefaultSupportedProc;
    FOnReadFileEntry = std::move(OnReadFileEntry);
    FAssignUniqueNames = AssignUniqueNames;
    FGuid = FormatGUID != nullptr ? *FormatGUID : SFDS_DefaultFormatGUID;
    FStreamAutorenameMode = StreamAutorenameMode;

    TSFDSCustomStreamParser Parser(FSourceStream, FRelOffset, false, this);
    Parser.Parse(FExtraInfoFields.get(), FFileEntrys.get(), FAssignUniqueNames, FStreamAutorenameMode);
    FInfo = Parser.Info();

    TFileIdentity Identity;
    if (const THandle File = SourceFileHandle(FSourceStream);
        File != INVALID_HANDLE_VALUE_RTL && FileIdentityOf(File, Identity))
        FSourceIdentity = Identity;
}

TSFDSCustomReader::~TSFDSCustomReader() {
    FExtraInfoFields.reset();
    FFileEntrys.reset();
    // FRegistration takes the reader off the list next, then an owned source goes.
}

std::int32_t TSFDSCustomReader::Read(void*, std::int32_t) { throw ESFDSInvalidStreamOperation(SFDS_ERR_ReadReader); }

std::int32_t TSFDSCustomReader::Write(const void*, std::int32_t) {
    throw ESFDSInvalidStreamOperation(SFDS_ERR_WriteReadOnly);
}

std::int64_t TSFDSCustomReader::Seek(std::int64_t, TSeekOrigin) { return 0; }

PSFDS_FileEntryRecord TSFDSCustomReader::EntryByName(const std::string& FileName) const {
    PSFDS_FileEntryRecord Entry = FFileEntrys->FindEntry(FileName);
    if (Entry == nullptr) throw ESFDSException(SFDS_ERR_StreamNotFound);
    return Entry;
}

PSFDS_FileEntryRecord TSFDSCustomReader::EntryByIndex(std::int32_t FileIndex) const {
    if (FileIndex < 0 || FileIndex > FFileEntrys->Count() - 1) throw ESFDSException(SFDS_ERR_StreamNotFound);
    return FFileEntrys->Items(FileIndex);
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenStream(const std::string& FileName, std::int64_t& StreamSize,
                                                       const TSFDSOpenOptions& Options) {
    return OpenStreamEx(EntryByName(FileName), StreamSize, Options);
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenStream(std::int32_t FileIndex, std::int64_t& StreamSize,
                                                       const TSFDSOpenOptions& Options) {
    return OpenStreamEx(EntryByIndex(FileIndex), StreamSize, Options);
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenStreamEx(PSFDS_FileEntryRecord Entry, std::int64_t& StreamSize,
                                                         const TSFDSOpenOptions& Options) {
    std::unique_ptr<TStream> Stream = OpenEntry(Entry, StreamSize, false);
    if (!Options.ReadAhead || !ReadAheadPays(*Entry)) return Stream;
    try {
        return std::make_unique<TSFDSReadAheadStream>(std::move(Stream), StreamSize);
    } catch (...) {
        return Stream;  // its allocation failed: the plain stream was not handed over
    }
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenSharedStream(std::int32_t FileIndex, std::int64_t& StreamSize) {
    const TMutexLock Lock(*FSharedOpenLock);
    return OpenEntry(EntryByIndex(FileIndex), StreamSize, true);
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenEntry(PSFDS_FileEntryRecord Entry, std::int64_t& StreamSize,
                                                      bool Shared) {
    if (Entry == nullptr) throw ESFDSException(SFDS_ERR_StreamNotFound);
    StreamSize = Entry->FileSize;
    // Looked up before anything is opened: an unknown format then costs no handle.
    TSFDSDecompressorClass Decompressor = nullptr;
    if (Entry->CompressionFormat != 0) {
        PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(Entry->CompressionFormat);
        if (Item == nullptr || Item->Decompressor == nullptr)
            throw ESFDSDecompressionError(
                Format(SFDS_ERR_UnknownCompression, SFDS_FormatIDText(Entry->CompressionFormat).c_str()));
        Decompressor = Item->Decompressor;
    }
    std::unique_ptr<TStream> Raw = OpenRawEntry(Entry, Shared);
    if (Decompressor == nullptr) return Raw;
    return Decompressor(std::move(Raw), Entry->FileSize);
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenRAWStream(const std::string& FileName) {
    return OpenRAWStream(EntryByName(FileName));
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenRAWStream(std::int32_t FileIndex) {
    return OpenRAWStream(EntryByIndex(FileIndex));
}

std::unique_ptr<TStream> TSFDSCustomReader::OpenRAWStream(PSFDS_FileEntryRecord Entry) {
    return OpenRawEntry(Entry, false);
}

std::unique_ptr<TStream> TSFDSCustomReader::ShareSource() { return nullptr; }

std::unique_ptr<TStream> TSFDSCustomReader::OpenRawEntry(PSFDS_FileEntryRecord Entry, bool Shared) {
    if (Entry == nullptr) throw ESFDSException(SFDS_ERR_StreamNotFound);
    // Positions come from the file; a sum that would overflow is pinned to
    // the far end, where the window is empty.
    const std::int64_t StartPos = SaturatedAdd(FRelOffset, Entry->StartPosition);
    const std::int64_t EndPos = SaturatedAdd(FRelOffset, Entry->EndPosition);
    TCloneStreamMode Mode = csmFull;
    std::unique_ptr<TStream> Copy = Shared ? ShareSource() : nullptr;
    if (!Copy) Copy = Clone(StartPos, EndPos, Mode);
    if (Mode == csmOnlyRequestedData) return Copy;
    return std::make_unique<TSelectiveStream>(std::move(Copy), StartPos, EndPos);
}

// ---- TSFDSFileReader -------------------------------------------------------

TSFDSFileReader::TSFDSFileReader(const std::string& FileName, std::int64_t StartOffset, PGUID FormatGUID,
                                 TSFDSSupportedEvent SupportedProc, TSFDSOnReadFileEntry OnReadFileEntry,
                                 bool AssignUniqueNames, TStreamAutorenameMode StreamAutorenameMode)
    : TSFDSCustomReader(SFDS_OpenArchiveFile(FileName), FileName, StartOffset, FormatGUID, SupportedProc,
                        std::move(OnReadFileEntry), AssignUniqueNames, StreamAutorenameMode),
      FFile(static_cast<TRandomAccessStream*>(FSourceStream)->File()) {}

std::unique_ptr<TStream> TSFDSFileReader::Clone(std::int64_t, std::int64_t, TCloneStreamMode& Mode) {
    Mode = csmFull;
    return SFDS_OpenArchiveFile(FFSFileName);
}

std::unique_ptr<TStream> TSFDSFileReader::ShareSource() {
    return std::make_unique<TRandomAccessStream>(FFile);
}
