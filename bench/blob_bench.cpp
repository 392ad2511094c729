// BLOB2SO over a 512 KiB BLOB held in memory, served the way the server
// serves it (at most 65535 bytes asked, at most one 16 KiB segment per call)
// and by a host that serves every request whole, beside a bare memcpy of
// the same 524288 bytes (the floor under any reader: the host copies every
// byte it delivers) and beside the plain version. BLOB2I on the same BLOB,
// which asks for its first four bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "blob/blobreader.h"
#include "frame/udf.h"
#include "legacy/entry_points.h"
#include "plain.h"

namespace {

constexpr size_t kBlobBytes = 524288;
constexpr size_t kSegmentBytes = 16384;

struct MemoryBlob {
    std::vector<unsigned char> data;
    size_t segment = kSegmentBytes;  // the most one call delivers
    size_t position = 0;
};

// Copies the rest of the current segment, or as much of it as was asked for.
short CopySegment(void* handle, unsigned char* buffer, unsigned short size,
                  unsigned short* delivered) noexcept {
    MemoryBlob& blob = *static_cast<MemoryBlob*>(handle);
    const size_t segmentLeft = blob.segment - blob.position % blob.segment;
    const size_t n = std::min({static_cast<size_t>(size), segmentLeft, blob.data.size() - blob.position});
    std::memcpy(buffer, blob.data.data() + blob.position, n);
    blob.position += n;
    *delivered = static_cast<unsigned short>(n);
    return blob.position < blob.data.size() ? 1 : 0;
}

// Records with keys 0 to 3 and values -100 to 99 in random order, so that
// which records match cannot be predicted.
std::vector<unsigned char> RandomRecords() {
    std::mt19937 random(42);
    std::vector<unsigned char> data(kBlobBytes);
    for (size_t i = 0; i < kBlobBytes; i += 8) {
        const int32_t key = static_cast<int32_t>(random() % 4);
        const int32_t value = static_cast<int32_t>(random() % 200) - 100;
        std::memcpy(&data[i], &key, 4);
        std::memcpy(&data[i + 4], &value, 4);
    }
    return data;
}

blobcallback CallbackOf(MemoryBlob& blob) {
    blobcallback callback{};
    callback.blob_get_segment = CopySegment;
    callback.blob_handle = &blob;
    callback.blob_number_segments = static_cast<int32_t>(kBlobBytes / kSegmentBytes);
    callback.blob_max_segment = static_cast<int32_t>(kSegmentBytes);
    callback.blob_total_length = static_cast<int32_t>(kBlobBytes);
    return callback;
}

void BM_Blob2i(benchmark::State& state) {
    MemoryBlob blob{RandomRecords()};
    blobcallback callback = CallbackOf(blob);
    for (auto _ : state) {
        blob.position = 0;
        benchmark::DoNotOptimize(BLOB2I(&callback));
    }
}
BENCHMARK(BM_Blob2i);

// Argument: the most one call delivers, 16 KiB segments or whole requests
// (a segment as long as the BLOB).
template <int32_t (*Function)(BLOBCALLBACK, const int32_t*, const int32_t*) noexcept>
void BM_Blob2soOf(benchmark::State& state) {
    MemoryBlob blob{RandomRecords(), static_cast<size_t>(state.range(0))};
    blobcallback callback = CallbackOf(blob);
    callback.blob_number_segments = static_cast<int32_t>(kBlobBytes / blob.segment);
    callback.blob_max_segment = static_cast<int32_t>(std::min<size_t>(blob.segment, 65535));
    const int32_t key = 2, limit = 0;
    for (auto _ : state) {
        blob.position = 0;
        benchmark::DoNotOptimize(Function(&callback, &key, &limit));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobBytes));
}
BENCHMARK_TEMPLATE(BM_Blob2soOf, BLOB2SO)->Name("BM_Blob2so512KiB")->Arg(kSegmentBytes)->Arg(kBlobBytes);
BENCHMARK_TEMPLATE(BM_Blob2soOf, plain::BLOB2SO)->Name("BM_Plain_Blob2so512KiB")->Arg(kSegmentBytes)->Arg(kBlobBytes);

// The count alone over records already in memory: what BLOB2SO adds to the
// server's copying; through the load-time choice, and each form.
template <uint32_t (*Count)(const unsigned char*, size_t, int32_t, int32_t) noexcept>
void BM_CountOf(benchmark::State& state) {
    const std::vector<unsigned char> data = RandomRecords();
    for (auto _ : state) benchmark::DoNotOptimize(Count(data.data(), kBlobBytes / 8, 2, 0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobBytes));
}
BENCHMARK_TEMPLATE(BM_CountOf, vantor::CountMatchingRecords)->Name("BM_CountRecords512KiB");

void BM_Memcpy512KiB(benchmark::State& state) {
    const std::vector<unsigned char> source = RandomRecords();
    std::vector<unsigned char> target(kBlobBytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kBlobBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobBytes));
}
BENCHMARK(BM_Memcpy512KiB);

}  // namespace
