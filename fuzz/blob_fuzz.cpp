// libFuzzer target for BLOB2I and BLOB2SO over arbitrary BLOB contents and
// delivery patterns, through a fake BLOBCALLBACK driven by the input:
//
//   byte 0       mode: bit 0 a total length of the input's choosing,
//                bit 1 a hostile callback (segment count of the input's
//                choosing, delivered counts over-reported by bits 2-3),
//                bit 4 a null blob_get_segment, bit 5 repeated contents
//   bytes 1-8    key and limit (signed 32-bit, little-endian)
//   bytes 9-12   the total length, when bit 0 is set
//   byte 13      the segment count (signed), when bit 1 is set
//   byte 14      with bit 5, the contents are the rest of the input
//                repeated 1 + this many times (up to 700000 bytes, past the
//                512 KiB limit); else the rest of the input once
//   byte 15      p, the number of pattern bytes that follow (0 to 15)
//   p bytes      segment lengths, used in turn: below 16 the value itself
//                (0 is an empty segment), else its square times 4
//   the rest     the contents
//
// With an honest callback the results must equal a plain reading of the
// contents: BLOB2I the first four bytes (missing ones zero), BLOB2SO the
// number of matching whole records among the first min(total length,
// 524288, contents) bytes. With a hostile one they must stay within their
// bounds, ask for nothing past the buffer (ASan) and make a bounded number
// of calls.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "awkward_calls.h"

namespace {

// Stops the run on a broken rule, naming it.
#define Check(condition) \
    ((condition) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

int32_t LittleEndian32(const uint8_t* bytes) {
    return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                                uint32_t{bytes[3]} << 24);
}

struct FakeBlob {
    std::vector<uint8_t> contents;
    std::vector<size_t> segments;  // lengths, summing to contents.size()
    unsigned overReport = 0;
    size_t position = 0, segment = 0, segmentDone = 0;
    int calls = 0;
    int emptyCalls = 0;
};

short Deliver(void* handle, unsigned char* buffer, unsigned short size, unsigned short* delivered) noexcept {
    FakeBlob& blob = *static_cast<FakeBlob*>(handle);
    ++blob.calls;
    size_t n = 0;
    if (blob.segment < blob.segments.size()) {
        n = std::min<size_t>(size, blob.segments[blob.segment] - blob.segmentDone);
        if (n) std::memcpy(buffer, blob.contents.data() + blob.position, n);
        blob.position += n;
        blob.segmentDone += n;
        if (blob.segmentDone == blob.segments[blob.segment]) {
            ++blob.segment;
            blob.segmentDone = 0;
        }
    }
    *delivered = static_cast<unsigned short>(std::min<size_t>(n + blob.overReport, 65535));
    if (*delivered == 0) ++blob.emptyCalls;  // as the reader sees it
    return blob.segment < blob.segments.size() ? 1 : 0;
}

uint32_t PlainCount(const std::vector<uint8_t>& bytes, size_t records, int32_t key, int32_t limit) {
    uint32_t count = 0;
    for (size_t i = 0; i < records; ++i)
        count += LittleEndian32(&bytes[8 * i]) == key && LittleEndian32(&bytes[8 * i + 4]) < limit;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) return 0;
    const uint8_t mode = data[0];
    const int32_t key = LittleEndian32(data + 1), limit = LittleEndian32(data + 5);
    const size_t patternLength = std::min<size_t>(data[15] & 15, size - 16);
    const uint8_t* pattern = data + 16;
    const uint8_t* unit = pattern + patternLength;
    const size_t unitLength = size - 16 - patternLength;

    FakeBlob fake;
    const int copies = (mode & 32) ? data[14] + 1 : 1;
    for (int copy = 0; copy < copies && fake.contents.size() + unitLength <= 700000; ++copy)
        fake.contents.insert(fake.contents.end(), unit, unit + unitLength);
    const size_t length = fake.contents.size();
    size_t at = 0;
    for (size_t turn = 0; patternLength && at < length && turn < 4096; ++turn) {
        size_t piece = pattern[turn % patternLength];
        if (piece >= 16) piece = piece * piece * 4;
        piece = std::min(piece, length - at);
        fake.segments.push_back(piece);
        at += piece;
    }
    if (at < length) fake.segments.push_back(length - at);

    const bool ownTotal = mode & 1, hostile = mode & 2, nullCallback = mode & 16;
    const int32_t total = ownTotal ? LittleEndian32(data + 9) : static_cast<int32_t>(length);
    blobcallback blob{};
    blob.blob_get_segment = nullCallback ? nullptr : Deliver;
    blob.blob_handle = &fake;
    blob.blob_total_length = total;
    blob.blob_number_segments = hostile ? static_cast<int8_t>(data[13]) : static_cast<int32_t>(fake.segments.size());
    static const unsigned kOverReports[] = {0, 7, 4093, 65535};
    if (hostile) fake.overReport = kOverReports[(mode >> 2) & 3];

    const int32_t count = BLOB2SO(&blob, &key, &limit);
    const int callsOfCount = fake.calls;
    const int emptyCallsOfCount = fake.emptyCalls;
    const size_t asked = total > 0 ? std::min<size_t>(static_cast<size_t>(total), 524288) : 0;
    Check(count >= 0 && static_cast<size_t>(count) <= asked / 8);
    // The reading ends: each call reports at least a byte of what was
    // asked, or is one of the empty deliveries the segment count allows, or
    // the one that ends the reading.
    Check(emptyCallsOfCount <= std::max(0, blob.blob_number_segments) + 1);
    Check(static_cast<size_t>(callsOfCount - emptyCallsOfCount) <= std::max(length, asked));
    if (nullCallback || total <= 0) Check(count == 0 && callsOfCount == 0);
    if (!hostile && !nullCallback)
        Check(static_cast<uint32_t>(count) == PlainCount(fake.contents, std::min(asked, length) / 8, key, limit));

    fake.position = fake.segment = fake.segmentDone = 0;
    fake.calls = fake.emptyCalls = 0;
    const int32_t first = BLOB2I(&blob);
    if (nullCallback) Check(first == 0 && fake.calls == 0);
    Check(fake.emptyCalls <= std::max(0, blob.blob_number_segments) + 1);
    Check(fake.calls - fake.emptyCalls <= 4);
    if (!hostile && !nullCallback) {
        uint8_t head[4] = {0, 0, 0, 0};
        if (length) std::memcpy(head, fake.contents.data(), std::min<size_t>(4, length));
        Check(first == LittleEndian32(head));
    }
    return 0;
}
