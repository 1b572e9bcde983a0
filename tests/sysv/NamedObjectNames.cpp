#include "NamedObjectNames.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void RemoveKeyFileAndSet(const std::string& keyFile) {
    const key_t key = ftok(keyFile.c_str(), 1);
    if (key != -1) {
        const int semId = semget(key, 0, 0);
        if (semId >= 0) {
            semctl(semId, 0, IPC_RMID);
        }
    }
    unlink(keyFile.c_str());
}

}  // namespace

NamedObjectNames::~NamedObjectNames() {
    for (const std::string& name : mNames) {
        RemoveKeyFileAndSet(MutexKeyFile(name));
        RemoveKeyFileAndSet(EventKeyFile(name));
    }
}

std::string NamedObjectNames::New(const std::string& what) {
    std::string name = "kit-test-" + std::to_string(getpid()) + "-" + std::to_string(mNames.size()) + "-" + what;
    mNames.push_back(name);
    return name;
}

std::string NamedObjectNames::MutexKeyFile(const std::string& name) { return "/tmp/XnCore.Mutex." + name + ".key"; }

std::string NamedObjectNames::EventKeyFile(const std::string& name) { return "/tmp/XnCore.Event." + name + ".key"; }

int NamedObjectNames::SetOf(const std::string& keyFile, int semCount) {
    const key_t key = ftok(keyFile.c_str(), 1);
    return key == -1 ? -1 : semget(key, semCount, 0);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}
