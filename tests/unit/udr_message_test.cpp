// The UDR adapter below the engine: messages laid out as the engine lays
// them out for a declaration (fields at scattered offsets, NULL flags apart
// from their values, VARCHAR and CHAR texts of many lengths), read and
// written by the routines, against the plain functions the legacy module
// calls. What only this test sees: a field read or written at the wrong
// offset, a NULL flag left unwritten or read from the wrong place, a text
// read past its count or its declared length, a result that does not fit
// its declared length cut instead of refused, a declaration of the wrong
// shape accepted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "legacy/entry_points.h"
#include "mask/mask.h"
#include "text/lowercase.h"
#include "udr/message.h"
#include "udr/routines.h"

namespace vantor::udr {
namespace {

// A message built as the engine builds one: each field at the next offset
// aligned for its type, its NULL flag after it; the bytes start as garbage
// (0xA5) so that a field the routine forgets to write shows.
struct FakeMessage {
    MessageLayout Layout;
    std::vector<unsigned char> Bytes;

    // Adds a field; PAD puts that many garbage bytes before it, so that
    // offsets differ from any fixed layout.
    FakeMessage& Add(unsigned type, unsigned length, unsigned charSet = kCharSetNone, unsigned pad = 0) {
        FieldLayout field;
        field.Type = type;
        field.Length = length;
        field.CharSet = charSet;
        unsigned offset = static_cast<unsigned>(Bytes.size()) + pad;
        const unsigned align = type == kSqlVarying ? 2 : type == kSqlText ? 1 : std::min(length, 8u);
        offset = (offset + align - 1) / align * align;
        field.Offset = offset;
        const unsigned size = length + (type == kSqlVarying ? 2 : 0);
        field.NullOffset = (offset + size + 1) / 2 * 2;
        Bytes.resize(field.NullOffset + 2, 0xA5);
        Layout.push_back(field);
        return *this;
    }
    FakeMessage& Varchar(unsigned length, unsigned charSet = kCharSetNone, unsigned pad = 0) {
        return Add(kSqlVarying, length, charSet, pad);
    }
    FakeMessage& Char(unsigned length, unsigned charSet = kCharSetNone) { return Add(kSqlText, length, charSet); }
    FakeMessage& Double(unsigned pad = 0) { return Add(kSqlDouble, 8, 0, pad); }
    FakeMessage& Smallint(unsigned pad = 0) { return Add(kSqlShort, 2, 0, pad); }

    void SetNullFlag(size_t index, bool null) {
        const int16_t flag = null ? 1 : 0;
        std::memcpy(&Bytes[Layout[index].NullOffset], &flag, 2);
    }
    template <typename T>
    void Put(size_t index, T value) {
        std::memcpy(&Bytes[Layout[index].Offset], &value, sizeof value);
        SetNullFlag(index, false);
    }
    // A VARCHAR's count and bytes, or a CHAR's bytes padded with blanks.
    void PutText(size_t index, const std::string& text) {
        const FieldLayout& field = Layout[index];
        unsigned char* at = &Bytes[field.Offset];
        if (field.Type == kSqlVarying) {
            const uint16_t count = static_cast<uint16_t>(text.size());
            std::memcpy(at, &count, 2);
            at += 2;
        } else {
            std::memset(at, ' ', field.Length);
        }
        std::memcpy(at, text.data(), text.size());
        SetNullFlag(index, false);
    }
    int16_t NullFlag() const {
        int16_t flag;
        std::memcpy(&flag, &Bytes[Layout[0].NullOffset], 2);
        return flag;
    }
    template <typename T>
    T Get() const {
        T value;
        std::memcpy(&value, &Bytes[Layout[0].Offset], sizeof value);
        return value;
    }
    std::string GetText() const {
        const FieldLayout& field = Layout[0];
        if (field.Type == kSqlText) return std::string(reinterpret_cast<const char*>(&Bytes[field.Offset]), field.Length);
        uint16_t count;
        std::memcpy(&count, &Bytes[field.Offset], 2);
        return std::string(reinterpret_cast<const char*>(&Bytes[field.Offset + 2]), count);
    }
};

Outcome RunRoutine(const char* name, FakeMessage& in, FakeMessage& out) {
    const Routine* routine = FindRoutine(name);
    EXPECT_NE(routine, nullptr) << name;
    EXPECT_EQ(CheckDeclaration(*routine, in.Layout, out.Layout), "") << name;
    return Execute(*routine, Call{in.Layout, in.Bytes.data(), out.Layout, out.Bytes.data()});
}

TEST(UdrMessage, MatchReadsTextsOfAnyDeclaredLengthAtTheirOffsets) {
    std::mt19937 random(14);
    const std::vector<std::string> masks = {"INV-####*", "*2024*", "{INV;ORD}-[4:09]-*", "", "a\\*b", "[%:a]b"};
    const std::vector<std::string> texts = {"INV-2024-000123", "ORD-2024-7", "", "aaab", "a*b", "xx2024yy"};
    for (unsigned declared : {1u, 15u, 20u, 255u, 32765u}) {
        for (const std::string& text : texts) {
            for (const std::string& mask : masks) {
                if (text.size() > declared || mask.size() > declared) continue;
                FakeMessage in, out;
                in.Varchar(declared, kCharSetNone, random() % 7).Varchar(declared, kCharSetNone, random() % 7);
                out.Smallint(random() % 5);
                in.PutText(0, text);
                in.PutText(1, mask);
                EXPECT_EQ(RunRoutine("Match", in, out).What, Fault::None);
                ASSERT_EQ(out.NullFlag(), 0) << text << " " << mask;
                EXPECT_EQ(out.Get<int16_t>(), MatchMask(text, mask) ? 1 : 0) << text << " / " << mask;
            }
        }
    }
}

TEST(UdrMessage, TextIsReadToItsCountAndFirstZeroByteNeverPast) {
    FakeMessage in, out;
    in.Varchar(20).Varchar(20);
    out.Smallint();
    // The bytes after the count are garbage that would match '*x'.
    in.PutText(0, "abcx");
    const uint16_t shorter = 3;
    std::memcpy(&in.Bytes[in.Layout[0].Offset], &shorter, 2);
    in.PutText(1, "*x");
    RunRoutine("Match", in, out);
    EXPECT_EQ(out.Get<int16_t>(), 0);
    // A zero byte ends the text, as it ends a legacy CSTRING.
    in.PutText(0, std::string("ab\0x", 4));
    RunRoutine("Match", in, out);
    EXPECT_EQ(out.Get<int16_t>(), 0);
    in.PutText(1, "ab");
    RunRoutine("Match", in, out);
    EXPECT_EQ(out.Get<int16_t>(), 1);
    // A CHAR argument keeps its blank padding.
    FakeMessage padded, result;
    padded.Char(6).Varchar(10);
    result.Smallint();
    padded.PutText(0, "abc");
    padded.PutText(1, "abc");
    RunRoutine("Match", padded, result);
    EXPECT_EQ(result.Get<int16_t>(), 0);
    padded.PutText(1, "abc*");
    RunRoutine("Match", padded, result);
    EXPECT_EQ(result.Get<int16_t>(), 1);
}

TEST(UdrMessage, NullInAnyArgumentGivesNullAndNullFlagsAreWritten) {
    for (size_t nullArg = 0; nullArg < 3; ++nullArg) {
        FakeMessage in, out;
        in.Smallint(3).Varchar(10, kCharSetWin1250, 1).Varchar(10, kCharSetWin1250, 5);
        out.Varchar(10, kCharSetWin1250, 2);
        in.Put<int16_t>(0, 1);
        in.PutText(1, "first");
        in.PutText(2, "second");
        in.SetNullFlag(nullArg, true);
        EXPECT_EQ(RunRoutine("IIF_S", in, out).What, Fault::None);
        EXPECT_NE(out.NullFlag(), 0) << nullArg;
    }
    FakeMessage in, out;
    in.Smallint().Varchar(10, kCharSetWin1250).Varchar(10, kCharSetWin1250);
    out.Varchar(10, kCharSetWin1250);
    in.Put<int16_t>(0, 0);
    in.PutText(1, "first");
    in.PutText(2, "second");
    RunRoutine("IIF_S", in, out);
    EXPECT_EQ(out.NullFlag(), 0);
    EXPECT_EQ(out.GetText(), "second");
}

TEST(UdrMessage, ResultLongerThanItsDeclaredLengthIsRefusedNotCut) {
    const std::string text = "P\xD8\xCDLI\x8A \x8ELU\x8DOU\xC8K\xDD";  // 15 bytes of code page 1250
    for (unsigned declared : {14u, 15u, 16u, 300u}) {
        FakeMessage in, out;
        in.Varchar(300, kCharSetWin1250, 3);
        out.Varchar(declared, kCharSetWin1250, 1);
        in.PutText(0, text);
        const Outcome outcome = RunRoutine("ALC", in, out);
        if (declared < text.size()) {
            EXPECT_EQ(outcome.What, Fault::Truncation);
            EXPECT_EQ(outcome.Limit, declared);
            EXPECT_EQ(outcome.Actual, text.size());
        } else {
            EXPECT_EQ(outcome.What, Fault::None);
            std::string expected(text.size(), '\0');
            LowerCaseBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                           reinterpret_cast<unsigned char*>(expected.data()));
            EXPECT_EQ(out.NullFlag(), 0);
            EXPECT_EQ(out.GetText(), expected);
        }
    }
    // A CHAR result is padded with blanks to its length.
    FakeMessage in, out;
    in.Varchar(10, kCharSetWin1250);
    out.Char(6, kCharSetWin1250);
    in.PutText(0, "ABC");
    RunRoutine("ALC", in, out);
    EXPECT_EQ(out.GetText(), "abc   ");
    // IIF_S likewise.
    FakeMessage choice, chosen;
    choice.Smallint().Varchar(20).Varchar(20);
    chosen.Varchar(4);
    choice.Put<int16_t>(0, 1);
    choice.PutText(1, "longer");
    choice.PutText(2, "ok");
    EXPECT_EQ(RunRoutine("IIF_S", choice, chosen).What, Fault::Truncation);
    choice.Put<int16_t>(0, -1);
    EXPECT_EQ(RunRoutine("IIF_S", choice, chosen).What, Fault::None);
    EXPECT_EQ(chosen.GetText(), "ok");
}

// Known values (2000-01-01 18:00 is DP 36526.75, server day 51544, a
// Saturday) read and written at every alignment the engine may give.
TEST(UdrMessage, DatesAndNumbersAtScatteredOffsets) {
    for (unsigned pad = 0; pad < 9; ++pad) {
        FakeMessage in, outYear, outDate, outTs, dow, dowResult;
        in.Double(pad);
        outYear.Smallint(pad);
        outDate.Add(kSqlTypeDate, 4, 0, 8 - pad);
        outTs.Add(kSqlTimestamp, 8, 0, pad);
        in.Put<double>(0, 36526.75);
        RunRoutine("DP2Year", in, outYear);
        EXPECT_EQ(outYear.Get<int16_t>(), 2000);
        RunRoutine("DP2D", in, outDate);
        EXPECT_EQ(outDate.Get<int32_t>(), 51544);
        RunRoutine("DP2TS", in, outTs);
        const Timestamp got = outTs.Get<Timestamp>();
        EXPECT_EQ(got.Date, 51544);
        EXPECT_EQ(got.Time, 648000000u);
        EXPECT_EQ(outTs.NullFlag(), 0);
        // A weekday list longer than any kept on the stack.
        dow.Double(pad % 3).Varchar(255, kCharSetNone, pad);
        dowResult.Smallint(pad);
        dow.Put<double>(0, 36526.75);
        dow.PutText(1, std::string(100, ' ') + "6");
        RunRoutine("DPDOW", dow, dowResult);
        EXPECT_EQ(dowResult.Get<int16_t>(), 1);
        dow.PutText(1, std::string(100, ' ') + "5");
        RunRoutine("DPDOW", dow, dowResult);
        EXPECT_EQ(dowResult.Get<int16_t>(), 0);
    }
    FakeMessage division, quotient;
    division.Double(3).Double(5);
    quotient.Double(1);
    division.Put<double>(0, 1.0);
    division.Put<double>(1, 0.0);
    EXPECT_EQ(RunRoutine("DivDP", division, quotient).What, Fault::None);
    EXPECT_EQ(quotient.Get<double>(), 0.0);
    division.Put<double>(0, 1e308);
    division.Put<double>(1, 1e-308);
    EXPECT_EQ(RunRoutine("DivDP", division, quotient).What, Fault::Overflow);
}

// A function moved from a legacy declaration keeps that declaration's
// results for NULL: each NULL argument reaches the legacy entry point as a
// zero value (no NULL keyword) or as a null address (the NULL keyword), and
// the UDR routine under the same rules must give what the entry point gives,
// NULL only where it returns a null address. Every function, every set of
// NULL arguments, both rules and a mix of them.
struct LegacyResult {
    bool Null;
    std::string Bytes;
};

template <typename T>
LegacyResult ByValue(T value) {
    return {false, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
}

template <typename T>
LegacyResult ByAddress(const T* value, size_t size = sizeof(T)) {
    if (!value) return {true, {}};
    return {false, std::string(reinterpret_cast<const char*>(value), size)};
}

LegacyResult Text(char* text, bool owned) {
    if (!text) return {true, {}};
    LegacyResult result{false, text};
    if (owned) std::free(text);
    return result;
}

using LegacyCall = std::function<LegacyResult(const std::vector<void*>&)>;

template <typename T>
T* As(void* p) {
    return static_cast<T*>(p);
}

const std::map<std::string, LegacyCall>& LegacyCalls() {
    static const std::map<std::string, LegacyCall> calls = {
        {"D2DP", [](auto& a) { return ByValue(D2DP(As<ISC_DATE>(a[0]))); }},
        {"DP2D", [](auto& a) { return ByValue(DP2D(As<double>(a[0]))); }},
        {"T2DP", [](auto& a) { return ByValue(T2DP(As<ISC_TIME>(a[0]))); }},
        {"DP2T", [](auto& a) { return ByValue(DP2T(As<double>(a[0]))); }},
        {"TS2DP", [](auto& a) { return ByValue(TS2DP(As<ISC_TIMESTAMP>(a[0]))); }},
        {"DP2TS", [](auto& a) { return ByAddress(DP2TS(As<double>(a[0]))); }},
        {"DP2Day", [](auto& a) { return ByValue(static_cast<int16_t>(DP2Day(As<double>(a[0])))); }},
        {"DP2Month", [](auto& a) { return ByValue(static_cast<int16_t>(DP2Month(As<double>(a[0])))); }},
        {"DP2Year", [](auto& a) { return ByValue(static_cast<int16_t>(DP2Year(As<double>(a[0])))); }},
        {"DP2DOW", [](auto& a) { return ByValue(static_cast<int16_t>(DP2DOW(As<double>(a[0])))); }},
        {"DPDOW", [](auto& a) { return ByValue(DPDOW(As<double>(a[0]), As<char>(a[1]))); }},
        {"Match", [](auto& a) { return ByValue(static_cast<int16_t>(Match(As<char>(a[0]), As<char>(a[1])))); }},
        {"ALC", [](auto& a) { return Text(ALC(As<char>(a[0])), true); }},
        {"IIF_D", [](auto& a) { return ByAddress(IIF_D(As<int16_t>(a[0]), As<ISC_DATE>(a[1]), As<ISC_DATE>(a[2]))); }},
        {"IIF_T", [](auto& a) { return ByAddress(IIF_T(As<int16_t>(a[0]), As<ISC_TIME>(a[1]), As<ISC_TIME>(a[2]))); }},
        {"IIF_TS",
         [](auto& a) { return ByAddress(IIF_TS(As<int16_t>(a[0]), As<ISC_TIMESTAMP>(a[1]), As<ISC_TIMESTAMP>(a[2]))); }},
        {"IIF_S", [](auto& a) { return Text(IIF_S(As<int16_t>(a[0]), As<char>(a[1]), As<char>(a[2])), false); }},
        {"IIF_I", [](auto& a) { return ByAddress(IIF_I(As<int16_t>(a[0]), As<int32_t>(a[1]), As<int32_t>(a[2]))); }},
        {"IIF_DP", [](auto& a) { return ByAddress(IIF_DP(As<int16_t>(a[0]), As<double>(a[1]), As<double>(a[2]))); }},
        {"DivDP", [](auto& a) { return ByValue(DivDP(As<double>(a[0]), As<double>(a[1]))); }},
        {"BLOB2I", [](auto& a) { return ByValue(BLOB2I(As<blobcallback>(a[0]))); }},
        {"BLOB2SO",
         [](auto& a) { return ByValue(BLOB2SO(As<blobcallback>(a[0]), As<int32_t>(a[1]), As<int32_t>(a[2]))); }},
    };
    return calls;
}

// The server's BLOBCALLBACK for a NULL BLOB: no handle, no segment, length 0.
short DeliverNothing(void*, unsigned char*, unsigned short, unsigned short* delivered) noexcept {
    *delivered = 0;
    return 0;
}

TEST(UdrMessage, MovedFunctionsGiveTheLegacyDeclarationsResultsForNull) {
    // One value of each kind, not zero, so that a NULL read as zero shows.
    const double dp = -36526.75, other = -4.0;
    const ISC_DATE date = 51544;
    const ISC_TIME time = 648000000;
    const ISC_TIMESTAMP timestamp{51544, 648000000};
    const int16_t condition = 1;
    const int32_t integer = 7;
    size_t checked = 0;
    for (const Routine& routine : Routines()) {
        if (routine.In.empty()) continue;
        const size_t n = routine.In.size();
        for (unsigned nulls = 1; nulls < (1u << n); ++nulls) {
            for (unsigned addressRules = 0; addressRules < (1u << n); ++addressRules) {
                // A non-NULL BLOB needs the engine: only NULL BLOBs here.
                if (routine.In[0] == Kind::Blob && !(nulls & 1)) continue;
                FakeMessage in, out;
                std::vector<NullRule> rules;
                std::vector<std::string> texts(n);
                std::vector<std::vector<unsigned char>> values(n);
                std::vector<void*> legacy(n);
                blobcallback noBlob{DeliverNothing, nullptr, 0, 0, 0, nullptr, nullptr};
                for (size_t i = 0; i < n; ++i) {
                    const bool null = nulls >> i & 1, address = addressRules >> i & 1;
                    rules.push_back(address ? NullRule::Address : NullRule::Zero);
                    auto put = [&](unsigned type, unsigned length, const void* value) {
                        in.Add(type, length, kCharSetWin1250, static_cast<unsigned>(i % 3));
                        values[i].assign(static_cast<const unsigned char*>(value),
                                         static_cast<const unsigned char*>(value) + length);
                        if (null) std::fill(values[i].begin(), values[i].end(), 0);
                    };
                    switch (routine.In[i]) {
                        case Kind::Text: texts[i] = null ? "" : i == 1 && n == 2 ? "*1*" : "Ab1"; break;
                        case Kind::Smallint: put(kSqlShort, 2, &condition); break;
                        case Kind::Integer: put(kSqlLong, 4, &integer); break;
                        case Kind::Double: put(kSqlDouble, 8, i == 0 ? &dp : &other); break;
                        case Kind::Date: put(kSqlTypeDate, 4, &date); break;
                        case Kind::Time: put(kSqlTypeTime, 4, &time); break;
                        case Kind::Timestamp: put(kSqlTimestamp, 8, &timestamp); break;
                        case Kind::Blob: in.Add(kSqlBlob, 8); break;
                    }
                    if (routine.In[i] == Kind::Text) {
                        in.Varchar(20, kCharSetWin1250, static_cast<unsigned>(i));
                        in.PutText(i, null ? "garbage" : texts[i]);
                        legacy[i] = null && address ? nullptr : texts[i].data();
                    } else if (routine.In[i] == Kind::Blob) {
                        legacy[i] = address ? nullptr : &noBlob;
                    } else {
                        std::memcpy(&in.Bytes[in.Layout[i].Offset], values[i].data(), values[i].size());
                        legacy[i] = null && address ? nullptr : values[i].data();
                    }
                    in.SetNullFlag(i, null);
                }
                switch (routine.Out) {
                    case Kind::Text: out.Varchar(20, kCharSetWin1250, 1); break;
                    case Kind::Smallint: out.Smallint(1); break;
                    case Kind::Integer: out.Add(kSqlLong, 4, 0, 1); break;
                    case Kind::Double: out.Double(1); break;
                    case Kind::Date: out.Add(kSqlTypeDate, 4, 0, 1); break;
                    case Kind::Time: out.Add(kSqlTypeTime, 4, 0, 1); break;
                    case Kind::Timestamp: out.Add(kSqlTimestamp, 8, 0, 1); break;
                    case Kind::Blob: break;
                }
                std::vector<unsigned char> scratch(MessageLength(in.Layout));
                ASSERT_EQ(CheckDeclaration(routine, in.Layout, out.Layout), "") << routine.Name;
                const Outcome outcome =
                    Execute(routine, Call{in.Layout, in.Bytes.data(), out.Layout, out.Bytes.data()}, rules, &scratch);
                const LegacyResult expected = LegacyCalls().at(routine.Name)(legacy);
                const std::string where = std::string(routine.Name) + " nulls " + std::to_string(nulls) +
                                          " null addresses " + std::to_string(addressRules);
                ASSERT_EQ(outcome.What, Fault::None) << where;
                ASSERT_EQ(out.NullFlag() != 0, expected.Null) << where;
                if (!expected.Null) {
                    const std::string got = routine.Out == Kind::Text
                                                ? out.GetText()
                                                : std::string(reinterpret_cast<const char*>(&out.Bytes[out.Layout[0].Offset]),
                                                              expected.Bytes.size());
                    EXPECT_EQ(got, expected.Bytes) << where;
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 300u);
}

// The rules a moved declaration carries after its routine's name.
TEST(UdrMessage, NullRulesAreReadFromTheDeclaration) {
    std::vector<NullRule> rules;
    EXPECT_EQ(ParseNullRules("", 2, &rules), "");
    EXPECT_TRUE(rules.empty());
    EXPECT_EQ(ParseNullRules("legacy:zero,null", 2, &rules), "");
    EXPECT_EQ(rules, (std::vector<NullRule>{NullRule::Zero, NullRule::Address}));
    EXPECT_EQ(ParseNullRules("legacy:", 0, &rules), "");
    for (const char* wrong : {"legacy:zero", "legacy:zero,null,zero", "legacy:zero,", "legacy:zero,nul", "nulls:zero,zero",
                              "legacy:", "LEGACY:zero,zero"}) {
        EXPECT_NE(ParseNullRules(wrong, 2, &rules), "") << wrong;
        EXPECT_TRUE(rules.empty()) << wrong;
    }
}

TEST(UdrMessage, DeclarationsOfTheWrongShapeAreRefused) {
    const Routine& match = *FindRoutine("Match");
    FakeMessage twoTexts, oneText, textAndNumber, smallint, integer;
    twoTexts.Varchar(10).Varchar(10);
    oneText.Varchar(10);
    textAndNumber.Varchar(10).Double();
    smallint.Smallint();
    integer.Add(kSqlLong, 4);
    EXPECT_EQ(CheckDeclaration(match, twoTexts.Layout, smallint.Layout), "");
    EXPECT_NE(CheckDeclaration(match, oneText.Layout, smallint.Layout), "");
    EXPECT_NE(CheckDeclaration(match, textAndNumber.Layout, smallint.Layout), "");
    // A 16-bit result may be read as INTEGER, as legacy declarations may:
    // extended by its sign, or with zeros where the legacy C result is
    // unsigned (DP2Year).
    EXPECT_EQ(CheckDeclaration(match, twoTexts.Layout, integer.Layout), "");
    FakeMessage dp;
    dp.Double();
    dp.Put<double>(0, 15000000.0);  // a year above 32767
    RunRoutine("DP2Year", dp, integer);
    EXPECT_EQ(integer.Get<int32_t>(), static_cast<uint16_t>(DP2Year(reinterpret_cast<double*>(&dp.Bytes[0]))));
    EXPECT_GT(integer.Get<int32_t>(), 32767);
    RunRoutine("DP2DOW", dp, integer);
    EXPECT_EQ(integer.Get<int32_t>(), DP2DOW(reinterpret_cast<double*>(&dp.Bytes[0])));
    EXPECT_NE(CheckDeclaration(match, twoTexts.Layout, oneText.Layout), "");
    // ALC folds code page 1250 only; IIF_S keeps one character set.
    const unsigned kUtf8 = 4;
    FakeMessage utf8, win1250;
    utf8.Varchar(40, kUtf8);
    win1250.Varchar(40, kCharSetWin1250);
    EXPECT_NE(CheckDeclaration(*FindRoutine("ALC"), utf8.Layout, utf8.Layout), "");
    EXPECT_EQ(CheckDeclaration(*FindRoutine("ALC"), win1250.Layout, win1250.Layout), "");
    FakeMessage mixed;
    mixed.Smallint().Varchar(10, kUtf8).Varchar(10, kCharSetWin1250);
    EXPECT_NE(CheckDeclaration(*FindRoutine("IIF_S"), mixed.Layout, win1250.Layout), "");
}

}  // namespace
}  // namespace vantor::udr
