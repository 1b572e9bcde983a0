#include "IniConfig.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "FileText.h"

namespace {

struct ININode {
    std::string section;
    std::string key;
    std::string value;
};

std::string WithoutBlanks(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool IniConfig::ReadINI(const std::string& path) {
    // A folder or a device opens too, but would read as garbage or block.
    if (!IsRegularFile(path)) return false;
    std::string text;
    if (ReadFileText(path, text) == FileTextResult::kOpenFailed) return false;
    std::istringstream in(text);

    std::vector<ININode> nodes;
    std::string section;
    std::string line;
    while (std::getline(in, line)) {
        const size_t open = line.find('[');
        const size_t close = line.find(']');
        // A "]" before the first "[" names no section: the line is only looked at for a key.
        if (open != std::string::npos && close != std::string::npos && open < close) {
            section = line.substr(open + 1, close - open - 1);
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        ININode node{section, WithoutBlanks(line.substr(0, equals)), WithoutBlanks(line.substr(equals + 1))};
        if (node.section.empty() || node.key.empty() || node.value.empty()) continue;
        nodes.push_back(std::move(node));
    }

    std::map<std::string, SubNode> read;
    for (const ININode& node : nodes) {
        read[node.section].emplace(node.key, node.value);  // the first occurrence wins
    }
    for (auto& entry : read) {
        m_sections.emplace(entry.first, std::move(entry.second));  // held sections stay
    }
    return true;
}

std::string IniConfig::GetValue(const std::string& section, const std::string& key) const {
    auto found = m_sections.find(section);
    if (found == m_sections.end()) return "";
    auto value = found->second.find(key);
    return value == found->second.end() ? "" : value->second;
}

void IniConfig::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    m_sections[section][key] = value;
}

int IniConfig::WriteINI(const std::string& path) const {
    std::ostringstream out;
    for (const auto& section : m_sections) {
        out << '[' << section.first << "]\n";
        for (const auto& pair : section.second) out << pair.first << '=' << pair.second << '\n';
    }
    return WriteFileText(path, out.str()) ? 1 : -1;
}

void IniConfig::Travel() const {
    for (const auto& section : m_sections) {
        std::printf("[%s]\n", section.first.c_str());
        for (const auto& pair : section.second) {
            std::printf("    %s = %s\n", pair.first.c_str(), pair.second.c_str());
        }
    }
}
