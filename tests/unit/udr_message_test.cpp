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

#include <cstring>
#include <random>
#include <string>
#include <vector>

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
    EXPECT_NE(CheckDeclaration(match, twoTexts.Layout, integer.Layout), "");
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
