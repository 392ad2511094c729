// The exported entry points are listed once, in src/frame/exports.list; the
// declaration and drop scripts of both modules, the UDR adapter and the
// README's reference tables must name the same functions in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

// The names a declaration script declares: one Put('Name', ...) call per
// function, which declares it under that name with the same name as its
// entry point (legacy) or after '!' (UDR).
std::vector<std::string> DeclaredNames(const std::string& path) {
    std::vector<std::string> names;
    for (const std::string& line : Lines(path)) {
        const std::string name = WordAfter(line, "EXECUTE PROCEDURE Put('", "'");
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

// The names a drop script drops, in capitals as the engine keeps them.
std::vector<std::string> DroppedNames(const std::string& path) {
    std::vector<std::string> names;
    for (const std::string& line : Lines(path)) {
        for (size_t at = line.find("SELECT '"); at != std::string::npos; at = line.find("SELECT '", at + 1))
            names.push_back(WordAfter(line.substr(at), "SELECT '", "'"));
    }
    return names;
}

std::vector<std::string> InCapitals(std::vector<std::string> names) {
    for (std::string& name : names)
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return std::toupper(c); });
    return names;
}

TEST(Exports, DeclarationScriptsDeclareExactlyTheListInOrder) {
    EXPECT_EQ(DeclaredNames(VANTOR_SOURCE_DIR "/sql/vantor.sql"), ExportList());
    EXPECT_EQ(DeclaredNames(VANTOR_SOURCE_DIR "/sql/vantor-udr.sql"), ExportList());
}

TEST(Exports, DropScriptsDropExactlyTheListInOrder) {
    EXPECT_EQ(DroppedNames(VANTOR_SOURCE_DIR "/sql/vantor-drop.sql"), InCapitals(ExportList()));
    EXPECT_EQ(DroppedNames(VANTOR_SOURCE_DIR "/sql/vantor-udr-drop.sql"), InCapitals(ExportList()));
}

TEST(Exports, ReadmeReferenceTableListsExactlyTheListInOrder) {
    std::vector<std::string> rows;
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/README.md")) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::string name = WordAfter(line, "| `", "`");
        if (IsName(name) && line.find("` | (") == 2 + name.size() + 1) rows.push_back(name);
    }
    EXPECT_EQ(rows, ExportList());
}

// The UDR adapter defines every function of the list, in order.
TEST(Exports, UdrAdapterDefinesExactlyTheListInOrder) {
    std::vector<std::string> defined;
    // Each function is defined by a line that starts VANTOR_UDR_FUNCTION(name)
    // or, for the BLOB readers, FB_UDR_BEGIN_FUNCTION(name).
    for (const std::string& line : Lines(VANTOR_SOURCE_DIR "/src/udr/functions.cpp")) {
        for (const char* start : {"VANTOR_UDR_FUNCTION(", "FB_UDR_BEGIN_FUNCTION("}) {
            if (line.rfind(start, 0) == 0) defined.push_back(WordAfter(line, start, ")"));
        }
    }
    EXPECT_EQ(defined, ExportList());
}

}  // namespace
