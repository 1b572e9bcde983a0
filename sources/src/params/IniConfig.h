#pragma once
#include <map>
#include <string>

// Sections of key-value pairs read from an INI-style text file. Names and values are
// case-sensitive byte strings; blanks are removed from keys and values.
class IniConfig {
public:
    using SubNode = std::map<std::string, std::string>;

    // False when the file cannot be opened or is not a regular file (content unchanged).
    // Sections already held keep their keys: a file's pairs for them are ignored.
    bool ReadINI(const std::string& path);
    // The value when the section holds the key with a non-empty value, else "".
    std::string GetValue(const std::string& section, const std::string& key) const;
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    // 1 after writing the whole content; -1 when the file cannot be created.
    int WriteINI(const std::string& path) const;
    // Prints the whole content on standard output.
    void Travel() const;

private:
    std::map<std::string, SubNode> m_sections;
};
