#include "sfds/sfds_extrainfo.h"

#include <cstring>
#include <new>

#include "runtime/AsciiCase.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_streamingutils.h"

namespace {

std::unique_ptr<std::uint8_t[]> CopyBytes(const void* Source, std::int32_t Size) {
    if (Size <= 0 || Source == nullptr) return nullptr;
    std::unique_ptr<std::uint8_t[]> Buffer;
    try {
        Buffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(Size));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(SOutOfMemory);
    }
    std::memcpy(Buffer.get(), Source, static_cast<std::size_t>(Size));
    return Buffer;
}

}  // namespace

void TSFDSFileExtraInfoList::CopyValue(TSFDSFileExtraInfoListItem& Target, const TSFDSFileExtraInfoField& Source) {
    // The new buffer is made before the old one goes: Source may point into Target.
    std::unique_ptr<std::uint8_t[]> Buffer;
    std::int32_t Size = 0;
    if (Source.FieldType == EIStr && Source.ValueStringSize > 0) {
        Size = Source.ValueStringSize;
        Buffer = CopyBytes(Source.ValueString, Size);
    } else if (Source.FieldType == EIBinary && Source.ValueBinarySize > 0) {
        Size = Source.ValueBinarySize;
        Buffer = CopyBytes(Source.ValueBinary, Size);
    }
    if (!Buffer) Size = 0;
    Target.FBuffer = std::move(Buffer);
    Target.FieldType = Source.FieldType;
    Target.ValueString = nullptr;
    Target.ValueStringSize = 0;
    Target.ValueNumber = 0;
    Target.ValueDate = 0;
    Target.ValueBoolean = false;
    Target.ValueBinary = nullptr;
    Target.ValueBinarySize = 0;
    switch (Source.FieldType) {
        case EIStr:
            Target.ValueString = reinterpret_cast<const char*>(Target.FBuffer.get());
            Target.ValueStringSize = Size;
            break;
        case EINumber: Target.ValueNumber = Source.ValueNumber; break;
        case EIDate: Target.ValueDate = Source.ValueDate; break;
        case EIBoolean: Target.ValueBoolean = Source.ValueBoolean; break;
        case EIBinary:
            Target.ValueBinary = Target.FBuffer.get();
            Target.ValueBinarySize = Size;
            break;
        default: break;  // an unknown type carries no value
    }
}

std::int32_t TSFDSFileExtraInfoList::AddOrUpdateField(const TSFDSFileExtraInfoField& Item) {
    const std::int32_t I = IndexOfField(Item.Name);
    if (I < 0) {
        auto Field = std::make_unique<TSFDSFileExtraInfoListItem>();
        Field->Name = Item.Name;
        CopyValue(*Field, Item);
        std::string Key = LowerAscii(Item.Name);
        const std::int32_t Index = Add(std::move(Field));
        FIndex.emplace(std::move(Key), Index);
        return Index;
    }
    TSFDSFileExtraInfoListItem& Field = *TOwningList::Items(I);
    std::string Name = Item.Name;  // Item may be this very field
    CopyValue(Field, Item);
    Field.Name = std::move(Name);
    return I;
}

std::int32_t TSFDSFileExtraInfoList::IndexOfField(const std::string& Name) const {
    const auto It = FIndex.find(LowerAscii(Name));
    return It == FIndex.end() ? -1 : It->second;
}

void TSFDSFileExtraInfoList::Delete(std::int32_t Index) {
    if (Index < 0 || Index >= Count()) return;
    TOwningList::Delete(Index);
    RebuildIndex();
}

void TSFDSFileExtraInfoList::Clear() {
    TOwningList::Clear();
    FIndex.clear();
}

void TSFDSFileExtraInfoList::Assign(const TSFDSFileExtraInfoList* Source) {
    if (Source == nullptr || Source == this) return;
    Clear();
    for (std::int32_t I = 0; I < Source->Count(); ++I) AddOrUpdateField(*Source->Items(I));
}

void TSFDSFileExtraInfoList::RebuildIndex() {
    FIndex.clear();
    for (std::int32_t I = 0; I < Count(); ++I) FIndex.emplace(LowerAscii(Items(I)->Name), I);
}

void TSFDSFileExtraInfoList::SaveToStream(TStream& Stream) const {
    SFDS_WriteInteger(Stream, Count());
    for (std::int32_t I = 0; I < Count(); ++I) {
        const TSFDSFileExtraInfoField& F = *Items(I);
        SFDS_WriteString(Stream, F.Name);
        SFDS_WriteInteger(Stream, F.FieldType);
        switch (F.FieldType) {
            case EIStr:
                SFDS_WriteString(Stream, std::string_view(F.ValueString, static_cast<std::size_t>(F.ValueStringSize)));
                break;
            case EINumber: SFDS_WriteInt64(Stream, F.ValueNumber); break;
            case EIDate: SFDS_WriteDate(Stream, F.ValueDate); break;
            case EIBoolean: SFDS_WriteInteger(Stream, F.ValueBoolean ? 1 : 0); break;
            case EIBinary: SFDS_WriteBinary(Stream, F.ValueBinary, F.ValueBinarySize); break;
            default:
                // Readers take an unknown type as a binary block; an empty one
                // keeps the rest of the list readable.
                SFDS_WriteBinary(Stream, nullptr, 0);
                break;
        }
    }
}

void TSFDSFileExtraInfoList::LoadFromStream(TStream& Stream) {
    Clear();
    // Only the low 32 bits count. The count is not trusted: nothing is sized
    // by it, and every field consumes bytes or raises.
    const auto FieldCount = static_cast<std::int32_t>(static_cast<std::uint64_t>(SFDS_ReadInt64(Stream)));
    for (std::int32_t I = 0; I < FieldCount; ++I) {
        TSFDSFileExtraInfoField F;
        F.Name = SFDS_ReadString(Stream);
        const std::int64_t Type = SFDS_ReadInt64(Stream);
        F.FieldType = (Type < 0 || Type > EIBinary) ? EIBinary : static_cast<TSFDSFileExtraInfo>(Type);
        std::string Value;  // the temporary value buffer; the list keeps its own copy
        switch (F.FieldType) {
            case EIStr:
                Value = SFDS_ReadString(Stream);
                CheckInt32Range(static_cast<long long>(Value.size()));
                F.ValueString = Value.data();
                F.ValueStringSize = static_cast<std::int32_t>(Value.size());
                break;
            case EINumber: F.ValueNumber = SFDS_ReadInt64(Stream); break;
            case EIDate: F.ValueDate = SFDS_ReadDate(Stream); break;
            case EIBoolean: F.ValueBoolean = (SFDS_ReadInteger(Stream) & 0xFF) != 0; break;
            default: {
                // A negative size is read as an empty block; a block the stream
                // cannot deliver in full raises "Stream read error".
                const std::int32_t N = SFDS_ReadBinarySize(Stream);
                Value = SFDS_ReadBytes(Stream, N < 0 ? 0 : N);
                F.ValueBinary = reinterpret_cast<const std::uint8_t*>(Value.data());
                F.ValueBinarySize = static_cast<std::int32_t>(Value.size());
                break;
            }
        }
        AddOrUpdateField(F);
    }
}
