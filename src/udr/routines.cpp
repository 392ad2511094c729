#include "udr/routines.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "datetime/calendar.h"
#include "datetime/daynumber.h"
#include "frame/udf.h"
#include "mask/mask.h"
#include "text/lowercase.h"
#include "scalar/scalar.h"

namespace vantor::udr {

namespace {

const FieldLayout& Arg(const Call& call, size_t index) { return call.InLayout[index]; }
const FieldLayout& Result(const Call& call) { return call.OutLayout[0]; }

template <typename T>
T ArgValue(const Call& call, size_t index) {
    return Read<T>(call.In, Arg(call, index));
}

// A DOUBLE PRECISION result; an infinite or NaN value is the engine's error,
// as it is for the same value from a legacy UDF.
Outcome SetDouble(const Call& call, double value) {
    if (std::isnan(value)) return Outcome{Fault::NotANumber};
    if (std::isinf(value)) return Outcome{Fault::Overflow};
    Write(call.Out, Result(call), value);
    return Outcome{};
}

// A 16-bit result: the low 16 bits, as the server reads a legacy SMALLINT
// result; declared INTEGER (as a legacy declaration may read it), extended
// by its sign, or with zeros where the legacy entry point's C result is
// unsigned.
Outcome SetSmallint(const Call& call, int32_t value, bool isUnsigned = false) {
    if (Result(call).Type == kSqlLong)
        Write(call.Out, Result(call),
              isUnsigned ? int32_t{static_cast<uint16_t>(value)} : int32_t{static_cast<int16_t>(value)});
    else
        Write(call.Out, Result(call), static_cast<int16_t>(value));
    return Outcome{};
}

Outcome Truncated(const Call& call, size_t actual) {
    return Outcome{Fault::Truncation, Result(call).Length, actual};
}

int32_t DayCountOfArg(const Call& call) { return DayCountOfDP(ArgValue<double>(call, 0)); }

Outcome RunD2DP(const Call& call) {
    return SetDouble(call, DateToDP(ArgValue<ISC_DATE>(call, 0)));
}

Outcome RunDP2D(const Call& call) {
    Write(call.Out, Result(call), DPToDate(ArgValue<double>(call, 0)));
    return {};
}

Outcome RunT2DP(const Call& call) {
    return SetDouble(call, TimeToDP(ArgValue<ISC_TIME>(call, 0)));
}

Outcome RunDP2T(const Call& call) {
    Write(call.Out, Result(call), DPToTime(ArgValue<double>(call, 0)));
    return {};
}

Outcome RunTS2DP(const Call& call) {
    const ISC_TIMESTAMP timestamp = ArgValue<ISC_TIMESTAMP>(call, 0);
    return SetDouble(call, TimestampToDP({timestamp.timestamp_date, timestamp.timestamp_time}));
}

Outcome RunDP2TS(const Call& call) {
    const Timestamp timestamp = DPToTimestamp(ArgValue<double>(call, 0));
    Write(call.Out, Result(call), ISC_TIMESTAMP{timestamp.Date, timestamp.Time});
    return {};
}

Outcome RunDP2Day(const Call& call) {
    return SetSmallint(call, CalendarDateOfDayCount(DayCountOfArg(call)).Day, true);
}

Outcome RunDP2Month(const Call& call) {
    return SetSmallint(call, CalendarDateOfDayCount(DayCountOfArg(call)).Month, true);
}

Outcome RunDP2Year(const Call& call) {
    return SetSmallint(call, CalendarDateOfDayCount(DayCountOfArg(call)).Year, true);
}

Outcome RunDP2DOW(const Call& call) {
    return SetSmallint(call, WeekdayOfDayCount(DayCountOfArg(call)));
}

Outcome RunDPDOW(const Call& call) {
    const int32_t weekday = WeekdayOfDayCount(DayCountOfArg(call));
    return SetSmallint(call, WeekdayPassesList(weekday, TextOf(call.In, Arg(call, 1))) ? 1 : 0);
}

Outcome RunNow(const Call& call) {
    Timestamp timestamp;
    if (CurrentLocalTimestamp(call.Clock, &timestamp))
        Write(call.Out, Result(call), ISC_TIMESTAMP{timestamp.Date, timestamp.Time});
    else
        SetNull(call.Out, Result(call), true);
    return {};
}

// The bytes of both texts are matched as they arrive, in whatever character
// set the declaration gives them.
Outcome RunMatch(const Call& call) {
    // call.Match, when given, is this attachment's MatchState, which keeps
    // the last compiled mask; the results are the same either way.
    const std::string_view text = TextOf(call.In, Arg(call, 0)), mask = TextOf(call.In, Arg(call, 1));
    const MatchOutcome outcome = call.Match ? call.Match->Masks.Match(text, mask) : MatchMaskOutcome(text, mask);
    if (outcome == MatchOutcome::TooComplex) return Outcome{Fault::TooComplex};
    return SetSmallint(call, outcome == MatchOutcome::Match ? 1 : 0);
}

// ALC writes the folded bytes straight into the result field; a result
// field shorter than the text is an error, never a cut result.
Outcome RunALC(const Call& call) {
    const std::string_view text = TextOf(call.In, Arg(call, 0));
    if (text.size() > Result(call).Length) return Truncated(call, text.size());
    LowerCaseBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                   TextBuffer(call.Out, Result(call)));
    SetTextLength(call.Out, Result(call), static_cast<unsigned>(text.size()));
    return {};
}

// The IIF functions: a condition above 0 picks the first value, anything
// else the second. A chosen value that is NULL (it reaches the routine only
// where a legacy declaration passed it as a null address, which the legacy
// entry point hands back) gives NULL.
const FieldLayout& Chosen(const Call& call) {
    return *Choose(ArgValue<int16_t>(call, 0), &Arg(call, 1), &Arg(call, 2));
}

bool ChoseNull(const Call& call, const FieldLayout& chosen) {
    if (!IsNull(call.In, chosen)) return false;
    SetNull(call.Out, Result(call), true);
    return true;
}

Outcome RunIIFValue(const Call& call) {
    const FieldLayout& chosen = Chosen(call);
    if (!ChoseNull(call, chosen)) CopyValue(call.In, chosen, call.Out, Result(call));
    return {};
}

Outcome RunIIF_S(const Call& call) {
    const FieldLayout& field = Chosen(call);
    if (ChoseNull(call, field)) return {};
    const std::string_view chosen = TextOf(call.In, field);
    if (!SetText(call.Out, Result(call), chosen)) return Truncated(call, chosen.size());
    return {};
}

Outcome RunIIF_DP(const Call& call) {
    const FieldLayout& chosen = Chosen(call);
    if (ChoseNull(call, chosen)) return {};
    return SetDouble(call, Read<double>(call.In, chosen));
}

// A divisor of +0.0 or -0.0 gives +0.0.
Outcome RunDivDP(const Call& call) {
    const double dividend = ArgValue<double>(call, 0), divisor = ArgValue<double>(call, 1);
    return SetDouble(call, IsGuardedDivisor(divisor) ? 0.0 : ExtendedQuotient(dividend, divisor));
}

// The BLOB is read through the call's opener. BLOB id 0, no BLOB (a NULL
// that a legacy declaration passes as such), reads as empty, as the legacy
// readers read it.

bool NoBlob(const Call& call) {
    static const unsigned char kNone[8] = {};
    return std::memcmp(ValueOf(call.In, Arg(call, 0)), kNone, sizeof kNone) == 0;
}

Outcome RunBLOB2I(const Call& call) {
    if (NoBlob(call)) {
        Write(call.Out, Result(call), int32_t{0});
        return {};
    }
    const ChunkReader reader = call.Blobs->Open(ValueOf(call.In, Arg(call, 0)));
    const int32_t first = FirstIntegerOfChunks(reader);
    call.Blobs->Close();
    Write(call.Out, Result(call), first);
    return {};
}

// The reader stops at the end of the BLOB or after 524288 bytes, whichever
// comes first: the same bytes the legacy reader takes from the BLOB's length.
Outcome RunBLOB2SO(const Call& call) {
    if (NoBlob(call)) {
        Write(call.Out, Result(call), int32_t{0});
        return {};
    }
    const int32_t key = ArgValue<int32_t>(call, 1), limit = ArgValue<int32_t>(call, 2);
    const ChunkReader reader = call.Blobs->Open(ValueOf(call.In, Arg(call, 0)));
    const int32_t count = CountRecordsInChunks(reader, kRecordScanLimit, key, limit);
    call.Blobs->Close();
    Write(call.Out, Result(call), count);
    return {};
}

}  // namespace

std::string ParseNullRules(std::string_view info, size_t arguments, std::vector<NullRule>* rules) {
    rules->clear();
    if (info.empty()) return std::string();
    constexpr std::string_view kLegacy = "legacy:";
    if (info.substr(0, kLegacy.size()) != kLegacy)
        return "the NULL rules after its routine's name must be legacy:zero|null,...";
    std::vector<NullRule> parsed;
    std::string_view list = info.substr(kLegacy.size());
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view rule = list.substr(0, comma);
        if (rule == "zero")
            parsed.push_back(NullRule::Zero);
        else if (rule == "null")
            parsed.push_back(NullRule::Address);
        else
            return "its NULL rule '" + std::string(rule) + "' is neither zero nor null";
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
        if (list.empty()) return "its NULL rules end with a comma";
    }
    if (parsed.size() != arguments)
        return "its NULL rules name " + std::to_string(parsed.size()) + " arguments, it is declared with " +
               std::to_string(arguments);
    *rules = std::move(parsed);
    return std::string();
}

Outcome Execute(const Routine& routine, const Call& call, const std::vector<NullRule>& rules,
                std::vector<unsigned char>* scratch) {
    if (rules.empty()) {
        if (routine.Strict) {
            for (const FieldLayout& field : call.InLayout) {
                if (IsNull(call.In, field)) {
                    SetNull(call.Out, Result(call), true);
                    return {};
                }
            }
        }
        return routine.Run(call);
    }
    // A legacy declaration's rules: each NULL as the legacy entry point
    // would have met it. A null address that decides the result ends the
    // call; a NULL that arrives as a zero is one in a copy of the message.
    bool copied = false;
    for (size_t i = 0; i < call.InLayout.size(); ++i) {
        const FieldLayout& field = call.InLayout[i];
        if (!IsNull(call.In, field)) continue;
        if (rules[i] == NullRule::Address) {
            switch (routine.OnNullAddress[i]) {
                case NullAddress::GivesZero: SetZero(call.Out, Result(call)); return {};
                case NullAddress::GivesNull: SetNull(call.Out, Result(call), true); return {};
                case NullAddress::PassedOn: continue;
                case NullAddress::ReadsEmpty: break;
            }
        }
        if (!copied) {
            std::memcpy(scratch->data(), call.In, scratch->size());
            copied = true;
        }
        SetZero(scratch->data(), field);
    }
    if (!copied) return routine.Run(call);
    Call zeroed = call;
    zeroed.In = scratch->data();
    return routine.Run(zeroed);
}

const std::vector<Routine>& Routines() {
    static const std::vector<Routine> routines = {
#include "udr/routine_table.inc"
    };
    return routines;
}

std::string CheckDeclaration(const Routine& routine, const MessageLayout& in, const MessageLayout& out) {
    std::string fault = CheckShape(in, routine.In, out, routine.Out);
    if (!fault.empty()) return fault;
    const auto singleByte1250 = [](unsigned charSet) {
        return charSet == kCharSetWin1250 || charSet == kCharSetNone || charSet == kCharSetOctets;
    };
    // The texts each rule names, and whether the declaration keeps it.
    int win1250Texts = 0, resultTexts = 0;
    bool win1250Kept = true, resultKept = true;
    for (size_t i = 0; i < in.size() && i < routine.InCharSets.size(); ++i) {
        if (routine.InCharSets[i] == CharSetRule::Win1250Bytes) {
            ++win1250Texts;
            win1250Kept = win1250Kept && singleByte1250(in[i].CharSet);
        } else if (routine.InCharSets[i] == CharSetRule::Result) {
            ++resultTexts;
            resultKept = resultKept && in[i].CharSet == out[0].CharSet;
        }
    }
    const bool win1250Result = routine.OutCharSet == CharSetRule::Win1250Bytes;
    if (win1250Result) win1250Kept = win1250Kept && singleByte1250(out[0].CharSet);
    const auto texts = [](int count) {
        return count == 1 ? std::string("its text") : count == 2 ? std::string("its two texts")
                                                                 : "its " + std::to_string(count) + " texts";
    };
    if (!win1250Kept) {
        std::string named = win1250Texts ? texts(win1250Texts) : std::string("its result");
        if (win1250Texts && win1250Result) named += " and result";
        return named + " must be CHARACTER SET WIN1250, NONE or OCTETS";
    }
    if (!resultKept) return texts(resultTexts) + " and its result must share one character set";
    return std::string();
}

const Routine* FindRoutine(const char* name) {
    for (const Routine& routine : Routines()) {
        if (std::strcmp(routine.Name, name) == 0) return &routine;
    }
    return nullptr;
}

}  // namespace vantor::udr
