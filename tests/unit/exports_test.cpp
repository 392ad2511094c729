// The exported entry points are listed once, in src/frame/exports.list; the
// declaration script and the README's reference table must name the same
// functions in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool IsName(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// The word that follows `marker` in `line`, up to any of `stops`.
std::string WordAfter(const std::string& line, const std::string& marker, const char* stops) {
    const size_t at = line.find(marker);
    if (at == std::string::npos) return "";
    const size_t begin = at + marker.size();
    return line.substr(begin, line.find_first_of(stops, begin) - begin);
}

std::vector<std::string> ExportList() {
    std::vector<std::string> names;
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/src/frame/exports.list"))
        if (IsName(line)) names.push_back(line);
    return names;
}

TEST(Exports, ListIsNotEmptyAndHasNoDuplicates) {
    std::vector<std::string> names = ExportList();
    ASSERT_FALSE(names.empty());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

TEST(Exports, DeclarationScriptDeclaresExactlyTheListInOrder) {
    std::vector<std::string> declared, entryPoints;
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/sql/vantor.sql")) {
        const std::string name = WordAfter(line, "DECLARE EXTERNAL FUNCTION ", " ");
        if (!name.empty()) declared.push_back(name);
        const std::string entry = WordAfter(line, "ENTRY_POINT '", "'");
        if (!entry.empty()) {
            entryPoints.push_back(entry);
            EXPECT_NE(line.find("MODULE_NAME 'vantor'"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(entryPoints, ExportList());
    EXPECT_EQ(declared, ExportList());  // the SQL name is the entry point's name
}

TEST(Exports, DropScriptDropsExactlyTheListInOrder) {
    std::vector<std::string> dropped;
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/sql/vantor-drop.sql")) {
        const std::string name = WordAfter(line, "DROP EXTERNAL FUNCTION ", ";");
        if (!name.empty()) dropped.push_back(name);
    }
    EXPECT_EQ(dropped, ExportList());
}

TEST(Exports, ReadmeReferenceTableListsExactlyTheListInOrder) {
    std::vector<std::string> rows;
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/README.md")) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::string name = WordAfter(line, "| `", "`");
        if (IsName(name) && line.find("` |") == 2 + name.size() + 1) rows.push_back(name);
    }
    EXPECT_EQ(rows, ExportList());
}

// The UDR module: its declaration script declares every function of the
// list in order, under the same name and with the same name after '!'; its
// drop script drops them in order; its adapter defines them in order.
TEST(Exports, UdrScriptsAndAdapterNameExactlyTheListInOrder) {
    std::vector<std::string> declared, external, dropped, defined;
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/sql/vantor-udr.sql")) {
        const std::string name = WordAfter(line, "CREATE FUNCTION ", " ");
        if (!name.empty()) declared.push_back(name);
        const std::string entry = WordAfter(line, "EXTERNAL NAME 'vantor_udr!", "'");
        if (!entry.empty()) {
            external.push_back(entry);
            EXPECT_NE(line.find("ENGINE UDR;"), std::string::npos) << line;
        }
    }
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/sql/vantor-udr-drop.sql")) {
        const std::string name = WordAfter(line, "DROP FUNCTION ", ";");
        if (!name.empty()) dropped.push_back(name);
    }
    // Each function is defined by a line that starts VANTOR_UDR_FUNCTION(name)
    // or, for the BLOB readers, FB_UDR_BEGIN_FUNCTION(name).
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/src/udr/functions.cpp")) {
        for (const char* start : {"VANTOR_UDR_FUNCTION(", "FB_UDR_BEGIN_FUNCTION("}) {
            if (line.rfind(start, 0) == 0) defined.push_back(WordAfter(line, start, ")"));
        }
    }
    EXPECT_EQ(declared, ExportList());
    EXPECT_EQ(external, ExportList());
    EXPECT_EQ(dropped, ExportList());
    EXPECT_EQ(defined, ExportList());
}

}  // namespace
