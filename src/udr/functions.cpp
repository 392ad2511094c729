// The UDR module libvantor_udr.so: the 23 functions through Firebird's C++
// UDR interface (the udr_engine plugin), for servers where legacy UDFs are
// switched off. The functions themselves are plain code over messages
// (udr/routines.h): this file is the engine's side, which reads each
// function's message layouts from the routine's metadata, as the server
// built them from the SQL declaration, runs the routine on every call and
// raises what it reports as the engine's own errors. Differences from the
// legacy module, all at the boundary:
//   * SQL NULL in any argument gives SQL NULL, for every function declared
//     afresh (the legacy module reads a missing value as 0 or as an empty
//     string); a function moved from a legacy declaration carries that
//     declaration's NULL rules after its routine's name in EXTERNAL NAME,
//     and gives what the legacy function gave (udr/routines.h);
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
// The declarations are sql/vantor-udr.sql; the registrations at the end of
// this file, generated from the same table, show each function's own.

// The server's interface headers come first, without their BLOBCALLBACK
// record (JRD_VAL_H, the guard they keep for it), which the legacy half of
// the library declares with the server's exact 16-bit signature; the
// library's headers then take the headers' ISC_TIMESTAMP as it is.
#define JRD_VAL_H
#define FB_UDR_STATUS_TYPE ::Firebird::ThrowStatusWrapper
#include <firebird/UdrCppEngine.h>

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include <optional>
#include <utility>

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
        std::string fault = CheckDeclaration(*routine_, in_, out_);
        if (fault.empty()) fault = ParseNullRules(InfoOf(metadata->getEntryPoint(status)), in_.size(), &rules_);
        if (!fault.empty()) declarationFault_ = std::string(name) + ": " + fault;
        if (!rules_.empty()) scratch_.resize(MessageLength(in_));
    }

    // Raises the error of a declaration that does not fit, if it does not.
    void CheckDeclared(ThrowStatusWrapper* status) const {
        if (!declarationFault_.empty()) RaiseDeclarationError(status, declarationFault_);
    }

    void Execute(ThrowStatusWrapper* status, Firebird::IExternalContext* context, const unsigned char* in,
                 unsigned char* out);

private:
    // What follows the routine's name in EXTERNAL NAME 'module!routine!...'.
    static std::string_view InfoOf(const char* entryPoint) {
        const std::string_view name(entryPoint ? entryPoint : "");
        const size_t routine = name.find('!');
        const size_t info = routine == std::string_view::npos ? routine : name.find('!', routine + 1);
        return info == std::string_view::npos ? std::string_view() : name.substr(info + 1);
    }

    const Routine* routine_ = nullptr;
    std::string upperName_;
    std::string declarationFault_;
    // How NULL reaches each argument (empty: SQL's rule), and the copy of
    // the input message that the legacy rules' zeros are written into.
    std::vector<NullRule> rules_;
    std::vector<unsigned char> scratch_;
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

    // Raises the error a read met, if any, and lets the blob go. A blob
    // opened for reading that is released unclosed is cancelled by the
    // engine, which for such a blob ends it as a close does; the release
    // spares the call a pass through the host's dispatch layer (its
    // floating-point and attachment guards), about 0.2 µs on 4.0.
    void Finish() {
        if (error_) std::rethrow_exception(error_);
        std::exchange(blob_, nullptr)->release();
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

// The host's dispatch layer compares the thread's whole floating-point
// environment with the default on entry to every call of its blob and
// attachment interfaces and, where they differ, sets the default for the
// call and puts the caller's environment back after it: two fesetenv a call.
// A sticky exception flag left by any earlier calculation of the thread is
// such a difference. While one of these lives, the thread has the default
// environment: where the caller's differed, it is set once and the caller's
// put back at the end.
class DefaultFloatingPoint {
public:
    DefaultFloatingPoint() noexcept {
        std::fegetenv(&caller_);
        differed_ = std::memcmp(&caller_, &Default(), sizeof caller_) != 0;
        if (differed_) std::fesetenv(FE_DFL_ENV);
    }
    DefaultFloatingPoint(const DefaultFloatingPoint&) = delete;
    DefaultFloatingPoint& operator=(const DefaultFloatingPoint&) = delete;
    ~DefaultFloatingPoint() {
        if (differed_) std::fesetenv(&caller_);
    }

private:
    // The environment as the C library's default sets it, read once.
    static const std::fenv_t& Default() noexcept {
        static const std::fenv_t kDefault = [] {
            std::fenv_t caller;
            std::fenv_t result;
            std::fegetenv(&caller);
            std::fesetenv(FE_DFL_ENV);
            std::fegetenv(&result);
            std::fesetenv(&caller);
            return result;
        }();
        return kDefault;
    }

    std::fenv_t caller_;
    bool differed_;
};

// The BLOB readers' opener for one call: the BLOB through the engine, in the
// call's attachment and transaction, under the default floating-point
// environment from the first opening on. A BLOB left open by an error is
// released with the opener, before the environment goes back.
class EngineBlobs final : public BlobOpener {
public:
    EngineBlobs(ThrowStatusWrapper* status, Firebird::IExternalContext* context)
        : status_(status), context_(context) {}

    ChunkReader Open(const unsigned char* id) override {
        if (!environment_) environment_.emplace();
        ISC_QUAD quad;
        std::memcpy(&quad, id, sizeof quad);
        open_.emplace(status_, context_, &quad);
        return open_->Reader();
    }

    void Close() override {
        open_->Finish();
        open_.reset();
    }

private:
    ThrowStatusWrapper* status_;
    Firebird::IExternalContext* context_;
    // Declared before the BLOB, so destroyed after it.
    std::optional<DefaultFloatingPoint> environment_;
    std::optional<BlobChunks> open_;
};

void Adapter::Execute(ThrowStatusWrapper* status, Firebird::IExternalContext* context, const unsigned char* in,
                      unsigned char* out) {
    CheckDeclared(status);
    EngineBlobs blobs(status, context);
    Call call{in_, in, out_, out};
    call.Match = &matchState_;
    call.Blobs = &blobs;
    Raise(status, upperName_.c_str(), vantor::udr::Execute(*routine_, call, rules_, &scratch_));
}

}  // namespace vantor::udr

// Each function: an adapter made for its declaration, calling its routine.
#define VANTOR_UDR_FUNCTION(name)                                                   \
    FB_UDR_BEGIN_FUNCTION(name)                                                     \
    FB_UDR_CONSTRUCTOR, adapter(status, metadata, #name) {}                         \
    vantor::udr::Adapter adapter;                                                   \
    FB_UDR_EXECUTE_FUNCTION { adapter.Execute(status, context, in, out); }          \
    FB_UDR_END_FUNCTION

#include "udr/registrations.inc"

FB_UDR_IMPLEMENT_ENTRY_POINT
