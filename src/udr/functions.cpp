// The UDR module libvantor_udr.so: the 23 functions through Firebird's C++
// UDR interface (the udr_engine plugin), for servers where legacy UDFs are
// switched off. Each function is a thin adapter over the same plain
// functions the legacy entry points call, so both modules compute alike:
// for every non-NULL input the result is bit-identical to the legacy
// module's. Differences, all at the boundary:
//   * SQL NULL in any argument gives SQL NULL, for every function (the
//     legacy module reads a missing value as 0 or as an empty string);
//   * text arguments are VARCHAR and are read, as the legacy CSTRING ones
//     are, up to their first zero byte;
//   * Now fails by returning NULL, where the legacy module returns a null
//     address, which the server also shows as NULL.
// An infinite or NaN DOUBLE PRECISION result raises the error the server
// raises for a legacy UDF, so a query fails here exactly where it fails there.
//
// The declarations are sql/vantor-udr.sql; each function below is preceded
// by its own.

// The library's boundary types come first; the interface headers then take
// them as they are (ISC_TIMESTAMP_DEFINED) and skip their own BLOBCALLBACK
// record (JRD_VAL_H), which the legacy half of the library declares with the
// server's exact 16-bit signature.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <string_view>

#include "blob/blobreader.h"
#include "datetime/calendar.h"
#include "datetime/daynumber.h"
#include "datetime/now.h"
#include "mask/mask.h"
#include "text/lowercase.h"
#include "scalar/scalar.h"

#define ISC_TIMESTAMP_DEFINED
#define JRD_VAL_H
#define FB_UDR_STATUS_TYPE ::Firebird::ThrowStatusWrapper
#include <firebird/UdrCppEngine.h>

// The 3.0 headers describe FB_DATE with SQL_DATE (the dialect-1 name of a
// TIMESTAMP), FB_TIME with an SQL_TIME they never define, and both, with
// FB_TIMESTAMP, by unqualified class names. The message fields of those types
// are described here as later versions of the headers describe them.
#undef FB__META_FB_DATE
#undef FB__META_FB_TIME
#undef FB__META_FB_TIMESTAMP
#define FB__META_FB_DATE                                  \
    builder->setType(status, index, SQL_TYPE_DATE);       \
    builder->setLength(status, index, sizeof(::Firebird::FbDate));
#define FB__META_FB_TIME                                  \
    builder->setType(status, index, SQL_TYPE_TIME);       \
    builder->setLength(status, index, sizeof(::Firebird::FbTime));
#define FB__META_FB_TIMESTAMP                             \
    builder->setType(status, index, SQL_TIMESTAMP);       \
    builder->setLength(status, index, sizeof(::Firebird::FbTimestamp));

namespace vantor::udr {

// The engine's number for the WIN1250 character set.
constexpr unsigned kCharSetWin1250 = 51;

using Firebird::FbException;
using Firebird::IStatus;
using Firebird::ThrowStatusWrapper;

template <typename... Flags>
bool AnyNull(Flags... flags) {
    return (... || (flags != 0));
}

// The text of a VARCHAR up to its first zero byte, as the legacy module's
// CSTRING arguments read it.
template <unsigned N>
std::string_view TextOf(const Firebird::FbVarChar<N>& varchar) {
    const size_t length = std::min<size_t>(varchar.length, N);
    return std::string_view(varchar.str, strnlen(varchar.str, length));
}

// Writes a DOUBLE PRECISION result. An infinite or NaN value raises the
// error the server raises for the same value from a legacy UDF.
inline void SetDouble(ThrowStatusWrapper* status, const char* function, double value, double* out) {
    if (!std::isfinite(value)) {
        const ISC_STATUS vector[] = {isc_arg_gds, isc_expression_eval_err,
                                     isc_arg_gds, std::isnan(value) ? isc_udf_fp_nan : isc_udf_fp_overflow,
                                     isc_arg_string, reinterpret_cast<ISC_STATUS>(function),
                                     isc_arg_end};
        throw FbException(status, vector);
    }
    *out = value;
}

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

using vantor::udr::AnyNull;
using vantor::udr::SetDouble;
using vantor::udr::TextOf;

// Date and time: day-number conversions

// CREATE FUNCTION D2DP (D DATE) RETURNS DOUBLE PRECISION
//   EXTERNAL NAME 'vantor_udr!D2DP' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(D2DP)
FB_UDR_MESSAGE(InMessage, (FB_DATE, d));
FB_UDR_MESSAGE(OutMessage, (FB_DOUBLE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dNull;
    if (!in->dNull) SetDouble(status, "D2DP", vantor::DateToDP(in->d.value), &out->result);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DP2D (DP DOUBLE PRECISION) RETURNS DATE
//   EXTERNAL NAME 'vantor_udr!DP2D' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2D)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_DATE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull) out->result.value = vantor::DPToDate(in->dp);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION T2DP (T TIME) RETURNS DOUBLE PRECISION
//   EXTERNAL NAME 'vantor_udr!T2DP' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(T2DP)
FB_UDR_MESSAGE(InMessage, (FB_TIME, t));
FB_UDR_MESSAGE(OutMessage, (FB_DOUBLE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->tNull;
    if (!in->tNull) SetDouble(status, "T2DP", vantor::TimeToDP(in->t.value), &out->result);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DP2T (DP DOUBLE PRECISION) RETURNS TIME
//   EXTERNAL NAME 'vantor_udr!DP2T' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2T)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_TIME, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull) out->result.value = vantor::DPToTime(in->dp);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION TS2DP (TS TIMESTAMP) RETURNS DOUBLE PRECISION
//   EXTERNAL NAME 'vantor_udr!TS2DP' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(TS2DP)
FB_UDR_MESSAGE(InMessage, (FB_TIMESTAMP, ts));
FB_UDR_MESSAGE(OutMessage, (FB_DOUBLE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->tsNull;
    if (!in->tsNull) {
        const ISC_TIMESTAMP timestamp{in->ts.date.value, in->ts.time.value};
        SetDouble(status, "TS2DP", vantor::TimestampToDP(timestamp), &out->result);
    }
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DP2TS (DP DOUBLE PRECISION) RETURNS TIMESTAMP
//   EXTERNAL NAME 'vantor_udr!DP2TS' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2TS)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_TIMESTAMP, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull) {
        const ISC_TIMESTAMP timestamp = vantor::DPToTimestamp(in->dp);
        out->result.date.value = timestamp.timestamp_date;
        out->result.time.value = timestamp.timestamp_time;
    }
}
FB_UDR_END_FUNCTION

// Date and time: calendar fields, weekday filter, current timestamp.
// SMALLINT results carry the low 16 bits of the legacy results, as the
// server reads them from a legacy UDF.

// CREATE FUNCTION DP2Day (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2Day' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2Day)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_SMALLINT, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull)
        out->result = static_cast<ISC_SHORT>(vantor::CalendarDateOfDayCount(vantor::DayCountOfDP(in->dp)).day);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DP2Month (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2Month' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2Month)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_SMALLINT, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull)
        out->result = static_cast<ISC_SHORT>(vantor::CalendarDateOfDayCount(vantor::DayCountOfDP(in->dp)).month);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DP2Year (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2Year' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2Year)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_SMALLINT, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull)
        out->result = static_cast<ISC_SHORT>(vantor::CalendarDateOfDayCount(vantor::DayCountOfDP(in->dp)).year);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DP2DOW (DP DOUBLE PRECISION) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!DP2DOW' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DP2DOW)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp));
FB_UDR_MESSAGE(OutMessage, (FB_SMALLINT, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->dpNull;
    if (!in->dpNull)
        out->result = static_cast<ISC_SHORT>(vantor::WeekdayOfDayCount(vantor::DayCountOfDP(in->dp)));
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DPDOW (DP DOUBLE PRECISION, DAYS VARCHAR(255))
//   RETURNS SMALLINT EXTERNAL NAME 'vantor_udr!DPDOW' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(DPDOW)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, dp)(FB_VARCHAR(255), days));
FB_UDR_MESSAGE(OutMessage, (FB_SMALLINT, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->dpNull, in->daysNull);
    if (out->resultNull) return;
    char list[256];
    const std::string_view days = TextOf(in->days);
    std::memcpy(list, days.data(), days.size());
    list[days.size()] = '\0';
    out->result = vantor::WeekdayPassesList(vantor::WeekdayOfDayCount(vantor::DayCountOfDP(in->dp)), list) ? 1 : 0;
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION Now RETURNS TIMESTAMP
//   EXTERNAL NAME 'vantor_udr!Now' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(Now)
FB_UDR_MESSAGE(OutMessage, (FB_TIMESTAMP, result));
FB_UDR_EXECUTE_FUNCTION {
    ISC_TIMESTAMP timestamp;
    const bool known = vantor::CurrentLocalTimestamp(vantor::ReadSystemClock, &timestamp);
    out->resultNull = known ? FB_FALSE : FB_TRUE;
    if (known) {
        out->result.date.value = timestamp.timestamp_date;
        out->result.time.value = timestamp.timestamp_time;
    }
}
FB_UDR_END_FUNCTION

// Wildcard matching

// Both texts are CHARACTER SET NONE, so their bytes arrive as the caller's
// character set has them, with no conversion, as the legacy module's do.
// CREATE FUNCTION Match (T VARCHAR(32765) CHARACTER SET NONE,
//   MASK VARCHAR(32765) CHARACTER SET NONE) RETURNS SMALLINT
//   EXTERNAL NAME 'vantor_udr!Match' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(Match)
FB_UDR_MESSAGE(InMessage, (FB_VARCHAR(32765), text)(FB_VARCHAR(32765), mask));
FB_UDR_MESSAGE(OutMessage, (FB_SMALLINT, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->textNull, in->maskNull);
    if (!out->resultNull) out->result = vantor::MatchMask(TextOf(in->text), TextOf(in->mask)) ? 1 : 0;
}
FB_UDR_END_FUNCTION

// Text and scalar functions

// CREATE FUNCTION ALC (T VARCHAR(32765) CHARACTER SET WIN1250)
//   RETURNS VARCHAR(32765) CHARACTER SET WIN1250
//   EXTERNAL NAME 'vantor_udr!ALC' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(ALC)
FB_UDR_MESSAGE(InMessage, (FB_INTL_VARCHAR(32765, vantor::udr::kCharSetWin1250), text));
FB_UDR_MESSAGE(OutMessage, (FB_INTL_VARCHAR(32765, vantor::udr::kCharSetWin1250), result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->textNull;
    if (in->textNull) return;
    const std::string_view text = TextOf(in->text);
    vantor::LowerCaseBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                           reinterpret_cast<unsigned char*>(out->result.str));
    out->result.length = static_cast<ISC_USHORT>(text.size());
}
FB_UDR_END_FUNCTION

// The IIF functions: a condition above 0 picks the first value, anything
// else the second; NULL in any argument gives NULL.

// CREATE FUNCTION IIF_D (C SMALLINT, A DATE, B DATE) RETURNS DATE
//   EXTERNAL NAME 'vantor_udr!IIF_D' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(IIF_D)
FB_UDR_MESSAGE(InMessage, (FB_SMALLINT, c)(FB_DATE, a)(FB_DATE, b));
FB_UDR_MESSAGE(OutMessage, (FB_DATE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->cNull, in->aNull, in->bNull);
    if (!out->resultNull) out->result = *vantor::Choose(&in->c, &in->a, &in->b);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION IIF_T (C SMALLINT, A TIME, B TIME) RETURNS TIME
//   EXTERNAL NAME 'vantor_udr!IIF_T' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(IIF_T)
FB_UDR_MESSAGE(InMessage, (FB_SMALLINT, c)(FB_TIME, a)(FB_TIME, b));
FB_UDR_MESSAGE(OutMessage, (FB_TIME, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->cNull, in->aNull, in->bNull);
    if (!out->resultNull) out->result = *vantor::Choose(&in->c, &in->a, &in->b);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION IIF_TS (C SMALLINT, A TIMESTAMP, B TIMESTAMP)
//   RETURNS TIMESTAMP EXTERNAL NAME 'vantor_udr!IIF_TS' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(IIF_TS)
FB_UDR_MESSAGE(InMessage, (FB_SMALLINT, c)(FB_TIMESTAMP, a)(FB_TIMESTAMP, b));
FB_UDR_MESSAGE(OutMessage, (FB_TIMESTAMP, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->cNull, in->aNull, in->bNull);
    if (!out->resultNull) out->result = *vantor::Choose(&in->c, &in->a, &in->b);
}
FB_UDR_END_FUNCTION

// The strings take the database's default character set, as the legacy
// IIF_S's do, so no conversion happens on the way.
// CREATE FUNCTION IIF_S (C SMALLINT, A VARCHAR(32765), B VARCHAR(32765))
//   RETURNS VARCHAR(32765) EXTERNAL NAME 'vantor_udr!IIF_S' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(IIF_S)
FB_UDR_MESSAGE(InMessage, (FB_SMALLINT, c)(FB_VARCHAR(32765), a)(FB_VARCHAR(32765), b));
FB_UDR_MESSAGE(OutMessage, (FB_VARCHAR(32765), result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->cNull, in->aNull, in->bNull);
    if (out->resultNull) return;
    const std::string_view chosen = TextOf(*vantor::Choose(&in->c, &in->a, &in->b));
    std::memcpy(out->result.str, chosen.data(), chosen.size());
    out->result.length = static_cast<ISC_USHORT>(chosen.size());
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION IIF_I (C SMALLINT, A INTEGER, B INTEGER) RETURNS INTEGER
//   EXTERNAL NAME 'vantor_udr!IIF_I' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(IIF_I)
FB_UDR_MESSAGE(InMessage, (FB_SMALLINT, c)(FB_INTEGER, a)(FB_INTEGER, b));
FB_UDR_MESSAGE(OutMessage, (FB_INTEGER, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->cNull, in->aNull, in->bNull);
    if (!out->resultNull) out->result = *vantor::Choose(&in->c, &in->a, &in->b);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION IIF_DP (C SMALLINT, A DOUBLE PRECISION, B DOUBLE PRECISION)
//   RETURNS DOUBLE PRECISION EXTERNAL NAME 'vantor_udr!IIF_DP' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(IIF_DP)
FB_UDR_MESSAGE(InMessage, (FB_SMALLINT, c)(FB_DOUBLE, a)(FB_DOUBLE, b));
FB_UDR_MESSAGE(OutMessage, (FB_DOUBLE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->cNull, in->aNull, in->bNull);
    if (!out->resultNull) SetDouble(status, "IIF_DP", *vantor::Choose(&in->c, &in->a, &in->b), &out->result);
}
FB_UDR_END_FUNCTION

// CREATE FUNCTION DivDP (A DOUBLE PRECISION, B DOUBLE PRECISION)
//   RETURNS DOUBLE PRECISION EXTERNAL NAME 'vantor_udr!DivDP' ENGINE UDR;
// A divisor of +0.0 or -0.0 gives +0.0.
FB_UDR_BEGIN_FUNCTION(DivDP)
FB_UDR_MESSAGE(InMessage, (FB_DOUBLE, a)(FB_DOUBLE, b));
FB_UDR_MESSAGE(OutMessage, (FB_DOUBLE, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->aNull, in->bNull);
    if (out->resultNull) return;
    const double quotient = vantor::IsGuardedDivisor(in->b) ? 0.0 : vantor::ExtendedQuotient(in->a, in->b);
    SetDouble(status, "DIVDP", quotient, &out->result);
}
FB_UDR_END_FUNCTION

// BLOB readers

// CREATE FUNCTION BLOB2I (B BLOB) RETURNS INTEGER
//   EXTERNAL NAME 'vantor_udr!BLOB2I' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(BLOB2I)
FB_UDR_MESSAGE(InMessage, (FB_BLOB, b));
FB_UDR_MESSAGE(OutMessage, (FB_INTEGER, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = in->bNull;
    if (in->bNull) return;
    vantor::udr::BlobChunks chunks(status, context, &in->b);
    const int32_t first = vantor::FirstIntegerOfChunks(chunks.Reader());
    chunks.Finish();
    out->result = first;
}
FB_UDR_END_FUNCTION

// The reader stops at the end of the BLOB or after 524288 bytes, whichever
// comes first: the same bytes the legacy reader takes from the BLOB's length.
// CREATE FUNCTION BLOB2SO (B BLOB, KEY_ INTEGER, LIMIT_ INTEGER)
//   RETURNS INTEGER EXTERNAL NAME 'vantor_udr!BLOB2SO' ENGINE UDR;
FB_UDR_BEGIN_FUNCTION(BLOB2SO)
FB_UDR_MESSAGE(InMessage, (FB_BLOB, b)(FB_INTEGER, key)(FB_INTEGER, limit));
FB_UDR_MESSAGE(OutMessage, (FB_INTEGER, result));
FB_UDR_EXECUTE_FUNCTION {
    out->resultNull = AnyNull(in->bNull, in->keyNull, in->limitNull);
    if (out->resultNull) return;
    vantor::udr::BlobChunks chunks(status, context, &in->b);
    const int32_t count =
        vantor::CountRecordsInChunks(chunks.Reader(), vantor::kRecordScanLimit, in->key, in->limit);
    chunks.Finish();
    out->result = count;
}
FB_UDR_END_FUNCTION

FB_UDR_IMPLEMENT_ENTRY_POINT
