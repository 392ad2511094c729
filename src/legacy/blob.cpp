// The legacy entry points of the BLOB readers, BLOB2I and BLOB2SO, and the
// reader of a BLOB through the server's BLOBCALLBACK that they pass to the
// plain readers of src/blob.
//
// The server's blob_get_segment takes the buffer size and reports the
// delivered count as 16-bit numbers and delivers at most one segment (or the
// rest of one) per call. A count reported above the size asked is taken as
// the size asked. A segmented BLOB may hold empty segments (a client may put
// them), and the server delivers each as a call that delivers nothing. So an
// empty delivery ends a read only once there have been more of them than the
// BLOB has segments (blob_number_segments): the server's BLOBs are read
// whole, and a callback that never delivers is still asked only that many
// times.
#include <algorithm>

#include "blob/blobreader.h"
#include "legacy/entry_points.h"

namespace {

// A BLOBCALLBACK as a chunk reader, with its count of empty deliveries
// still allowed.
struct CallbackReader {
    const blobcallback* Blob;
    int32_t EmptyDeliveriesLeft;

    // One blob_get_segment call asking for `size` bytes (1 to 65535); the
    // call's status is not read.
    size_t GetSegment(unsigned char* into, size_t size) const noexcept {
        unsigned short delivered = 0;
        Blob->blob_get_segment(Blob->blob_handle, into, static_cast<unsigned short>(size), &delivered);
        return std::min<size_t>(delivered, size);
    }

    static size_t Read(void* context, unsigned char* into, size_t size) noexcept {
        CallbackReader& self = *static_cast<CallbackReader*>(context);
        for (;;) {
            const size_t got = self.GetSegment(into, size);
            if (got > 0 || self.EmptyDeliveriesLeft <= 0) return got;
            --self.EmptyDeliveriesLeft;
        }
    }
};

}  // namespace

// Bytes the BLOB does not have read as zero; a null blob_get_segment gives 0.
VANTOR_ENTRY int32_t BLOB2I(BLOBCALLBACK blob) noexcept {
    if (!blob || !blob->blob_get_segment) return 0;
    CallbackReader source{blob, blob->blob_number_segments};
    return vantor::FirstIntegerOfChunks(vantor::ChunkReader{CallbackReader::Read, &source});
}

// The records among the first min(blob_total_length, 524288) bytes; a total
// length of 0 or less gives 0 without a call, and so does a null
// blob_get_segment.
VANTOR_ENTRY int32_t BLOB2SO(BLOBCALLBACK blob, const int32_t* key, const int32_t* limit) noexcept {
    if (!blob || !key || !limit || !blob->blob_get_segment || blob->blob_total_length <= 0) return 0;
    CallbackReader source{blob, blob->blob_number_segments};
    return vantor::CountRecordsInChunks(vantor::ChunkReader{CallbackReader::Read, &source},
                                        static_cast<size_t>(blob->blob_total_length), *key, *limit);
}
