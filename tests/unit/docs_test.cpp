// The examples of the documentation against the real engine's output: every
// example in the README's function tables and every SQL block of the guides
// in docs/ must be a statement of the SQL regression suite (tests/sql/docs_*),
// whose expected output the suite checks in the engine, and the result the
// documentation shows must be the one recorded there. So no documented
// example can drift from what the library does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A value as the README writes it, from a value as isql prints it in list
// mode: trailing zeros of a decimal fraction dropped ("36526.00000000000" is
// 36526), a zero fraction of seconds dropped ("18:00:00.0000" is 18:00:00),
// and <true>, <false>, <null> written as TRUE, FALSE, NULL.
std::string AsWritten(std::string value) {
    if (value == "<true>") return "TRUE";
    if (value == "<false>") return "FALSE";
    if (value == "<null>") return "NULL";
    if (std::regex_match(value, std::regex(R"(-?[0-9]+\.[0-9]+)"))) {
        value.erase(value.find_last_not_of('0') + 1);
        if (value.back() == '.') value.pop_back();
    } else if (std::regex_search(value, std::regex(R"([0-9]{2}:[0-9]{2}:[0-9]{2}\.0000$)"))) {
        value.erase(value.size() - 5);
    }
    return value;
}

// The rows of the README's function tables: "| `NAME` | signature | returns |
// `EXPRESSION` → RESULT |".
struct TableExample {
    std::string name, expression, result;
};

// The output the README and the guides show: that of the legacy module in
// the i386 Firebird 3.0 engine, a test's first expected output NAME.out (its
// alternatives NAME_1.out... hold the other variants' where they differ).
std::string LegacyOutput(const std::string& test) {
    return Slurp(VANTOR_SOURCE_DIR "/tests/sql/" + test + ".out");
}

std::vector<TableExample> ReadmeExamples() {
    static const std::regex row(R"(^\| `(\w+)` \|.*\| `([^`]+)` → (.+) \|$)");
    std::vector<TableExample> examples;
    for (const std::string& line : Lines(Slurp(VANTOR_SOURCE_DIR "/README.md"))) {
        std::smatch m;
        if (std::regex_match(line, m, row)) examples.push_back({m[1], m[2], m[3]});
    }
    return examples;
}

TEST(Docs, EveryReadmeExampleShowsTheResultTheEnginePrints) {
    const std::vector<TableExample> examples = ReadmeExamples();
    EXPECT_EQ(examples.size(), 23u);  // one per entry point
    const std::string out = LegacyOutput("docs_readme");
    for (const TableExample& example : examples) {
        SCOPED_TRACE(example.name);
        // isql echoes the statement, a blank line, then "COLUMN  value" with
        // the column name padded to 32 characters.
        const std::string statement = "select " + example.expression + " from rdb$database;\n\n";
        const size_t at = out.find(statement);
        ASSERT_NE(at, std::string::npos) << "not in tests/sql/docs_readme.sql: " << example.expression;
        const size_t line_start = at + statement.size();
        const std::string printed = out.substr(line_start, out.find('\n', line_start) - line_start);
        ASSERT_GT(printed.size(), 32u) << printed;
        EXPECT_EQ(AsWritten(printed.substr(32)), example.result) << example.expression;
    }
}

// A fenced block of a guide: its language ("sql" or "" for output) and text.
struct Block {
    std::string language, text;
    bool follows_previous;  // only blank lines between it and the block before
};

std::vector<Block> FencedBlocks(const std::string& markdown) {
    std::vector<Block> blocks;
    bool inside = false, only_blank_since_block = false;
    Block current;
    for (const std::string& line : Lines(markdown)) {
        if (line.rfind("```", 0) == 0) {
            if (inside) {
                blocks.push_back(current);
                only_blank_since_block = true;
            } else {
                current = {line.substr(3), "", only_blank_since_block && !blocks.empty()};
            }
            inside = !inside;
        } else if (inside) {
            current.text += line + "\n";
        } else if (!line.empty()) {
            only_blank_since_block = false;
        }
    }
    EXPECT_FALSE(inside) << "unclosed code block";
    return blocks;
}

// Every SQL block of docs/NAME.md is echoed in tests/sql/docs_NAME.out, and
// an output block right after it is exactly what the engine printed for it.
void CheckGuide(const std::string& name) {
    SCOPED_TRACE("docs/" + name + ".md");
    const std::vector<Block> blocks = FencedBlocks(Slurp(VANTOR_SOURCE_DIR "/docs/" + name + ".md"));
    const std::string out = LegacyOutput("docs_" + name);
    ASSERT_FALSE(out.empty()) << "no tests/sql/docs_" << name << ".out";
    int sql_blocks = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].language != "sql") continue;
        ++sql_blocks;
        const bool has_output = i + 1 < blocks.size() && blocks[i + 1].language.empty() &&
                                blocks[i + 1].follows_previous;
        // isql prints a statement's output after a blank line and ends it
        // with two (records are separated by one), so a block must show all
        // of it.
        const std::string expected =
            has_output ? blocks[i].text + "\n" + blocks[i + 1].text + "\n\n" : blocks[i].text;
        EXPECT_TRUE(out.find(expected) != std::string::npos)
            << "not run (or printing otherwise) in tests/sql/docs_" << name << ".sql:\n"
            << expected;
    }
    EXPECT_GT(sql_blocks, 0);
}

TEST(Docs, EveryGuideExampleIsRunWithTheOutputShown) {
    for (const char* name : {"masks", "dates", "blobs"}) CheckGuide(name);
}

// The demo calls every entry point of the generated export list (SQL names
// are case-insensitive).
TEST(Docs, DemoCallsEveryFunction) {
    std::string demo = Slurp(VANTOR_SOURCE_DIR "/demo/demo.sql");
    for (char& c : demo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    int names = 0;
    for (const std::string& line : Lines(Slurp(VANTOR_GENERATED_DIR "/exports.list"))) {
        if (line.empty() || line[0] == '#') continue;
        ++names;
        std::string call = line + "(";
        for (char& c : call) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_NE(demo.find(call), std::string::npos) << line;
    }
    EXPECT_EQ(names, 23);
}

}  // namespace
