// The legacy entry points of the BLOB readers, BLOB2I and BLOB2SO, which
// read through the server's BLOBCALLBACK.
#include "blob/blobreader.h"
#include "legacy/entry_points.h"

VANTOR_ENTRY int32_t BLOB2I(BLOBCALLBACK blob) noexcept {
    return blob ? vantor::FirstIntegerOfBlob(*blob) : 0;
}

VANTOR_ENTRY int32_t BLOB2SO(BLOBCALLBACK blob, const int32_t* key, const int32_t* limit) noexcept {
    return blob && key && limit ? vantor::CountRecordsBelow(*blob, *key, *limit) : 0;
}
