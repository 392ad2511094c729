// The UDR module's functions as plain code over messages: each routine reads
// its arguments from the input message and writes its result into the
// output message, both laid out as the SQL declaration made them
// (udr/message.h), and computes through the same plain functions as the
// legacy module, so that for every non-NULL input the two give bit-identical
// results. For a function the table marks strict, NULL in any argument gives
// NULL, decided once by Execute before any routine runs.
//
// What the engine must be told (an infinite or NaN result, a result longer
// than its declared length) comes back as an Outcome, which
// src/udr/functions.cpp raises as the engine's own error. The BLOB readers
// read their BLOB through the call's BlobOpener, the engine's blob interface
// in the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "blob/blobreader.h"
#include "datetime/now.h"
#include "mask/mask.h"
#include "udr/message.h"

namespace vantor::udr {

enum class Fault {
    None,
    NotANumber,  // a DOUBLE PRECISION result is NaN
    Overflow,    // a DOUBLE PRECISION result is infinite
    Truncation,  // a text result is longer than its declared length
    TooComplex,  // Match: the mask needs more than the matcher's memory bound
};

struct Outcome {
    Fault What = Fault::None;
    size_t Limit = 0;   // Truncation: the result field's length in bytes
    size_t Actual = 0;  // Truncation: the result's length in bytes
};

// What Match keeps from call to call. The engine makes one function object
// per declaration and attachment and calls it for one request at a time, so
// what is kept here is per attachment and needs no lock: the last compiled
// mask, since a query nearly always passes the same mask on every row.
struct MatchState {
    CompiledMaskCache Masks;
};

// Opens a BLOB argument for the BLOB readers. The module's opener reads
// through the engine; an error of the engine is kept by the reader and
// raised by Close, once the reader is done.
class BlobOpener {
public:
    // A reader of the BLOB whose 8-byte id is at ID (unaligned).
    virtual ChunkReader Open(const unsigned char* id) = 0;
    // Closes the BLOB last opened; raises what its reading met.
    virtual void Close() = 0;

protected:
    ~BlobOpener() = default;
};

// One call: the two messages and their layouts. The clock is Now's; Match
// is given its state by its adapter (none in a call made without one); the
// BLOB readers their opener.
struct Call {
    const MessageLayout& InLayout;
    const unsigned char* In;
    const MessageLayout& OutLayout;
    unsigned char* Out;
    ClockReader Clock = ReadSystemClock;
    MatchState* Match = nullptr;
    BlobOpener* Blobs = nullptr;
};

using RoutineBody = Outcome (*)(const Call& call);

// What the legacy entry point does with a null address in place of an
// argument (a legacy declaration with the NULL keyword passes SQL NULL so).
enum class NullAddress : uint8_t {
    GivesZero,   // returns the zero of its result type (0, 0.0, day 0)
    GivesNull,   // returns a null address, which the server reads as NULL
    ReadsEmpty,  // reads it as the empty string or 0 and goes on
    PassedOn,    // hands it back when it is the one chosen (IIF): NULL then
};

// The character sets a declaration may give a text, as the table's entry
// implies them (scripts/functions.py, charset_rule).
enum class CharSetRule {
    Any,           // not a text, or a text taken in whatever set it is declared in
    Win1250Bytes,  // read as code-page-1250 bytes (the table's WIN1250): WIN1250, NONE or OCTETS
    Result,        // handed back as the text result: the result's character set
};

// A function of the module, as src/frame/functions.toml describes it: its
// name (as the declarations' EXTERNAL NAME gives it), the kinds of its
// arguments and result, whether NULL in any argument gives NULL without
// running it (Strict), its body, what its legacy entry point does with a
// null address for each argument, and the character-set rules of its
// arguments and result.
struct Routine {
    const char* Name;
    std::vector<Kind> In;
    Kind Out;
    bool Strict;
    RoutineBody Run;
    std::vector<NullAddress> OnNullAddress;
    std::vector<CharSetRule> InCharSets;
    CharSetRule OutCharSet;
};

// How a declaration has SQL NULL reach one argument. A function declared
// afresh takes SQL's rule; one moved from a legacy declaration keeps what
// that declaration did, so that every result, NULL included, stays the same.
enum class NullRule : uint8_t {
    Sql,      // NULL in the argument gives NULL
    Zero,     // it arrives as 0, the empty string or day 0 (no NULL keyword)
    Address,  // it arrives as a null address (the NULL keyword)
};

// The rules of a declaration, from what follows the routine's name in its
// EXTERNAL NAME: nothing for SQL's rule, or "legacy:" and one of "zero" and
// "null" for each argument, separated by commas
// ('vantor_udr!DPDOW!legacy:zero,null'). Empty when they fit a function of
// ARGUMENTS arguments, otherwise what does not.
std::string ParseNullRules(std::string_view info, size_t arguments, std::vector<NullRule>* rules);

// Runs a routine on one call. Under SQL's rule (RULES empty) a strict
// routine given NULL in any argument returns NULL without running. Under a
// legacy declaration's rules, a NULL argument is taken as that declaration
// passed it; SCRATCH (the input message's length) then holds the message
// with zeros in place of the NULLs that arrive as zeros.
Outcome Execute(const Routine& routine, const Call& call, const std::vector<NullRule>& rules = {},
                std::vector<unsigned char>* scratch = nullptr);

// Checks a function's declaration: the shape (CheckShape) and the character
// sets of its texts, by the routine's rules (a text read as code-page-1250
// bytes is WIN1250, NONE or OCTETS; texts handed back as the result are in
// the result's character set). Empty when it fits, otherwise what does not.
std::string CheckDeclaration(const Routine& routine, const MessageLayout& in, const MessageLayout& out);

// Every function of the module, in the order of the table.
const std::vector<Routine>& Routines();

// The routine of NAME; null if there is none.
const Routine* FindRoutine(const char* name);

}  // namespace vantor::udr
