// The messages of the UDR module's functions, as plain data: the engine
// builds each function's input and output message from its SQL declaration
// (the types, lengths and character sets declared) and describes it by the
// routine's metadata; the adapter reads that description once, into a
// MessageLayout, and reads and writes the message through it on every call.
// A call so pays for the lengths the declaration gives, whatever they are.
//
// Nothing here knows the server's interfaces: src/udr/functions.cpp fills a
// MessageLayout from IMessageMetadata, and the unit tests fill it as the
// engine would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::udr {

// The engine's numbers of the field types a vantor function can be declared
// with (the SQL_* values of the server's headers, checked against them in
// functions.cpp).
constexpr unsigned kSqlText = 452;       // CHAR(n)
constexpr unsigned kSqlVarying = 448;    // VARCHAR(n)
constexpr unsigned kSqlShort = 500;      // SMALLINT
constexpr unsigned kSqlLong = 496;       // INTEGER
constexpr unsigned kSqlDouble = 480;     // DOUBLE PRECISION
constexpr unsigned kSqlTimestamp = 510;  // TIMESTAMP
constexpr unsigned kSqlBlob = 520;       // BLOB
constexpr unsigned kSqlTypeTime = 560;   // TIME
constexpr unsigned kSqlTypeDate = 570;   // DATE

// Character sets the engine numbers for itself.
constexpr unsigned kCharSetNone = 0;
constexpr unsigned kCharSetOctets = 1;
constexpr unsigned kCharSetWin1250 = 51;

// One field of a message: its type, its length in bytes (for text, the
// declared length times the character set's longest character; a VARCHAR's
// two-byte count not included), its character set, where its value and its
// NULL flag (a 16-bit word, non-zero for NULL) sit in the message.
struct FieldLayout {
    unsigned Type = 0;
    unsigned SubType = 0;
    int Scale = 0;
    unsigned Length = 0;
    unsigned CharSet = 0;
    unsigned Offset = 0;
    unsigned NullOffset = 0;
};

using MessageLayout = std::vector<FieldLayout>;

// What a function takes or gives in one place of its declaration.
enum class Kind { Text, Smallint, Integer, Double, Date, Time, Timestamp, Blob };

// Whether a field may stand where a function expects KIND: text is CHAR or
// VARCHAR of any length, every other kind its one exact type (no scale).
bool FieldFits(const FieldLayout& field, Kind kind) noexcept;

// Checks a declaration against the shape a function is written for: the
// number of arguments and the kind of each, and of the result (a SMALLINT
// result may also be declared INTEGER, as legacy declarations may read a
// 16-bit result). Gives an
// empty string when they fit, otherwise what does not, for the error the
// adapter raises when the function is first called.
std::string CheckShape(const MessageLayout& in, const std::vector<Kind>& inKinds, const MessageLayout& out,
                       Kind outKind);

// Reading a field of a message.
bool IsNull(const unsigned char* message, const FieldLayout& field) noexcept;

// A text field's bytes up to its first zero byte (as the legacy module's
// CSTRING arguments are read): a VARCHAR's counted bytes (a count above the
// field's length is cut to it), a CHAR's whole field, blanks included.
std::string_view TextOf(const unsigned char* message, const FieldLayout& field) noexcept;

// The address of a fixed-size field's value (SMALLINT, INTEGER, DOUBLE
// PRECISION, DATE, TIME, TIMESTAMP, BLOB id), which may be unaligned.
const unsigned char* ValueOf(const unsigned char* message, const FieldLayout& field) noexcept;

template <typename T>
T Read(const unsigned char* message, const FieldLayout& field) noexcept;

// Writing the result field.
void SetNull(unsigned char* message, const FieldLayout& field, bool null) noexcept;

// Writes the zero of a field's type (0, 0.0, day 0, the empty text, BLOB id
// 0) and clears its NULL flag.
void SetZero(unsigned char* message, const FieldLayout& field) noexcept;

// The bytes a message of this layout takes: its last value or NULL flag.
size_t MessageLength(const MessageLayout& layout) noexcept;

// Writes a value of a fixed-size field and clears its NULL flag.
template <typename T>
void Write(unsigned char* message, const FieldLayout& field, const T& value) noexcept;

// Copies a fixed-size value of one field into another of the same type (the
// IIF functions) and clears the result's NULL flag.
void CopyValue(const unsigned char* from, const FieldLayout& fromField, unsigned char* to,
               const FieldLayout& toField) noexcept;

// Writes text into a text field and clears its NULL flag: a VARCHAR gets the
// count and the bytes, a CHAR the bytes padded with blanks. Text longer than
// the field's length writes nothing and gives false: the caller raises the
// engine's string truncation error, never cuts the result.
bool SetText(unsigned char* message, const FieldLayout& field, std::string_view text) noexcept;

// Where a text field's bytes go, for a result written in place; the caller
// then gives its length with SetTextLength. Capacity is the field's length.
unsigned char* TextBuffer(unsigned char* message, const FieldLayout& field) noexcept;
void SetTextLength(unsigned char* message, const FieldLayout& field, unsigned length) noexcept;

}  // namespace vantor::udr
