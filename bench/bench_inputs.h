// Realistic inputs for the per-call benchmarks: 4096 values of each kind,
// cycled through so that neither the branch predictor nor the caches see
// one value over and over. Moments are spread over two centuries
// (1900-2100) with a time of day to the 1/10000 second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "frame/udf.h"

namespace bench {

constexpr size_t kInputs = 4096;
constexpr size_t kInputMask = kInputs - 1;

// Server day of 1900-01-01 and the number of days to 2100-01-01.
constexpr int32_t kFirstDay = 15020;
constexpr int32_t kCenturiesOfDays = 73049;

inline std::vector<ISC_TIMESTAMP> Timestamps() {
    std::mt19937 random(7);
    std::vector<ISC_TIMESTAMP> values(kInputs);
    for (ISC_TIMESTAMP& value : values) {
        value.timestamp_date = kFirstDay + static_cast<int32_t>(random() % kCenturiesOfDays);
        value.timestamp_time = static_cast<ISC_TIME>(random() % 864000000u);
    }
    return values;
}

// DP values of the same moments: whole days plus the fraction of the time.
inline std::vector<double> DPValues() {
    std::vector<double> values;
    for (const ISC_TIMESTAMP& t : Timestamps())
        values.push_back((t.timestamp_date - 15018) + t.timestamp_time / 864000000.0);
    return values;
}

// Condition values as SQL hands them to the IIF functions: 1 and 0 in
// random order.
inline std::vector<int16_t> Conditions() {
    std::mt19937 random(11);
    std::vector<int16_t> values(kInputs);
    for (int16_t& value : values) value = static_cast<int16_t>(random() & 1);
    return values;
}

}  // namespace bench
