#include "sfds/sfds_verifiedread.h"

#include <new>

#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_chunksource.h"
#include "sfds/sfds_reader.h"

std::int32_t SFDS_Fail(std::int32_t Code, std::exception_ptr Error, std::exception_ptr& Failure) {
    Failure = std::move(Error);
    return Code;
}

std::exception_ptr SFDS_OutOfMemory() { return std::make_exception_ptr(EOutOfMemory(SOutOfMemory)); }

// ---- TSFDSEntryReading -------------------------------------------------------

TSFDSEntryReading::TSFDSEntryReading(TSFDSCustomReader& Reader, std::int32_t Index, std::int64_t ReadAheadFrom)
    : FReader(&Reader), FIndex(Index), FReadAheadFrom(ReadAheadFrom) {}

TSFDSEntryReading::TSFDSEntryReading(TStream& Source) : FSource(&Source) {}

TSFDSEntryReading::~TSFDSEntryReading() { Close(); }

std::int32_t TSFDSEntryReading::Open(std::exception_ptr& Failure) {
    try {
        FOwnedSource = FReader->OpenSharedStream(FIndex, FSize);
    } catch (...) {
        return SFDS_Fail(SFDS_ERR_NO_STREAM, std::current_exception(), Failure);
    }
    FSource = FOwnedSource.get();
    MD5Init(FContext);
    return SFDS_OK;
}

std::int32_t TSFDSEntryReading::Next(std::uint8_t* Buffer, const std::uint8_t*& Data, std::int32_t& Count,
                                     std::exception_ptr& Failure) {
    Data = Buffer;
    Count = 0;
    if (FEnded || FSource == nullptr) return SFDS_OK;
    const bool ReadAhead = FSize >= FReadAheadFrom;
    if (!FStarted) {
        FStarted = true;
        // Without a buffer of the caller's the plain reads need one of their
        // own, which the plain chunk source has.
        if (ReadAhead || Buffer == nullptr) {
            try {
                FChunks = SFDS_CreateChunkSource(*FSource, SFDS_CopyBufferSize, ReadAhead ? FSize : 0);
            } catch (const std::bad_alloc&) {
                return SFDS_Fail(SFDS_ERR_OUT_OF_MEMORY, SFDS_OutOfMemory(), Failure);
            }
        }
    }
    try {
        if (FChunks) {
            Data = FChunks->Next(Count);
        } else {
            Count = FSource->Read(Buffer, SFDS_CopyBufferSize);
            if (Count < 0) Count = 0;
            if (Count > SFDS_CopyBufferSize) Count = SFDS_CopyBufferSize;
        }
    } catch (const std::bad_alloc&) {
        FEnded = true;
        return SFDS_Fail(SFDS_ERR_READ, SFDS_OutOfMemory(), Failure);
    } catch (...) {
        FEnded = true;
        return SFDS_Fail(SFDS_ERR_READ, std::current_exception(), Failure);
    }
    if (FReader == nullptr) {
        FEnded = Count != SFDS_CopyBufferSize;
        return SFDS_OK;
    }
    if (Count > 0) MD5Update(FContext, Data, static_cast<std::uint32_t>(Count));
    if (Count != SFDS_CopyBufferSize) {
        FEnded = true;
        TMD5Digest Digest;
        MD5Final(FContext, Digest);
        FDigestMatches = MD5DigestsEqual(Digest, FReader->FileEntrys().Items(FIndex)->MD5Digest);
    }
    return SFDS_OK;
}

void TSFDSEntryReading::Close() {
    FChunks.reset();
    FSource = nullptr;
    FOwnedSource.reset();
}

// ---- TSFDSEntryDelivery ------------------------------------------------------

TSFDSEntryDelivery::TSFDSEntryDelivery(TSFDSCustomSource* Sender, std::int64_t MaxProgress,
                                       const std::string& ArcName, const std::string& StreamName, TStream* Dest,
                                       const TSFDSProgressEvent& ProgressEvent)
    : FSender(Sender),
      FMaxProgress(MaxProgress),
      FArcName(ArcName),
      FStreamName(StreamName),
      FDest(Dest),
      FProgressEvent(ProgressEvent) {}

std::int32_t TSFDSEntryDelivery::Put(const std::uint8_t* Data, std::int32_t Count, bool& Last,
                                     std::exception_ptr& Failure) {
    Last = true;
    FProgress += Count;
    if (Count > 0 && FDest != nullptr) {
        try {
            FDest->WriteBuffer(Data, Count);
        } catch (...) {
            return SFDS_Fail(SFDS_ERR_WRITE, std::current_exception(), Failure);
        }
    }
    bool Cancel = false;
    if (FProgressEvent) FProgressEvent(FSender, FProgress, FMaxProgress, Count, Cancel, FArcName, FStreamName);
    if (Cancel)
        return SFDS_Fail(SFDS_ERR_ABORTED,
                         std::make_exception_ptr(ESFDSUserAbortedOperation(SFDS_ERR_UserAborted)), Failure);
    Last = Count != SFDS_CopyBufferSize;
    return SFDS_OK;
}

std::int32_t TSFDSEntryDelivery::Finish(bool DigestMatches, std::exception_ptr& Failure) const {
    if (DigestMatches) return SFDS_OK;
    return SFDS_Fail(
        SFDS_ERR_MD5,
        std::make_exception_ptr(ESFDSException(Format(SFDS_ERR_MD5Extract, FArcName.c_str(), FStreamName.c_str()))),
        Failure);
}

std::int32_t SFDS_ReadVerified(TSFDSEntryReading& Reading, TSFDSEntryDelivery& Delivery,
                               std::exception_ptr& Failure) {
    for (bool Last = false; !Last;) {
        const std::uint8_t* Data = nullptr;
        std::int32_t Count = 0;
        std::int32_t Code = Reading.Next(nullptr, Data, Count, Failure);
        if (Code == SFDS_OK) Code = Delivery.Put(Data, Count, Last, Failure);
        if (Code != SFDS_OK) return Code;
    }
    return Delivery.Finish(Reading.DigestMatches(), Failure);
}
