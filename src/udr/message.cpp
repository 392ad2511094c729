#include "udr/message.h"

#include <algorithm>
#include <cstring>

#include "frame/udf.h"

namespace vantor::udr {

namespace {

const char* NameOf(Kind kind) {
    switch (kind) {
        case Kind::Text: return "CHAR or VARCHAR";
        case Kind::Smallint: return "SMALLINT";
        case Kind::Integer: return "INTEGER";
        case Kind::Double: return "DOUBLE PRECISION";
        case Kind::Date: return "DATE";
        case Kind::Time: return "TIME";
        case Kind::Timestamp: return "TIMESTAMP";
        case Kind::Blob: return "BLOB";
    }
    return "?";
}

// The type and byte length of each fixed-size kind.
bool FixedFits(const FieldLayout& field, unsigned type, unsigned length) {
    return field.Type == type && field.Length == length && field.Scale == 0;
}

}  // namespace

bool FieldFits(const FieldLayout& field, Kind kind) noexcept {
    switch (kind) {
        case Kind::Text: return field.Type == kSqlVarying || field.Type == kSqlText;
        case Kind::Smallint: return FixedFits(field, kSqlShort, 2);
        case Kind::Integer: return FixedFits(field, kSqlLong, 4);
        case Kind::Double: return FixedFits(field, kSqlDouble, 8);
        case Kind::Date: return FixedFits(field, kSqlTypeDate, 4);
        case Kind::Time: return FixedFits(field, kSqlTypeTime, 4);
        case Kind::Timestamp: return FixedFits(field, kSqlTimestamp, 8);
        case Kind::Blob: return field.Type == kSqlBlob && field.Length == 8;
    }
    return false;
}

std::string CheckShape(const MessageLayout& in, const std::vector<Kind>& inKinds, const MessageLayout& out,
                       Kind outKind) {
    if (in.size() != inKinds.size())
        return "declared with " + std::to_string(in.size()) + " arguments, written for " +
               std::to_string(inKinds.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (!FieldFits(in[i], inKinds[i]))
            return "argument " + std::to_string(i + 1) + " must be declared " + NameOf(inKinds[i]);
    }
    if (out.size() != 1 || !(FieldFits(out[0], outKind) || (outKind == Kind::Smallint && FieldFits(out[0], Kind::Integer))))
        return std::string("the result must be declared ") + NameOf(outKind);
    return std::string();
}

bool IsNull(const unsigned char* message, const FieldLayout& field) noexcept {
    int16_t flag;
    std::memcpy(&flag, message + field.NullOffset, sizeof flag);
    return flag != 0;
}

std::string_view TextOf(const unsigned char* message, const FieldLayout& field) noexcept {
    const char* bytes;
    size_t length;
    if (field.Type == kSqlVarying) {
        uint16_t count;
        std::memcpy(&count, message + field.Offset, sizeof count);
        bytes = reinterpret_cast<const char*>(message + field.Offset + sizeof count);
        length = std::min<size_t>(count, field.Length);
    } else {
        bytes = reinterpret_cast<const char*>(message + field.Offset);
        length = field.Length;
    }
    return std::string_view(bytes, strnlen(bytes, length));
}

const unsigned char* ValueOf(const unsigned char* message, const FieldLayout& field) noexcept {
    return message + field.Offset;
}

template <typename T>
T Read(const unsigned char* message, const FieldLayout& field) noexcept {
    T value;
    std::memcpy(&value, message + field.Offset, sizeof value);
    return value;
}

void SetNull(unsigned char* message, const FieldLayout& field, bool null) noexcept {
    const int16_t flag = null ? -1 : 0;
    std::memcpy(message + field.NullOffset, &flag, sizeof flag);
}

void SetZero(unsigned char* message, const FieldLayout& field) noexcept {
    std::memset(message + field.Offset, 0, field.Length + (field.Type == kSqlVarying ? 2 : 0));
    SetNull(message, field, false);
}

size_t MessageLength(const MessageLayout& layout) noexcept {
    size_t length = 0;
    for (const FieldLayout& field : layout) {
        const size_t value = field.Offset + field.Length + (field.Type == kSqlVarying ? 2 : 0);
        length = std::max({length, value, static_cast<size_t>(field.NullOffset) + 2});
    }
    return length;
}

template <typename T>
void Write(unsigned char* message, const FieldLayout& field, const T& value) noexcept {
    std::memcpy(message + field.Offset, &value, sizeof value);
    SetNull(message, field, false);
}

void CopyValue(const unsigned char* from, const FieldLayout& fromField, unsigned char* to,
               const FieldLayout& toField) noexcept {
    std::memcpy(to + toField.Offset, from + fromField.Offset, std::min(fromField.Length, toField.Length));
    SetNull(to, toField, false);
}

unsigned char* TextBuffer(unsigned char* message, const FieldLayout& field) noexcept {
    return message + field.Offset + (field.Type == kSqlVarying ? sizeof(uint16_t) : 0);
}

void SetTextLength(unsigned char* message, const FieldLayout& field, unsigned length) noexcept {
    if (field.Type == kSqlVarying) {
        const uint16_t count = static_cast<uint16_t>(length);
        std::memcpy(message + field.Offset, &count, sizeof count);
    } else if (length < field.Length) {
        std::memset(message + field.Offset + length, ' ', field.Length - length);
    }
    SetNull(message, field, false);
}

bool SetText(unsigned char* message, const FieldLayout& field, std::string_view text) noexcept {
    if (text.size() > field.Length) return false;
    if (!text.empty()) std::memcpy(TextBuffer(message, field), text.data(), text.size());
    SetTextLength(message, field, static_cast<unsigned>(text.size()));
    return true;
}

template int16_t Read<int16_t>(const unsigned char*, const FieldLayout&) noexcept;
template int32_t Read<int32_t>(const unsigned char*, const FieldLayout&) noexcept;
template uint32_t Read<uint32_t>(const unsigned char*, const FieldLayout&) noexcept;
template double Read<double>(const unsigned char*, const FieldLayout&) noexcept;
template ISC_TIMESTAMP Read<ISC_TIMESTAMP>(const unsigned char*, const FieldLayout&) noexcept;
template void Write<int16_t>(unsigned char*, const FieldLayout&, const int16_t&) noexcept;
template void Write<int32_t>(unsigned char*, const FieldLayout&, const int32_t&) noexcept;
template void Write<uint32_t>(unsigned char*, const FieldLayout&, const uint32_t&) noexcept;
template void Write<double>(unsigned char*, const FieldLayout&, const double&) noexcept;
template void Write<ISC_TIMESTAMP>(unsigned char*, const FieldLayout&, const ISC_TIMESTAMP&) noexcept;

}  // namespace vantor::udr
