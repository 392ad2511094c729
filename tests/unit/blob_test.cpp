// BLOB readers over fake BLOBCALLBACKs that deliver a test buffer the way
// the server does: at most the rest of one segment per call, never more than
// asked, nothing once the BLOB is exhausted. Counts are checked against a
// plain count written here, over fixed cases and random record sets cut into
// segments of every awkward size.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "blob/blobreader.h"
#include "legacy/entry_points.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A BLOB held in memory and cut into segments, some of which may be empty
// (the server delivers an empty segment as a call that delivers nothing).
struct FakeBlob {
    Bytes data;
    std::vector<size_t> segments;  // lengths, summing to data.size()
    // What the fake adds to each reported count, to model a callback that
    // reports more than it was asked for (it still writes only what it may).
    unsigned extra_reported = 0;

    size_t position = 0;        // bytes delivered so far
    size_t segment = 0;         // index of the segment being delivered
    size_t segment_done = 0;    // bytes of that segment already delivered
    int calls = 0;
    int emptyDeliveries = 0;
    size_t largest_request = 0;
    size_t smallest_request = SIZE_MAX;
};

short FakeGetSegment(void* handle, unsigned char* buffer, unsigned short size,
                     unsigned short* delivered) noexcept {
    FakeBlob& blob = *static_cast<FakeBlob*>(handle);
    ++blob.calls;
    blob.largest_request = std::max<size_t>(blob.largest_request, size);
    blob.smallest_request = std::min<size_t>(blob.smallest_request, size);
    size_t n = 0;
    if (blob.segment < blob.segments.size()) {
        n = std::min<size_t>(size, blob.segments[blob.segment] - blob.segment_done);
        std::memcpy(buffer, blob.data.data() + blob.position, n);
        blob.position += n;
        blob.segment_done += n;
        if (blob.segment_done == blob.segments[blob.segment]) {
            ++blob.segment;
            blob.segment_done = 0;
        }
    }
    if (n == 0) ++blob.emptyDeliveries;
    *delivered = static_cast<unsigned short>(std::min<size_t>(n + blob.extra_reported, 65535));
    return blob.segment < blob.segments.size() ? 1 : 0;
}

// Segments of `piece` bytes (0: the whole BLOB in one segment), the last one
// shorter.
std::vector<size_t> CutInto(size_t length, size_t piece) {
    if (piece == 0) piece = std::max<size_t>(length, 1);
    std::vector<size_t> segments;
    for (size_t at = 0; at < length; at += piece) segments.push_back(std::min(piece, length - at));
    return segments;
}

blobcallback CallbackFor(FakeBlob& blob, int32_t total_length) {
    blobcallback callback{};
    callback.blob_get_segment = FakeGetSegment;
    callback.blob_handle = &blob;
    callback.blob_number_segments = static_cast<int32_t>(blob.segments.size());
    callback.blob_total_length = total_length;
    return callback;
}

int32_t Blob2so(FakeBlob& blob, int32_t key, int32_t limit, int32_t total_length) {
    blobcallback callback = CallbackFor(blob, total_length);
    return BLOB2SO(&callback, &key, &limit);
}

int32_t Blob2so(FakeBlob& blob, int32_t key, int32_t limit) {
    return Blob2so(blob, key, limit, static_cast<int32_t>(blob.data.size()));
}

int32_t Blob2i(FakeBlob& blob) {
    blobcallback callback = CallbackFor(blob, static_cast<int32_t>(blob.data.size()));
    return BLOB2I(&callback);
}

FakeBlob MakeBlob(Bytes data, size_t piece) {
    FakeBlob blob;
    blob.segments = CutInto(data.size(), piece);
    blob.data = std::move(data);
    return blob;
}

void AppendRecord(Bytes& bytes, int32_t key, int32_t value) {
    unsigned char record[8];
    std::memcpy(record, &key, 4);
    std::memcpy(record + 4, &value, 4);
    bytes.insert(bytes.end(), record, record + 8);
}

// The reference: whole records among the first min(length, 524288) bytes.
int32_t PlainCount(const Bytes& bytes, int32_t key, int32_t limit) {
    const size_t examined = std::min<size_t>(bytes.size(), 524288) / 8;
    int32_t count = 0;
    for (size_t i = 0; i < examined; ++i) {
        const unsigned char* r = &bytes[8 * i];
        const int32_t k = static_cast<int32_t>(r[0] | r[1] << 8 | r[2] << 16 | uint32_t(r[3]) << 24);
        const int32_t v = static_cast<int32_t>(r[4] | r[5] << 8 | r[6] << 16 | uint32_t(r[7]) << 24);
        if (k == key && v < limit) ++count;
    }
    return count;
}

// The awkward delivery sizes; 0 is one whole segment per call.
const size_t kPieces[] = {1, 7, 8, 4095, 65535, 0};

class BlobPieces : public ::testing::TestWithParam<size_t> {};

// Every call asked for something, within 16 bits; the reader stopped as soon
// as it had its bytes, and read exactly those.
void ExpectCleanRead(const FakeBlob& blob, size_t wanted) {
    EXPECT_EQ(blob.position, wanted);
    EXPECT_EQ(blob.emptyDeliveries, 0);
    if (blob.calls > 0) {
        EXPECT_GE(blob.smallest_request, 1u);
        EXPECT_LE(blob.largest_request, 65535u);
    }
}

TEST_P(BlobPieces, EmptyBlobCountsZeroWithoutACall) {
    FakeBlob blob = MakeBlob({}, GetParam());
    EXPECT_EQ(Blob2so(blob, 0, 1), 0);
    EXPECT_EQ(blob.calls, 0);
    // A negative total length is read as empty too, whatever the data.
    FakeBlob negative = MakeBlob(Bytes(16, 0), GetParam());
    EXPECT_EQ(Blob2so(negative, 0, 1, -1), 0);
    EXPECT_EQ(Blob2so(negative, 0, 1, INT32_MIN), 0);
    EXPECT_EQ(negative.calls, 0);
}

TEST_P(BlobPieces, SevenBytesHoldNoRecord) {
    Bytes bytes;
    AppendRecord(bytes, 5, 0);
    bytes.pop_back();  // key 5 and three bytes of a value 0: not a record
    FakeBlob blob = MakeBlob(bytes, GetParam());
    EXPECT_EQ(Blob2so(blob, 5, 10), 0);
    ExpectCleanRead(blob, 7);
    if (GetParam() == 1) {
        EXPECT_EQ(blob.calls, 7);
    }
}

TEST_P(BlobPieces, TwentyBytesHoldTwoRecordsAndATail) {
    Bytes bytes;
    AppendRecord(bytes, 5, 1);
    AppendRecord(bytes, 5, 2);
    AppendRecord(bytes, 5, 3);
    bytes.resize(20);  // the third record's key alone
    FakeBlob blob = MakeBlob(bytes, GetParam());
    EXPECT_EQ(Blob2so(blob, 5, 10), 2);
    ExpectCleanRead(blob, 20);
}

TEST_P(BlobPieces, OnlyTheFirst65536RecordsOfAMillionBytesCount) {
    Bytes bytes;
    while (bytes.size() < 1000000) AppendRecord(bytes, 5, 0);
    bytes.resize(1000000);
    FakeBlob blob = MakeBlob(bytes, GetParam());
    EXPECT_EQ(Blob2so(blob, 5, 1), 65536);
    ExpectCleanRead(blob, 524288);
    // Records past the limit are neither read nor counted; those before it are.
    FakeBlob shifted = MakeBlob(Bytes(bytes.begin() + 8, bytes.end()), GetParam());
    EXPECT_EQ(Blob2so(shifted, 5, 1), 65536);
    Bytes marked = bytes;
    marked[524288 - 8] = 4;  // the last examined record gets another key
    FakeBlob last = MakeBlob(marked, GetParam());
    EXPECT_EQ(Blob2so(last, 5, 1), 65535);
}

TEST_P(BlobPieces, KeyMustEqualAndValueMustBeBelowTheLimit) {
    Bytes bytes;
    AppendRecord(bytes, 5, 9);
    AppendRecord(bytes, 5, 10);
    AppendRecord(bytes, 5, 11);
    AppendRecord(bytes, 4, 1);
    AppendRecord(bytes, 5, -3);
    FakeBlob blob = MakeBlob(bytes, GetParam());
    EXPECT_EQ(Blob2so(blob, 5, 10), 2);
    ExpectCleanRead(blob, 40);
    // The comparison is signed, at both ends of the range.
    Bytes extremes;
    AppendRecord(extremes, -1, INT32_MIN);
    AppendRecord(extremes, -1, INT32_MAX);
    AppendRecord(extremes, -1, -1);
    FakeBlob ends = MakeBlob(extremes, GetParam());
    EXPECT_EQ(Blob2so(ends, -1, INT32_MAX), 2);
    FakeBlob none = MakeBlob(extremes, GetParam());
    EXPECT_EQ(Blob2so(none, -1, INT32_MIN), 0);
    FakeBlob one = MakeBlob(extremes, GetParam());
    EXPECT_EQ(Blob2so(one, -1, INT32_MIN + 1), 1);
}

TEST_P(BlobPieces, FirstIntegerIsLittleEndianSigned) {
    FakeBlob blob = MakeBlob({0x01, 0x00, 0x00, 0x80, 0x7F, 0x7F}, GetParam());
    EXPECT_EQ(Blob2i(blob), -2147483647);
    EXPECT_EQ(blob.position, 4u);
    EXPECT_EQ(blob.emptyDeliveries, 0);
    FakeBlob other = MakeBlob({0x78, 0x56, 0x34, 0x12}, GetParam());
    EXPECT_EQ(Blob2i(other), 0x12345678);
}

TEST_P(BlobPieces, FirstIntegerOfAShortBlobReadsMissingBytesAsZero) {
    const Bytes full = {0xFF, 0xEE, 0xDD};
    const int32_t expected[] = {0, 0xFF, 0xEEFF, 0xDDEEFF};
    for (size_t length = 0; length <= 3; ++length) {
        FakeBlob blob = MakeBlob(Bytes(full.begin(), full.begin() + length), GetParam());
        EXPECT_EQ(Blob2i(blob), expected[length]) << length;
        // The read ends on empty deliveries, one more than there are segments.
        EXPECT_EQ(blob.emptyDeliveries, static_cast<int>(blob.segments.size()) + 1) << length;
        EXPECT_EQ(blob.position, length);
    }
}

INSTANTIATE_TEST_SUITE_P(Deliveries, BlobPieces, ::testing::ValuesIn(kPieces),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return info.param == 0 ? std::string("WholeSegment")
                                                    : "Pieces" + std::to_string(info.param);
                         });

TEST(BlobRecords, RandomRecordSetsMatchAPlainCount) {
    std::mt19937 random(20240517);
    const int32_t specials[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
    for (int round = 0; round < 300; ++round) {
        // Lengths around every boundary that matters, and beyond the limit.
        static const size_t kLengths[] = {1, 8, 15, 16383, 16384, 16385, 65535, 65536, 524287,
                                          524288, 524289, 600001};
        const size_t length = round % 3 == 0 ? kLengths[random() % 12] : random() % 140000;
        const int32_t key = static_cast<int32_t>(random() % 4) - 1;
        const int32_t limit = random() % 4 == 0 ? specials[random() % 7]
                                                : static_cast<int32_t>(random() % 200) - 100;
        Bytes bytes(length);
        for (size_t i = 0; i < length; i += 4) {
            const int32_t word = random() % 8 == 0 ? specials[random() % 7]
                                                   : static_cast<int32_t>(random() % 220) - 110;
            const int32_t field = (i / 4) % 2 == 0 ? static_cast<int32_t>(random() % 4) - 1 : word;
            std::memcpy(&bytes[i], &field, std::min<size_t>(4, length - i));
        }
        // Segments of mixed sizes, some of them splitting records, some empty.
        std::vector<size_t> segments;
        static const size_t kSizes[] = {0, 1, 3, 7, 8, 9, 4095, 16384, 65535};
        for (size_t at = 0; at < length;) {
            const size_t size = random() % 2 ? kSizes[random() % 9] : 1 + random() % 65535;
            segments.push_back(std::min(size, length - at));
            at += segments.back();
        }
        FakeBlob blob;
        blob.data = bytes;
        blob.segments = segments;
        ASSERT_EQ(Blob2so(blob, key, limit), PlainCount(bytes, key, limit))
            << "round " << round << " length " << length;
        EXPECT_EQ(blob.position, std::min<size_t>(length, 524288));
        EXPECT_LE(blob.largest_request, 65535u);
    }
}

TEST(BlobRecords, EmptySegmentsArePassedOver) {
    Bytes bytes;
    AppendRecord(bytes, 0x7F000001, 0);
    for (int i = 0; i < 5000; ++i) AppendRecord(bytes, 3, i % 7 - 3);
    FakeBlob blob;
    blob.data = bytes;
    blob.segments = {0, 0, 3, 0, 1, 0, 0, 0, 5};
    for (size_t at = 9; at < bytes.size();) {  // then 4095 bytes and an empty segment, in turn
        const size_t size = std::min<size_t>(4095, bytes.size() - at);
        blob.segments.push_back(size);
        blob.segments.push_back(0);
        at += size;
    }
    FakeBlob first = blob;
    EXPECT_EQ(Blob2so(blob, 3, 0), PlainCount(bytes, 3, 0));
    EXPECT_EQ(blob.position, bytes.size());
    EXPECT_EQ(Blob2i(first), 0x7F000001);
    EXPECT_EQ(first.emptyDeliveries, 3);
}

TEST(BlobRecords, ACallbackThatNeverDeliversIsAskedOnceMoreThanThereAreSegments) {
    FakeBlob blob;
    blobcallback callback = CallbackFor(blob, 1000);
    const int32_t key = 0, limit = 1;
    for (int32_t segments : {-5, 0, 1, 5, 1000}) {
        blob.calls = 0;
        callback.blob_number_segments = segments;
        EXPECT_EQ(BLOB2SO(&callback, &key, &limit), 0);
        EXPECT_EQ(blob.calls, std::max(segments, 0) + 1);
        blob.calls = 0;
        EXPECT_EQ(BLOB2I(&callback), 0);
        EXPECT_EQ(blob.calls, std::max(segments, 0) + 1);
    }
}

// The count over memory at every length from 0 to 80 records and every
// alignment.
TEST(BlobRecords, CountAgreesAtEveryLengthAndAlignment) {
    std::mt19937 random(7);
    Bytes bytes(8 * 80 + 16);
    for (int round = 0; round < 200; ++round) {
        for (unsigned char& byte : bytes) byte = random() % 4 == 0 ? random() % 256 : random() % 3;
        const int32_t key = static_cast<int32_t>(random() % 3);
        const int32_t limit = static_cast<int32_t>(random() % 5) - 2;
        for (size_t offset = 0; offset < 16; ++offset) {
            for (size_t records = 0; records <= 80; ++records) {
                Bytes slice(bytes.begin() + offset, bytes.begin() + offset + 8 * records);
                const uint32_t expected = static_cast<uint32_t>(PlainCount(slice, key, limit));
                ASSERT_EQ(vantor::CountMatchingRecords(&bytes[offset], records, key, limit), expected);
            }
        }
    }
}

TEST(BlobRecords, ATotalLengthTheBlobDoesNotHaveEndsOnTheFirstEmptyDelivery) {
    Bytes bytes;
    for (int i = 0; i < 1000; ++i) AppendRecord(bytes, 1, i);
    bytes.resize(bytes.size() - 3);  // the last record arrives short
    for (size_t piece : kPieces) {
        FakeBlob blob = MakeBlob(bytes, piece);
        EXPECT_EQ(Blob2so(blob, 1, 2000, 400000), 999) << piece;
        EXPECT_EQ(blob.emptyDeliveries, static_cast<int>(blob.segments.size()) + 1) << piece;
        // A shorter total length bounds what is asked for.
        FakeBlob shorter = MakeBlob(bytes, piece);
        EXPECT_EQ(Blob2so(shorter, 1, 2000, 100 * 8 + 5), 100) << piece;
        ExpectCleanRead(shorter, 805);
    }
}

TEST(BlobRecords, ACountReportedAboveTheRequestIsTakenAsTheRequest) {
    Bytes bytes;
    for (int i = 0; i < 70000; ++i) AppendRecord(bytes, 2, i % 10);
    FakeBlob blob = MakeBlob(bytes, 0);
    blob.extra_reported = 40000;
    EXPECT_EQ(Blob2so(blob, 2, 5), PlainCount(bytes, 2, 5));
    EXPECT_EQ(blob.position, 524288u);
    FakeBlob first = MakeBlob({0x01, 0x02, 0x03, 0x04, 0x05}, 0);
    first.extra_reported = 65535;
    EXPECT_EQ(Blob2i(first), 0x04030201);
    EXPECT_EQ(first.calls, 1);
}

TEST(BlobRecords, NullAddressesGiveZeroWithoutACall) {
    const int32_t key = 0, limit = 1;
    EXPECT_EQ(BLOB2I(nullptr), 0);
    EXPECT_EQ(BLOB2SO(nullptr, &key, &limit), 0);
    FakeBlob blob = MakeBlob(Bytes(64, 0), 0);
    blobcallback callback = CallbackFor(blob, 64);
    EXPECT_EQ(BLOB2SO(&callback, nullptr, &limit), 0);
    EXPECT_EQ(BLOB2SO(&callback, &key, nullptr), 0);
    EXPECT_EQ(blob.calls, 0);
    EXPECT_EQ(BLOB2SO(&callback, &key, &limit), 8);  // the same BLOB, read for real
    callback.blob_get_segment = nullptr;
    EXPECT_EQ(BLOB2I(&callback), 0);
    EXPECT_EQ(BLOB2SO(&callback, &key, &limit), 0);
}

// The chunk-reader forms, which the UDR module reads the engine's blob
// interface through: a reader over a byte buffer that delivers at most
// `piece` bytes a call (as a segmented blob does) and records every request.
struct FakeChunks {
    const Bytes* data;
    size_t piece;
    size_t position = 0;
    int calls = 0;
    size_t largest_request = 0;

    static size_t Read(void* context, unsigned char* into, size_t size) noexcept {
        FakeChunks& self = *static_cast<FakeChunks*>(context);
        ++self.calls;
        self.largest_request = std::max(self.largest_request, size);
        const size_t n = std::min({size, self.piece, self.data->size() - self.position});
        if (n > 0) std::memcpy(into, self.data->data() + self.position, n);
        self.position += n;
        return n;
    }
    vantor::ChunkReader Reader() { return vantor::ChunkReader{Read, this}; }
};

TEST(BlobChunks, RandomRecordSetsMatchAPlainCountForEveryDeliverySize) {
    std::mt19937 random(20261208);
    for (const size_t length : {size_t{0}, size_t{7}, size_t{8}, size_t{4099}, size_t{65536 * 8 - 3},
                                size_t{524288}, size_t{524288 + 77}, size_t{700000}}) {
        Bytes bytes;
        for (size_t i = 0; i < length / 8; ++i)
            AppendRecord(bytes, static_cast<int32_t>(random() % 3), static_cast<int32_t>(random()));
        bytes.resize(length, 0x5A);
        for (const size_t piece : {size_t{1}, size_t{5}, size_t{8}, size_t{4095}, size_t{65535}}) {
            if (piece == 1 && length > 70000) continue;  // a million calls say nothing new
            for (const int32_t limit : {INT32_MIN, 0, 1 << 30, INT32_MAX}) {
                FakeChunks chunks{&bytes, piece};
                // The reader is offered "read to the end": the count stops
                // at 524288 bytes all the same.
                const int32_t counted = vantor::CountRecordsInChunks(chunks.Reader(), SIZE_MAX, 1, limit);
                EXPECT_EQ(counted, PlainCount(bytes, 1, limit)) << length << " bytes, pieces of " << piece;
                EXPECT_LE(chunks.largest_request, vantor::kMaxSegmentRequest);
                EXPECT_LE(chunks.position, size_t{524288}) << "nothing past the scan limit is read";
            }
            FakeChunks first{&bytes, piece};
            int32_t expected = 0;
            if (!bytes.empty()) std::memcpy(&expected, bytes.data(), std::min<size_t>(4, bytes.size()));
            EXPECT_EQ(vantor::FirstIntegerOfChunks(first.Reader()), expected);
            EXPECT_LE(first.largest_request, size_t{4}) << "asks for no more than the four bytes";
        }
    }
}

TEST(BlobChunks, CountStopsAtTheWantedLengthAndAnEmptyReaderIsAskedOnce) {
    Bytes bytes;
    for (int i = 0; i < 100; ++i) AppendRecord(bytes, 1, i);
    FakeChunks chunks{&bytes, 65535};
    EXPECT_EQ(vantor::CountRecordsInChunks(chunks.Reader(), 8 * 10 + 3, 1, 1000), 10);
    EXPECT_EQ(chunks.position, size_t{83});
    const Bytes none;
    FakeChunks empty{&none, 65535};
    EXPECT_EQ(vantor::CountRecordsInChunks(empty.Reader(), SIZE_MAX, 1, 1000), 0);
    EXPECT_EQ(empty.calls, 1);
    FakeChunks emptyFirst{&none, 65535};
    EXPECT_EQ(vantor::FirstIntegerOfChunks(emptyFirst.Reader()), 0);
    EXPECT_EQ(emptyFirst.calls, 1);
}

}  // namespace
