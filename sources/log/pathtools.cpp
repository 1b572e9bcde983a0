#include "pathtools.h"

#include <dirent.h>
#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "log.h"

namespace {

char SlashOrDefault(char slash) { return slash == 0 ? Path_GetSlash() : slash; }

bool IsAnySlash(char c) { return c == '/' || c == '\\'; }

// Removes ".." components one at a time, each with the component before it. Gives false
// when a ".." would climb above the root.
bool RemoveParentComponents(std::string& path, char slash) {
    for (;;) {
        size_t dots = std::string::npos;
        for (size_t i = 1; i + 1 < path.size(); ++i) {
            const bool after = i + 2 == path.size() || path[i + 2] == slash;
            if (path[i - 1] == slash && path[i] == '.' && path[i + 1] == '.' && after) {
                dots = i;
                break;
            }
        }
        if (dots == std::string::npos) {
            return true;
        }
        if (dots == 1) {
            return false;
        }
        const size_t previousSlash = dots >= 2 ? path.rfind(slash, dots - 2) : std::string::npos;
        const size_t first = previousSlash == std::string::npos ? 0 : previousSlash + 1;
        const size_t last = dots + 2;  // the slash after the dots, or the end
        path.erase(first, last < path.size() ? last - first + 1 : std::string::npos);
        if (path.empty()) {
            return true;
        }
    }
}

std::string PasswordEntryHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return std::string();
    }
    return found->pw_dir;
}

std::function<std::string()>& HomeSource() {
    static std::function<std::string()> source;
    return source;
}

}  // namespace

char Path_GetSlash() { return '/'; }

bool Path_IsAbsolute(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    return path.find(':') != std::string::npos || IsAnySlash(path[0]);
}

std::string Path_FixSlashes(const std::string& path, char slash) {
    const char wanted = SlashOrDefault(slash);
    std::string fixed = path;
    for (char& c : fixed) {
        if (IsAnySlash(c)) {
            c = wanted;
        }
    }
    return fixed;
}

std::string Path_StripFilename(const std::string& path, char slash) {
    const size_t last = path.rfind(SlashOrDefault(slash));
    if (last == std::string::npos) {
        return path;
    }
    return path.substr(0, last);
}

std::string Path_Join(const std::string& first, const std::string& second, char slash) {
    std::string joined = first;
    if (!joined.empty() && IsAnySlash(joined.back())) {
        joined.pop_back();
    }
    joined += SlashOrDefault(slash);
    joined += second;
    return joined;
}

std::string Path_Compact(const std::string& path, char slash) {
    const char s = SlashOrDefault(slash);
    std::string compact = Path_FixSlashes(path, s);

    // "/./" becomes "/" where something follows it.
    for (size_t i = 0; i + 3 < compact.size();) {
        if (compact[i] == s && compact[i + 1] == '.' && compact[i + 2] == s) {
            compact.erase(i + 1, 2);
        } else {
            ++i;
        }
    }
    if (compact.size() > 2 && compact[compact.size() - 2] == s && compact.back() == '.') {
        compact.pop_back();
    }
    if (compact.size() > 2 && compact[0] == '.' && compact[1] == s) {
        compact.erase(0, 2);
    }
    if (!RemoveParentComponents(compact, s)) {
        return std::string();
    }
    return compact;
}

std::string Path_MakeAbsolute(const std::string& relative, const std::string& base, char slash) {
    if (Path_IsAbsolute(relative)) {
        return relative;
    }
    if (!Path_IsAbsolute(base)) {
        return std::string();
    }
    std::string compact = Path_Compact(Path_Join(base, relative, slash), slash);
    return Path_IsAbsolute(compact) ? compact : std::string();
}

std::string Path_GetWorkingDirectory() {
    char buffer[1024];
    if (getcwd(buffer, sizeof buffer) == nullptr) {
        return std::string();
    }
    return buffer;
}

bool Path_SetWorkingDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

void dummyFunctionToTakeAddress() {}

std::string Path_GetModuleDir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&dummyFunctionToTakeAddress), &info) == 0 || info.dli_fname == nullptr) {
        const char* reason = dlerror();
        LOG_PRINTF("errcode:%d %s", errno, reason != nullptr ? reason : "");
        return std::string();
    }
    char* cwd = get_current_dir_name();
    const std::string base = cwd != nullptr ? cwd : "";
    free(cwd);
    return Path_StripFilename(Path_MakeAbsolute(info.dli_fname, base));
}

bool IsDirectoryExist(const char* path) {
    if (path == nullptr) {
        return false;
    }
    DIR* dir = opendir(path);
    if (dir == nullptr) {
        return false;
    }
    closedir(dir);
    return true;
}

bool CreateDirectory_(const char* path) { return path != nullptr && mkdir(path, 0777) == 0; }

std::string GetAppDataDirectory() {
    const std::string home = homefolder::Get();
    // Without a home folder the path would start at the root of the file system.
    if (home.empty()) {
        return std::string();
    }
    const std::string folder = home + "/.config" + "/Quelta";
    if (!IsDirectoryExist(folder.c_str()) && !CreateDirectory_(folder.c_str())) {
        LOG_PRINTF("CreateDirectory %s failed errorcode:%d !", folder.c_str(), errno);
        return std::string();
    }
    return folder;
}

std::string GetConfigPath() { return Path_MakeAbsolute("./Config/", GetAppDataDirectory()); }

namespace homefolder {

std::string Get() {
    const std::function<std::string()>& source = HomeSource();
    return source ? source() : PasswordEntryHome();
}

void SetSource(std::function<std::string()> source) { HomeSource() = std::move(source); }

}  // namespace homefolder
