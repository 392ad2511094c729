// The UDR floor: one do-nothing UDR routine, Floor, for the engine benchmark
// only (libvantor_floor_udr.so, never installed). It reads no argument and
// writes a constant result of whatever type its declaration gives (zero
// bytes, an empty text, never NULL). Declared with exactly the arguments and
// result of a vantor UDR function, a query calling it measures what the
// engine spends on a UDR call of that shape: building and converting the
// messages the declaration lays out, and the call itself. Being declared
// like the function it stands beside, it pays for the same declared lengths.
#define JRD_VAL_H
#define FB_UDR_STATUS_TYPE ::Firebird::ThrowStatusWrapper
#include <firebird/UdrCppEngine.h>

#include <cstring>

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

FB_UDR_IMPLEMENT_ENTRY_POINT
