#include "FuzzCheck.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace fuzzcheck {
namespace {

std::vector<std::string>& RunFolders() {
    static std::vector<std::string> folders;
    return folders;
}

void RemoveRunFolders() {
    for (const auto& folder : RunFolders()) {
        nftw(
            folder.c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
}

}  // namespace

std::string MakeRunFolder(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fuzz-" + name + ".XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot create the run folder", pattern);
    if (RunFolders().empty()) std::atexit(RemoveRunFolders);
    RunFolders().push_back(pattern);
    return pattern;
}

sockaddr_in Address(const char* ip, unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, ip, &address.sin_addr) != 1) Fail("not an address:", ip);
    return address;
}

void* LoadSymbol(const char* path, const char* symbol) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) Fail("cannot load", dlerror());
    void* address = dlsym(library, symbol);
    if (address == nullptr) Fail("no such symbol:", std::string(symbol) + " in " + path);
    return address;
}

void WriteBytes(const std::string& path, const void* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) Fail("cannot write", path);
    if (size > 0 && std::fwrite(data, 1, size, file) != size) Fail("short write", path);
    std::fclose(file);
}

}  // namespace fuzzcheck
