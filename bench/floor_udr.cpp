// The UDR floors, for the engine benchmark only (libvantor_floor_udr.so,
// never installed). Floor, the do-nothing routine, reads no argument and
// writes a constant result of whatever type its declaration gives (zero
// bytes, an empty text, never NULL). Declared with exactly the arguments and
// result of a vantor UDR function, a query calling it measures what the
// engine spends on a UDR call of that shape: building and converting the
// messages the declaration lays out, and the call itself. Being declared
// like the function it stands beside, it pays for the same declared lengths.
//
// A legacy UDF's BLOB argument arrives opened by the engine, so even the
// do-nothing legacy floor pays for opening it; a UDR routine opens a BLOB
// itself. FloorBlobOpen opens its first argument's BLOB and lets it go;
// FloorBlobFirst also reads its first four bytes in one request, and
// FloorBlobRead the whole BLOB in 16 KiB requests, counting nothing: the UDR
// floors of a BLOB reader that reads the start of the BLOB (BLOB2I) and of
// one that reads it through (BLOB2SO). All return 0.
#define JRD_VAL_H
#define FB_UDR_STATUS_TYPE ::Firebird::ThrowStatusWrapper
#include <firebird/UdrCppEngine.h>

#include <cstring>

namespace {

enum class Reading { kNothing, kFirstFour, kWhole };

// Opens the BLOB of the first argument, reads what `reading` says, and lets
// it go as the BLOB readers do.
void ReadBlob(Firebird::ThrowStatusWrapper* status, Firebird::IExternalContext* context,
              const unsigned char* in, unsigned offset, Reading reading) {
    ISC_QUAD id;
    std::memcpy(&id, in + offset, sizeof id);
    Firebird::IAttachment* attachment = context->getAttachment(status);
    Firebird::ITransaction* transaction = context->getTransaction(status);
    Firebird::IBlob* blob = attachment->openBlob(status, transaction, &id, 0, nullptr);
    transaction->release();
    attachment->release();
    static thread_local unsigned char buffer[16384];
    unsigned got = 0;
    if (reading == Reading::kFirstFour) blob->getSegment(status, 4, buffer, &got);
    while (reading == Reading::kWhole &&
           blob->getSegment(status, sizeof buffer, buffer, &got) != Firebird::IStatus::RESULT_NO_DATA) {
    }
    blob->release();
}

// Where the first input and the result lie in the messages.
struct Layout {
    unsigned BlobOffset = 0, ResultOffset = 0, ResultNullOffset = 0, ResultLength = 0;

    void Read(Firebird::ThrowStatusWrapper* status, Firebird::IRoutineMetadata* metadata) {
        Firebird::IMessageMetadata* in = metadata->getInputMetadata(status);
        BlobOffset = in->getOffset(status, 0);
        in->release();
        Firebird::IMessageMetadata* out = metadata->getOutputMetadata(status);
        ResultOffset = out->getOffset(status, 0);
        ResultNullOffset = out->getNullOffset(status, 0);
        ResultLength = out->getLength(status, 0);
        out->release();
    }

    void WriteZero(unsigned char* out) const {
        std::memset(out + ResultOffset, 0, ResultLength);
        std::memset(out + ResultNullOffset, 0, sizeof(ISC_SHORT));
    }
};

}  // namespace

FB_UDR_BEGIN_FUNCTION(Floor)
FB_UDR_CONSTRUCTOR {
    Firebird::IMessageMetadata* out = metadata->getOutputMetadata(status);
    type = out->getType(status, 0) & ~1u;
    offset = out->getOffset(status, 0);
    nullOffset = out->getNullOffset(status, 0);
    length = out->getLength(status, 0);
    out->release();
}
unsigned type = 0, offset = 0, nullOffset = 0, length = 0;
FB_UDR_EXECUTE_FUNCTION {
    (void)status;
    (void)context;
    (void)in;
    // A VARCHAR gets a zero count; anything else zero bytes (a CHAR is
    // written as blanks).
    const unsigned size = type == SQL_VARYING ? 2 : length;
    std::memset(out + offset, type == SQL_TEXT ? ' ' : 0, size);
    const ISC_SHORT notNull = 0;
    std::memcpy(out + nullOffset, &notNull, sizeof notNull);
}
FB_UDR_END_FUNCTION

// The BLOB floors: each reads its layout from its declaration and its BLOB
// as `reading` says.
#define VANTOR_BLOB_FLOOR(name, reading)                             \
    FB_UDR_BEGIN_FUNCTION(name)                                      \
    FB_UDR_CONSTRUCTOR { layout.Read(status, metadata); }            \
    Layout layout;                                                   \
    FB_UDR_EXECUTE_FUNCTION {                                        \
        ReadBlob(status, context, in, layout.BlobOffset, reading);   \
        layout.WriteZero(out);                                       \
    }                                                                \
    FB_UDR_END_FUNCTION

VANTOR_BLOB_FLOOR(FloorBlobOpen, Reading::kNothing)
VANTOR_BLOB_FLOOR(FloorBlobFirst, Reading::kFirstFour)
VANTOR_BLOB_FLOOR(FloorBlobRead, Reading::kWhole)

FB_UDR_IMPLEMENT_ENTRY_POINT
