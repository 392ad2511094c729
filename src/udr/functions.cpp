// The UDR module libvantor_udr.so: the 23 functions through Firebird's C++
// UDR interface (the udr_engine plugin), for servers where legacy UDFs are
// switched off. The functions themselves are plain code over messages
// (udr/routines.h): this file is the engine's side, which reads each
// function's message layouts from the routine's metadata, as the server
// built them from the SQL declaration, runs the routine on every call and
// raises what it reports as the engine's own errors. Differences from the
// legacy module, all at the boundary:
//   * SQL NULL in any argument gives SQL NULL, for every function (the
//     legacy module reads a missing value as 0 or as an empty string);
//   * text arguments are CHAR or VARCHAR of any declared length and are
//     read, as the legacy CSTRING ones are, up to their first zero byte; a
//     text result longer than its declared length is an error;
//   * Now fails by returning NULL, where the legacy module returns a null
//     address, which the server also shows as NULL.
// An infinite or NaN DOUBLE PRECISION result raises the error the server
// raises for a legacy UDF, so a query fails here exactly where it fails there.
// A declaration whose types do not fit the function is refused when the
// function is called.
//
// The declarations are sql/vantor-udr.sql; each function below is preceded
// by its own.

// The server's interface headers come first, without their BLOBCALLBACK
// record (JRD_VAL_H, the guard they keep for it), which the legacy half of
// the library declares with the server's exact 16-bit signature; the
// library's headers then take the headers' ISC_TIMESTAMP as it is.
#define JRD_VAL_H
#define FB_UDR_STATUS_TYPE ::Firebird::ThrowStatusWrapper
#include <firebird/UdrCppEngine.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <string>

#include "blob/blobreader.h"
#include "udr/message.h"
#include "udr/routines.h"

namespace vantor::udr {

static_assert(kSqlText == SQL_TEXT && kSqlVarying == SQL_VARYING && kSqlShort == SQL_SHORT &&
                  kSqlLong == SQL_LONG && kSqlDouble == SQL_DOUBLE && kSqlTimestamp == SQL_TIMESTAMP &&
                  kSqlBlob == SQL_BLOB && kSqlTypeTime == SQL_TYPE_TIME && kSqlTypeDate == SQL_TYPE_DATE,
              "the field types are the engine's");

using Firebird::FbException;
using Firebird::IMessageMetadata;
using Firebird::IStatus;
using Firebird::ThrowStatusWrapper;

// The layout of a message as the engine describes it.
MessageLayout LayoutOf(ThrowStatusWrapper* status, IMessageMetadata* metadata) {
    MessageLayout layout(metadata->getCount(status));
    for (unsigned i = 0; i < layout.size(); ++i) {
        FieldLayout& field = layout[i];
        field.Type = metadata->getType(status, i) & ~1u;
        field.SubType = static_cast<unsigned>(metadata->getSubType(status, i));
        field.Scale = metadata->getScale(status, i);
        field.Length = metadata->getLength(status, i);
        field.CharSet = metadata->getCharSet(status, i);
        field.Offset = metadata->getOffset(status, i);
        field.NullOffset = metadata->getNullOffset(status, i);
    }
    return layout;
}

// The engine's error for a declaration that does not fit its function.
[[noreturn]] void RaiseDeclarationError(ThrowStatusWrapper* status, const std::string& text) {
    const ISC_STATUS vector[] = {isc_arg_gds, isc_random, isc_arg_string,
                                 reinterpret_cast<ISC_STATUS>(text.c_str()), isc_arg_end};
    throw FbException(status, vector);
}

// Raises what a routine reported, as the engine raises it for the same
// result of a legacy UDF or of its own string conversions.
void Raise(ThrowStatusWrapper* status, const char* function, const Outcome& outcome) {
    switch (outcome.What) {
        case Fault::None: return;
        case Fault::NotANumber:
        case Fault::Overflow: {
            const ISC_STATUS vector[] = {
                isc_arg_gds, isc_expression_eval_err, isc_arg_gds,
                outcome.What == Fault::NotANumber ? isc_udf_fp_nan : isc_udf_fp_overflow,
                isc_arg_string, reinterpret_cast<ISC_STATUS>(function), isc_arg_end};
            throw FbException(status, vector);
        }
        case Fault::Truncation: {
            const ISC_STATUS vector[] = {isc_arg_gds, isc_arith_except, isc_arg_gds, isc_string_truncation,
                                         isc_arg_gds, isc_trunc_limits,
                                         isc_arg_number, static_cast<ISC_STATUS>(outcome.Limit),
                                         isc_arg_number, static_cast<ISC_STATUS>(outcome.Actual), isc_arg_end};
            throw FbException(status, vector);
        }
        case Fault::TooComplex: {
            const std::string text = std::string(function) +
                                     ": the mask needs more memory than the matcher allows for this text "
                                     "(groups nested too deep for its length; see the masks guide)";
            const ISC_STATUS vector[] = {isc_arg_gds, isc_random, isc_arg_string,
                                         reinterpret_cast<ISC_STATUS>(text.c_str()), isc_arg_end};
            throw FbException(status, vector);
        }
    }
}

// What every function object holds: its routine and the layouts of its two
// messages, read once when the engine makes the object (for an attachment)
// and used on every call.
class Adapter {
public:
    // For the interface headers' second constructor, which the engine never
    // calls.
    Adapter() = default;

    Adapter(ThrowStatusWrapper* status, Firebird::IRoutineMetadata* metadata, const char* name)
        : routine_(FindRoutine(name)), upperName_(name) {
        // The engine names a legacy UDF in its errors as the declaration
        // does, in capitals; this module's errors name the function alike.
        for (char& c : upperName_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Firebird::IMessageMetadata* in = metadata->getInputMetadata(status);
        Firebird::IMessageMetadata* out = nullptr;
        try {
            in_ = LayoutOf(status, in);
            out = metadata->getOutputMetadata(status);
            out_ = LayoutOf(status, out);
        } catch (...) {
            in->release();
            if (out) out->release();
            throw;
        }
        in->release();
        out->release();
        // A declaration that does not fit is refused on every call (raising
        // here, while the engine makes the object, leaves its request busy).
        const std::string fault = CheckDeclaration(*routine_, in_, out_);
        if (!fault.empty()) declarationFault_ = std::string(name) + ": " + fault;
    }

    // Raises the error of a declaration that does not fit, if it does not.
    void CheckDeclared(ThrowStatusWrapper* status) const {
        if (!declarationFault_.empty()) RaiseDeclarationError(status, declarationFault_);
    }

    void Execute(ThrowStatusWrapper* status, const unsigned char* in, unsigned char* out) {
        CheckDeclared(status);
        Call call{in_, in, out_, out};
        call.Match = &matchState_;
        Raise(status, upperName_.c_str(), routine_->Run(call));
    }

    const MessageLayout& In() const { return in_; }
    const MessageLayout& Out() const { return out_; }

private:
    const Routine* routine_ = nullptr;
    std::string upperName_;
    std::string declarationFault_;
    // Match's state for this attachment (unused by the other functions).
    MatchState matchState_;
    MessageLayout in_;
    MessageLayout out_;
};

// A BLOB argument as a chunk reader: getSegment on the blob until it
// delivers bytes or reports the end. Empty segments are passed over. An
// error ends the reading and is kept, to be raised once the reader is done.
class BlobChunks {
public:
    BlobChunks(ThrowStatusWrapper* status, Firebird::IExternalContext* context, ISC_QUAD* id)
        : status_(status) {
        Firebird::IAttachment* attachment = context->getAttachment(status);
        Firebird::ITransaction* transaction = nullptr;
        try {
            transaction = context->getTransaction(status);
            blob_ = attachment->openBlob(status, transaction, id, 0, nullptr);
        } catch (...) {
            if (transaction) transaction->release();
            attachment->release();
            throw;
        }
        transaction->release();
        attachment->release();
    }
    BlobChunks(const BlobChunks&) = delete;
    BlobChunks& operator=(const BlobChunks&) = delete;
    ~BlobChunks() {
        if (blob_) blob_->release();
    }

    ChunkReader Reader() noexcept { return ChunkReader{Read, this}; }

    // Raises the error a read met, if any, and closes the blob.
    void Finish() {
        if (error_) std::rethrow_exception(error_);
        blob_->close(status_);
        blob_ = nullptr;  // closed, and released by the close
    }

private:
    static size_t Read(void* context, unsigned char* into, size_t size) noexcept {
        BlobChunks& self = *static_cast<BlobChunks*>(context);
        if (self.error_) return 0;
        try {
            for (;;) {
                unsigned got = 0;
                const int result = self.blob_->getSegment(self.status_, static_cast<unsigned>(size), into, &got);
                if (result == IStatus::RESULT_NO_DATA) return 0;
                if (got > 0) return std::min<size_t>(got, size);
            }
        } catch (...) {
            self.error_ = std::current_exception();
            return 0;
        }
    }

    ThrowStatusWrapper* status_;
    Firebird::IBlob* blob_ = nullptr;
    std::exception_ptr error_;
};

}  // namespace vantor::udr

// Each function: an adapter made for its declaration, calling its routine.
#define VANTOR_UDR_FUNCTION(name)                                                   \
    FB_UDR_BEGIN_FUNCTION(name)                                                     \
    FB_UDR_CONSTRUCTOR, adapter(status, metadata, #name) {}                         \
    vantor::udr::Adapter adapter;                                                   \
    FB_UDR_EXECUTE_FUNCTION {                                                       \
        (void)context;                                                              \
        adapter.Execute(status, in, out);                                           \
    }                                                                               \
    FB_UDR_END_FUNCTION

// Date and time: day-number conversions

// CREATE FUNCTION D2DP (D DATE) RETURNS DOUBLE PRECISION
//   EXTERNAL NAME 'vantor_udr!D2DP' ENGINE UDR;
VANTOR_UDR_FUNCTION(D2DP)

// CREATE FUNCTION DP2D (DP DOUBLE PRECISION) RETURNS DATE
//   EXTERNAL NAME 'vantor_udr!DP2D' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2D)

// CREATE FUNCTION T2DP (T TIME) RETURNS DOUBLE PRECISION
//   EXTERNAL NAME 'vantor_udr!T2DP' ENGINE UDR;
VANTOR_UDR_FUNCTION(T2DP)

// CREATE FUNCTION DP2T (DP DOUBLE PRECISION) RETURNS TIME
//   EXTERNAL NAME 'vantor_udr!DP2T' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2T)

// CREATE FUNCTION TS2DP (TS TIMESTAMP) RETURNS DOUBLE PRECISION
//   EXTERNAL NAME 'vantor_udr!TS2DP' ENGINE UDR;
VANTOR_UDR_FUNCTION(TS2DP)

// CREATE FUNCTION DP2TS (DP DOUBLE PRECISION) RETURNS TIMESTAMP
//   EXTERNAL NAME 'vantor_udr!DP2TS' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2TS)

// Date and time: calendar fields, weekday filter, current timestamp.
// SMALLINT results carry the low 16 bits of the legacy results, as the
// server reads them from a legacy UDF.

// CREATE FUNCTION DP2Day (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2Day' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2Day)

// CREATE FUNCTION DP2Month (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2Month' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2Month)

// CREATE FUNCTION DP2Year (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2Year' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2Year)

// CREATE FUNCTION DP2DOW (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2DOW' ENGINE UDR;
VANTOR_UDR_FUNCTION(DP2DOW)

// CREATE FUNCTION DPDOW (DP DOUBLE PRECISION, DAYS VARCHAR(255))
//   RETURNS SMALLINT EXTERNAL NAME 'vantor_udr!DPDOW' ENGINE UDR;
VANTOR_UDR_FUNCTION(DPDOW)

// CREATE FUNCTION Now RETURNS TIMESTAMP
//   EXTERNAL NAME 'vantor_udr!Now' ENGINE UDR;
VANTOR_UDR_FUNCTION(Now)

// Wildcard matching

// Both texts are in the database's default character set (as many
// characters as fit in 32765 bytes), compared byte for byte, as the legacy
// module's are. The last compiled mask is kept per attachment; a mask past
// the matcher's memory bound raises an error instead of answering 0.
// CREATE FUNCTION Match (T VARCHAR(32765), MASK VARCHAR(32765))
//   RETURNS SMALLINT EXTERNAL NAME 'vantor_udr!Match' ENGINE UDR;
VANTOR_UDR_FUNCTION(Match)

// Text and scalar functions

// CREATE FUNCTION ALC (T VARCHAR(32765) CHARACTER SET WIN1250)
//   RETURNS VARCHAR(32765) CHARACTER SET WIN1250
//   EXTERNAL NAME 'vantor_udr!ALC' ENGINE UDR;
VANTOR_UDR_FUNCTION(ALC)

// CREATE FUNCTION IIF_D (C SMALLINT, A DATE, B DATE) RETURNS DATE
//   EXTERNAL NAME 'vantor_udr!IIF_D' ENGINE UDR;
VANTOR_UDR_FUNCTION(IIF_D)

// CREATE FUNCTION IIF_T (C SMALLINT, A TIME, B TIME) RETURNS TIME
//   EXTERNAL NAME 'vantor_udr!IIF_T' ENGINE UDR;
VANTOR_UDR_FUNCTION(IIF_T)

// CREATE FUNCTION IIF_TS (C SMALLINT, A TIMESTAMP, B TIMESTAMP)
//   RETURNS TIMESTAMP EXTERNAL NAME 'vantor_udr!IIF_TS' ENGINE UDR;
VANTOR_UDR_FUNCTION(IIF_TS)

// The strings take the database's default character set, as the legacy
// IIF_S's do, so no conversion happens on the way.
// CREATE FUNCTION IIF_S (C SMALLINT, A VARCHAR(32765), B VARCHAR(32765))
//   RETURNS VARCHAR(32765) EXTERNAL NAME 'vantor_udr!IIF_S' ENGINE UDR;
VANTOR_UDR_FUNCTION(IIF_S)

// CREATE FUNCTION IIF_I (C SMALLINT, A INTEGER, B INTEGER) RETURNS INTEGER
//   EXTERNAL NAME 'vantor_udr!IIF_I' ENGINE UDR;
VANTOR_UDR_FUNCTION(IIF_I)

// CREATE FUNCTION IIF_DP (C SMALLINT, A DOUBLE PRECISION, B DOUBLE PRECISION)
//   RETURNS DOUBLE PRECISION EXTERNAL NAME 'vantor_udr!IIF_DP' ENGINE UDR;
VANTOR_UDR_FUNCTION(IIF_DP)

// CREATE FUNCTION DivDP (A DOUBLE PRECISION, B DOUBLE PRECISION)
//   RETURNS DOUBLE PRECISION EXTERNAL NAME 'vantor_udr!DivDP' ENGINE UDR;
// A divisor of +0.0 or -0.0 gives +0.0.
VANTOR_UDR_FUNCTION(DivDP)

// BLOB readers: the adapter reads the BLOB through the engine.

// CREATE FUNCTION BLOB2I (B BLOB) RETURNS INTEGER
//   EXTERNAL NAME 'vantor_udr!BLOB2I' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(BLOB2I)
FB_UDR_CONSTRUCTOR, adapter(status, metadata, "BLOB2I") {}
const vantor::udr::Adapter adapter;
FB_UDR_EXECUTE_FUNCTION {
    using namespace vantor::udr;
    adapter.CheckDeclared(status);
    const FieldLayout& result = adapter.Out()[0];
    if (IsNull(in, adapter.In()[0])) return SetNull(out, result, true);
    ISC_QUAD id;
    std::memcpy(&id, ValueOf(in, adapter.In()[0]), sizeof id);
    BlobChunks chunks(status, context, &id);
    const int32_t first = vantor::FirstIntegerOfChunks(chunks.Reader());
    chunks.Finish();
    Write(out, result, first);
}
FB_UDR_END_FUNCTION

// The reader stops at the end of the BLOB or after 524288 bytes, whichever
// comes first: the same bytes the legacy reader takes from the BLOB's length.
// CREATE FUNCTION BLOB2SO (B BLOB, KEY_ INTEGER, LIMIT_ INTEGER)
//   RETURNS INTEGER EXTERNAL NAME 'vantor_udr!BLOB2SO' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(BLOB2SO)
FB_UDR_CONSTRUCTOR, adapter(status, metadata, "BLOB2SO") {}
const vantor::udr::Adapter adapter;
FB_UDR_EXECUTE_FUNCTION {
    using namespace vantor::udr;
    adapter.CheckDeclared(status);
    const MessageLayout& args = adapter.In();
    const FieldLayout& result = adapter.Out()[0];
    if (IsNull(in, args[0]) || IsNull(in, args[1]) || IsNull(in, args[2])) return SetNull(out, result, true);
    ISC_QUAD id;
    std::memcpy(&id, ValueOf(in, args[0]), sizeof id);
    BlobChunks chunks(status, context, &id);
    const int32_t count = vantor::CountRecordsInChunks(chunks.Reader(), vantor::kRecordScanLimit,
                                                       Read<int32_t>(in, args[1]), Read<int32_t>(in, args[2]));
    chunks.Finish();
    Write(out, result, count);
}
FB_UDR_END_FUNCTION

FB_UDR_IMPLEMENT_ENTRY_POINT
