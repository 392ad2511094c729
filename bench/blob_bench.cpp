// BLOB2SO over a 512 KiB BLOB held in memory, served the way the server
// serves it (at most 65535 bytes asked, at most one 16 KiB segment per call),
// beside a bare memcpy of the same 524288 bytes: the floor under any reader.
// BLOB2I on the same BLOB, which asks for its first four bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "blob/blobreader.h"
#include "frame/udf.h"
#include "legacy/entry_points.h"

namespace {

constexpr size_t kBlobBytes = 524288;
constexpr size_t kSegmentBytes = 16384;

struct MemoryBlob {
    std::vector<unsigned char> data;
    size_t position = 0;
};

// Copies the rest of the current segment, or as much of it as was asked for.
short CopySegment(void* handle, unsigned char* buffer, unsigned short size,
                  unsigned short* delivered) noexcept {
    MemoryBlob& blob = *static_cast<MemoryBlob*>(handle);
    const size_t segment_left = kSegmentBytes - blob.position % kSegmentBytes;
    const size_t n = std::min({static_cast<size_t>(size), segment_left, blob.data.size() - blob.position});
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

void BM_Blob2so512KiB(benchmark::State& state) {
    MemoryBlob blob{RandomRecords()};
    blobcallback callback = CallbackOf(blob);
    const int32_t key = 2, limit = 0;
    for (auto _ : state) {
        blob.position = 0;
        benchmark::DoNotOptimize(BLOB2SO(&callback, &key, &limit));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobBytes));
}
BENCHMARK(BM_Blob2so512KiB);

// The count alone over records already in memory: what BLOB2SO adds to the
// server's copying.
void BM_CountRecords512KiB(benchmark::State& state) {
    const std::vector<unsigned char> data = RandomRecords();
    for (auto _ : state) {
        benchmark::DoNotOptimize(vantor::CountMatchingRecords(data.data(), kBlobBytes / 8, 2, 0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlobBytes));
}
BENCHMARK(BM_CountRecords512KiB);

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
