// Reads a table of docs/api.md, so that tests hold the kit to what the guide says.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace doctable {

using Row = std::vector<std::string>;

inline std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The cells of a markdown table line "| a | b |"; empty for any other line. Cells may hold
// backticked text with a "|" inside, so backticks are respected.
inline Row Cells(const std::string& line) {
    const std::string text = Trim(line);
    if (text.size() < 2 || text.front() != '|' || text.back() != '|') return {};
    Row cells;
    std::string cell;
    bool code = false;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (c == '`') code = !code;
        if (c == '|' && !code) {
            cells.push_back(Trim(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.push_back(Trim(cell));
    return cells;
}

inline bool IsRule(const Row& cells) {
    for (const std::string& cell : cells)
        if (cell.find_first_not_of("-: ") != std::string::npos) return false;
    return !cells.empty();
}

// The body rows of the first table in `path` whose header cells are `header`; empty when
// the file or the table is missing.
inline std::vector<Row> Read(const std::string& path, const Row& header) {
    std::ifstream in(path);
    std::string line;
    std::vector<Row> rows;
    bool inTable = false;
    while (std::getline(in, line)) {
        const Row cells = Cells(line);
        if (!inTable) {
            inTable = cells == header;
            continue;
        }
        if (cells.empty()) break;
        if (IsRule(cells)) continue;
        rows.push_back(cells);
    }
    return rows;
}

inline std::string GuidePath() { return std::string(KIT_SOURCE_DIR) + "/docs/api.md"; }

}  // namespace doctable
