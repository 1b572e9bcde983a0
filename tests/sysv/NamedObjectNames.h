#pragma once
#include <string>
#include <vector>

// Names unique to this process (its pid is in each) whose key files and semaphore sets are
// removed when the object goes, also after a failed test.
class NamedObjectNames {
public:
    NamedObjectNames() = default;
    ~NamedObjectNames();
    NamedObjectNames(const NamedObjectNames&) = delete;
    NamedObjectNames& operator=(const NamedObjectNames&) = delete;

    std::string New(const std::string& what);
    // Keeps a name built elsewhere so that its objects are cleaned up as well.
    void Adopt(const std::string& name) { mNames.push_back(name); }

    static std::string MutexKeyFile(const std::string& name);
    static std::string EventKeyFile(const std::string& name);
    // The set behind a key file, or -1.
    static int SetOf(const std::string& keyFile, int semCount);

private:
    std::vector<std::string> mNames;
};

bool FileExists(const std::string& path);
