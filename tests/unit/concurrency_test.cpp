// Many threads calling all 23 entry points at once over the same fixed
// inputs: every thread must see exactly the results of a single-threaded
// pass. Built also under ThreadSanitizer (the tsan flavour), where any
// shared mutable state touched by two calls is reported as a race.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "awkward_calls.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 3;

TEST(Concurrency, EveryThreadSeesTheSingleThreadResults) {
    std::vector<uint64_t> expected;
    vantor_test::CallEveryEntryPoint(expected);
    ASSERT_GT(expected.size(), 2000u);
    RecordProperty("results_per_pass", static_cast<int>(expected.size()));
    RecordProperty("passes", kThreads * kRounds);

    std::vector<std::vector<std::vector<uint64_t>>> seen(kThreads, std::vector<std::vector<uint64_t>>(kRounds));
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // All threads start calling together, so the calls overlap.
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int round = 0; round < kRounds; ++round) vantor_test::CallEveryEntryPoint(seen[t][round]);
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t)
        for (int round = 0; round < kRounds; ++round) {
            ASSERT_EQ(seen[t][round].size(), expected.size()) << "thread " << t << " round " << round;
            for (size_t i = 0; i < expected.size(); ++i)
                ASSERT_EQ(seen[t][round][i], expected[i]) << "thread " << t << " round " << round << " result " << i;
        }
}

// DP2TS writes its result over its argument: threads converting their own
// values side by side must each find their own timestamp, never another's.
TEST(Concurrency, DP2TSWritesOnlyItsOwnArgument) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i) {
                const int32_t day = t * 100000 + i;
                double dp = day + 0.5;
                const ISC_TIMESTAMP* ts = DP2TS(&dp);
                if (static_cast<const void*>(ts) != static_cast<const void*>(&dp) ||
                    ts->timestamp_date != day + 15018 || ts->timestamp_time != 432000000u)
                    wrong.fetch_add(1);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
