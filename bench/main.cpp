// The benchmark's main: runs every benchmark as Google Benchmark's own main
// does, then prints the goal table: each function beside its plain version
// and beside its goal, met or missed. The goals also go into the JSON
// output's context ("goal 01" ...), from which bench/perfreport.py builds
// the report's table, so that the two never disagree.
//
// A goal is an upper bound per call in ns, or a multiple of a baseline
// benchmark of the same run (ib_util_malloc + memcpy of the same length for
// ALC, memcpy of the same bytes for BLOB2SO). A row whose benchmarks were
// not run (a filter) is left out.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Goal {
    const char* Function;
    const char* Input;
    const char* Vantor;     // benchmark name without BM_
    const char* Plain;      // "" when there is none
    double Limit;           // ns, or a multiple of Baseline
    const char* Baseline;   // "" for a limit in ns
};

const Goal kGoals[] = {
    {"D2DP", "dates of 1900-2100", "D2DP", "Plain_D2DP", 10, ""},
    {"DP2D", "DP values of 1900-2100", "DP2D", "Plain_DP2D", 5, ""},
    {"T2DP", "times of day", "T2DP", "Plain_T2DP", 10, ""},
    {"DP2T", "DP values of 1900-2100", "DP2T", "Plain_DP2T", 10, ""},
    {"TS2DP", "timestamps of 1900-2100", "TS2DP", "Plain_TS2DP", 10, ""},
    {"DP2TS", "DP values of 1900-2100", "DP2TS", "Plain_DP2TS", 10, ""},
    {"DP2Day", "DP values of 1900-2100", "DP2Day", "Plain_DP2Day", 10, ""},
    {"DP2Month", "DP values of 1900-2100", "DP2Month", "Plain_DP2Month", 10, ""},
    {"DP2Year", "DP values of 1900-2100", "DP2Year", "Plain_DP2Year", 10, ""},
    {"DP2DOW", "DP values of 1900-2100", "DP2DOW", "Plain_DP2DOW", 10, ""},
    {"DPDOW", "list '67'", "DPDOW/1", "Plain_DPDOW/1", 10, ""},
    {"DPDOW", "empty list", "DPDOW/0", "Plain_DPDOW/0", 10, ""},
    {"Match", "INV-2024-000123 / INV-####*", "Match/invoice", "Reference/invoice", 150, ""},
    {"Match", "abcdxbzz / [2-5:az;!q]x{a;b}*", "Match/set_group", "Reference/set_group", 150, ""},
    {"Match", "ORD-2024-000123 / {INV;ORD}-[4:09]-*", "Match/prefixes", "Reference/prefixes", 150, ""},
    {"Match", "64-byte text / D*\\s2024/##*", "Match/date_in_text64", "Reference/date_in_text64", 150, ""},
    {"Match", "64-byte text / *abc*", "Match/substring64", "Reference/substring64", 100, ""},
    // The same masks with the compiled form kept, as the UDR module keeps it
    // for a query whose mask is the same on every row.
    {"Match, mask kept", "INV-2024-000123 / INV-####*", "Cached/invoice", "Reference/invoice", 150, ""},
    {"Match, mask kept", "abcdxbzz / [2-5:az;!q]x{a;b}*", "Cached/set_group", "Reference/set_group", 150, ""},
    {"Match, mask kept", "ORD-2024-000123 / {INV;ORD}-[4:09]-*", "Cached/prefixes", "Reference/prefixes", 150,
     ""},
    {"Match, mask kept", "64-byte text / D*\\s2024/##*", "Cached/date_in_text64", "Reference/date_in_text64",
     150, ""},
    {"Match, mask kept", "64-byte text / *abc*", "Cached/substring64", "Reference/substring64", 100, ""},
    {"ALC", "16 B ASCII", "ALC/16/0", "Plain_ALC/16/0", 2, "MallocAndCopy/16/0"},
    {"ALC", "16 B code page 1250", "ALC/16/1", "Plain_ALC/16/1", 2, "MallocAndCopy/16/0"},
    {"ALC", "256 B ASCII", "ALC/256/0", "Plain_ALC/256/0", 2, "MallocAndCopy/256/0"},
    {"ALC", "256 B code page 1250", "ALC/256/1", "Plain_ALC/256/1", 2, "MallocAndCopy/256/0"},
    {"ALC", "4 KiB ASCII", "ALC/4096/0", "Plain_ALC/4096/0", 2, "MallocAndCopy/4096/0"},
    {"ALC", "4 KiB code page 1250", "ALC/4096/1", "Plain_ALC/4096/1", 2, "MallocAndCopy/4096/0"},
    {"ALC", "32 KiB ASCII", "ALC/32768/0", "Plain_ALC/32768/0", 2, "MallocAndCopy/32768/0"},
    {"ALC", "32 KiB code page 1250", "ALC/32768/1", "Plain_ALC/32768/1", 2, "MallocAndCopy/32768/0"},
    {"BLOB2SO", "512 KiB in 16 KiB segments", "Blob2so512KiB/16384", "Plain_Blob2so512KiB/16384", 1.5,
     "Memcpy512KiB"},
    {"BLOB2SO", "512 KiB, whole requests", "Blob2so512KiB/524288", "Plain_Blob2so512KiB/524288", 1.5,
     "Memcpy512KiB"},
};

// Console output as usual, and the CPU time of each benchmark kept in ns:
// the median where there are repetitions, else the one run.
class GoalReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median") continue;
            std::string name = run.run_name.str();
            if (name.compare(0, 3, "BM_") == 0) name.erase(0, 3);
            if (!aggregate && medians_.count(name)) continue;
            const double ns = run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            (aggregate ? medians_ : singles_)[name] = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool Find(const std::string& name, double* ns) const {
        for (const auto* table : {&medians_, &singles_}) {
            const auto found = table->find(name);
            if (found != table->end()) {
                *ns = found->second;
                return true;
            }
        }
        return false;
    }

  private:
    std::map<std::string, double> medians_, singles_;
};

void PrintGoals(const GoalReporter& reporter) {
    std::printf("\nGoals (CPU time per call; plain: the straightforward version; a machine shared with\n"
                "other work inflates every figure, so read the ratios measured side by side):\n\n");
    std::printf("%-16s %-38s %12s %12s %9s %22s  %s\n", "function", "input", "vantor", "plain", "/plain",
                "goal", "");
    for (const Goal& goal : kGoals) {
        double vantor, plain = 0, baseline = 0;
        if (!reporter.Find(goal.Vantor, &vantor)) continue;
        const bool hasPlain = *goal.Plain && reporter.Find(goal.Plain, &plain);
        const bool relative = *goal.Baseline != '\0';
        if (relative && !reporter.Find(goal.Baseline, &baseline)) continue;
        const double bound = relative ? goal.Limit * baseline : goal.Limit;
        char limit[64], plainText[32] = "", ratio[32] = "";
        if (relative)
            std::snprintf(limit, sizeof limit, "<= %.1fx = %.0f ns", goal.Limit, bound);
        else
            std::snprintf(limit, sizeof limit, "<= %.0f ns", goal.Limit);
        if (hasPlain) {
            std::snprintf(plainText, sizeof plainText, "%.1f ns", plain);
            std::snprintf(ratio, sizeof ratio, "%.2f", vantor / plain);
        }
        const bool met = vantor <= bound && (!hasPlain || vantor <= plain * 1.05);
        std::printf("%-16s %-38s %9.1f ns %12s %9s %22s  %s\n", goal.Function, goal.Input, vantor, plainText,
                    ratio, limit, met ? "met" : "MISSED");
    }
}

}  // namespace

int main(int argc, char** argv) {
    char arg0Default[] = "benchmark";
    char* argsDefault = arg0Default;
    if (!argv) {
        argc = 1;
        argv = &argsDefault;
    }
    int number = 0;
    for (const Goal& goal : kGoals) {
        char key[16];
        std::snprintf(key, sizeof key, "goal %02d", ++number);
        benchmark::AddCustomContext(key, std::string(goal.Function) + "|" + goal.Input + "|" + goal.Vantor + "|" +
                                             goal.Plain + "|" + std::to_string(goal.Limit) + "|" + goal.Baseline);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintGoals(reporter);
    benchmark::Shutdown();
    return 0;
}
