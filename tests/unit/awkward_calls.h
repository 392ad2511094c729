// All 23 entry points as the server sees them, and one pass that calls every
// one of them over a fixed set of awkward inputs and records each result as
// bits. The concurrency and floating-point environment tests share it: what
// a pass gives on one thread, under the default control word, is what every
// other thread and every other control word must give too. The module
// harness (tests/windows) makes the same pass through the loaded module.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "frame/udf.h"
#include "legacy/entry_points.h"

namespace vantor_test {

inline uint64_t BitsOf(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double DoubleOfBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// A text as 64 bits (FNV-1a), the same on every platform.
inline uint64_t TextDigest(const char* text) {
    uint64_t digest = 0xCBF29CE484222325ULL;
    for (; *text; ++text) digest = (digest ^ static_cast<unsigned char>(*text)) * 0x100000001B3ULL;
    return digest;
}

// A FREE_IT result given back as the server gives it back: the unit tests'
// ib_util_malloc is the C library's malloc; the module harness defines its
// own, through its ib_util.
#if !defined(VANTOR_HARNESS)
inline void ReleaseFreeIt(void* block) {
    std::free(block);
}
#else
void ReleaseFreeIt(void* block);
#endif

// DP values that reach every path: whole and fractional days both sides of
// zero, the ends of the calendar, values a hair below midnight, the limits
// of the 32-bit day count, subnormals, huge magnitudes, infinities and NaNs
// with payloads and either sign.
inline std::vector<double> AwkwardDPValues() {
    std::vector<double> values = {
        0.0, -0.0, 0.5, -0.5, 0.75, -0.75, 1.9, -1.9, 0.9999999999, 2.0 - 1e-12,
        36526.75, 2958465.0, 2958465.99999999, -693593.0, -693593.5, -693594.0,
        -693594.25, 1e-300, -1e-300, 2147483647.0, 2147483648.0, -2147483648.0,
        -2147483649.5, 4294967296.0, 9.2233720368547758e18, -9.2233720368547758e18,
        1e300, -1e300, std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
        std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        DoubleOfBits(0x7FF8000000000000ULL), DoubleOfBits(0xFFF8000000000000ULL),
        DoubleOfBits(0x7FF0000000000001ULL), DoubleOfBits(0x7FF4DEADBEEF0001ULL),
        DoubleOfBits(0xFFFFFFFFFFFFFFFFULL), DoubleOfBits(0x000FFFFFFFFFFFFFULL),
    };
    // Fractions of a day just either side of each millisecond and unit.
    for (int k = 1; k < 40; ++k) {
        values.push_back(k * 1234.5678901 / 86400000.0);
        values.push_back(-k * 1234.5678901 / 86400000.0 - k * 13.0);
        values.push_back(40000.0 + k / 864000000.0);
    }
    return values;
}

inline std::vector<std::string> AwkwardTexts() {
    return {"", "a", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "INV-0042", "\x8A\x8D\x8E\xBC\xC1\xC8\xC9\xCC",
            std::string(300, 'a'), std::string(2000, 'x') + "y", "1234567", "0"};
}

inline std::vector<std::string> AwkwardMasks() {
    return {"", "*", "%", "?", "_", "INV-####*", "*a*a*a*a*a*a*a*a*b", "{a|b|{c|d}}*",
            "[a-z]*", "\\*\\?\\\\", "#{1,3}[!0-9]", std::string(200, '{') + "a" + std::string(200, '}'),
            "[", "{", "\\", "{|||}", "*?*?*?*?*?*?*?*?*?x"};
}

// A BLOB held in memory, delivered `piece` bytes per call (0: whole), as
// the server delivers one segment at a time. Each call has its own cursor,
// so any number of threads can read one BlobContents at once.
struct BlobContents {
    std::vector<unsigned char> bytes;
    size_t piece;
};

struct BlobCursor {
    const BlobContents* contents;
    size_t position;
};

inline short DeliverPiece(void* handle, unsigned char* buffer, unsigned short size,
                          unsigned short* delivered) noexcept {
    BlobCursor& cursor = *static_cast<BlobCursor*>(handle);
    const std::vector<unsigned char>& bytes = cursor.contents->bytes;
    size_t n = bytes.size() - cursor.position;
    if (cursor.contents->piece && n > cursor.contents->piece) n = cursor.contents->piece;
    if (n > size) n = size;
    if (n) std::memcpy(buffer, bytes.data() + cursor.position, n);
    cursor.position += n;
    *delivered = static_cast<unsigned short>(n);
    return cursor.position < bytes.size() ? 1 : 0;
}

inline std::vector<BlobContents> AwkwardBlobs() {
    std::vector<BlobContents> blobs;
    blobs.push_back({{}, 0});
    blobs.push_back({{0x01, 0x00, 0x00, 0x80}, 0});
    blobs.push_back({{0x05, 0x00, 0x00}, 1});
    uint32_t state = 12345;
    for (size_t length : {20u, 7000u, 70000u, 600000u}) {
        std::vector<unsigned char> bytes(length);
        for (size_t i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            // Keys mostly 0 to 3 so that counts are not all zero.
            bytes[i] = (i % 8 < 4 && i % 8 != 0) ? 0 : static_cast<unsigned char>(state >> 24);
            if (i % 8 == 0) bytes[i] &= 3;
        }
        blobs.push_back({bytes, length % 3 == 0 ? size_t{0} : size_t{4093}});
    }
    return blobs;
}

// Whether a result may depend on the caller's floating-point settings: the
// double results are computed under the calling thread's x87 control word
// (and on x86-64 partly in SSE under its MXCSR), and DP2T scales a fraction
// at the caller's precision before truncating it. Everything else is exact
// integer work or bit-level truncation, the same under every setting.
enum class Settings { kIgnored, kUsed };

// Calls every entry point over the awkward inputs and hands each result to
// sink(bits, settings) straight after the call. Now is called too, and only
// its success is recorded, as its result is the clock.
template <typename Sink>
void CallEveryEntryPoint(Sink&& sink) {
    constexpr Settings kIgnored = Settings::kIgnored;
    constexpr Settings kUsed = Settings::kUsed;
    const std::vector<double> dps = AwkwardDPValues();
    for (double dp : dps) {
        sink(static_cast<uint32_t>(DP2D(&dp)), kIgnored);
        sink(DP2T(&dp), kUsed);
        double overwritten = dp;
        const ISC_TIMESTAMP* ts = DP2TS(&overwritten);
        sink(static_cast<uint32_t>(ts->timestamp_date), kIgnored);
        sink(ts->timestamp_time, kUsed);
        sink(DP2Day(&dp), kIgnored);
        sink(DP2Month(&dp), kIgnored);
        sink(DP2Year(&dp), kIgnored);
        sink(static_cast<uint32_t>(DP2DOW(&dp)), kIgnored);
        sink(static_cast<uint16_t>(DPDOW(&dp, "135")), kIgnored);
        sink(static_cast<uint16_t>(DPDOW(&dp, nullptr)), kIgnored);
        sink(static_cast<uint16_t>(DPDOW(&dp, "65531")), kIgnored);
        for (double divisor : {dps[3], dps[7], dps[0]}) sink(BitsOf(DivDP(&dp, &divisor)), kUsed);
        const ISC_DATE date = static_cast<ISC_DATE>(BitsOf(dp));
        sink(BitsOf(D2DP(&date)), kUsed);
        const ISC_TIME time = static_cast<ISC_TIME>(BitsOf(dp) >> 7) % 864000000u;
        sink(BitsOf(T2DP(&time)), kUsed);
        const ISC_TIMESTAMP stamp{date, time};
        sink(BitsOf(TS2DP(&stamp)), kUsed);
    }
    for (const std::string& text : AwkwardTexts()) {
        for (const std::string& mask : AwkwardMasks()) sink(static_cast<uint16_t>(Match(text.c_str(), mask.c_str())), kIgnored);
        char* lower = ALC(text.c_str());
        sink(lower ? TextDigest(lower) : 0, kIgnored);
        ReleaseFreeIt(lower);
    }
    sink(static_cast<uint16_t>(Match(nullptr, nullptr)), kIgnored);
    sink(reinterpret_cast<uintptr_t>(ALC(nullptr)), kIgnored);
    for (int16_t condition : {-1, 0, 1, 32767}) {
        ISC_DATE d1 = 1, d2 = 2;
        ISC_TIME t1 = 1, t2 = 2;
        ISC_TIMESTAMP s1{1, 1}, s2{2, 2};
        char c1[] = "one", c2[] = "two";
        int32_t i1 = 1, i2 = 2;
        double p1 = 1, p2 = 2;
        sink(IIF_D(&condition, &d1, &d2) == &d1, kIgnored);
        sink(IIF_T(&condition, &t1, &t2) == &t1, kIgnored);
        sink(IIF_TS(&condition, &s1, &s2) == &s1, kIgnored);
        sink(IIF_S(&condition, c1, c2) == c1, kIgnored);
        sink(IIF_I(&condition, &i1, &i2) == &i1, kIgnored);
        sink(IIF_DP(&condition, &p1, &p2) == &p1, kIgnored);
    }
    for (const BlobContents& contents : AwkwardBlobs()) {
        for (int32_t key = 0; key < 4; ++key) {
            BlobCursor cursor{&contents, 0};
            blobcallback blob{};
            blob.blob_get_segment = DeliverPiece;
            blob.blob_handle = &cursor;
            blob.blob_number_segments = 1;
            blob.blob_total_length = static_cast<int32_t>(contents.bytes.size());
            const int32_t limit = key * 50;
            sink(static_cast<uint32_t>(BLOB2SO(&blob, &key, &limit)), kIgnored);
            cursor.position = 0;
            sink(static_cast<uint32_t>(BLOB2I(&blob)), kIgnored);
        }
    }
    ISC_TIMESTAMP* now = Now();
    sink(now != nullptr, kIgnored);
    ReleaseFreeIt(now);
}

inline void CallEveryEntryPoint(std::vector<uint64_t>& out) {
    CallEveryEntryPoint([&out](uint64_t bits, Settings) { out.push_back(bits); });
}

}  // namespace vantor_test
