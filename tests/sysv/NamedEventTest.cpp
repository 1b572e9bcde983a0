#include <dirent.h>
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "NamedObjectNames.h"
#include "XnLinuxSysVNamedEvent.h"
#include "XnOS.h"

namespace {

constexpr int kChildMs = 10000;

// Commands a peer process runs on its own handle of an event; it answers each with the
// status.
enum Command : int32_t { kSet = 1, kReset = 2, kWait0 = 3, kQuit = 4 };

XnStatus RunCommand(XN_EVENT_HANDLE event, int32_t command) {
    switch (command) {
        case kSet: return xnOSSetEvent(event);
        case kReset: return xnOSResetEvent(event);
        case kWait0: return xnOSWaitEvent(event, 0);
        default: return XN_STATUS_ERROR;
    }
}

enum class Join { kCreateAuto, kCreateManual, kOpen };

XnStatus JoinEvent(XN_EVENT_HANDLE* event, const std::string& name, Join how) {
    switch (how) {
        case Join::kCreateAuto: return xnOSCreateNamedEvent(event, name.c_str(), FALSE);
        case Join::kCreateManual: return xnOSCreateNamedEvent(event, name.c_str(), TRUE);
        case Join::kOpen: return xnOSOpenNamedEvent(event, name.c_str());
    }
    return XN_STATUS_ERROR;
}

// A forked process holding its own handle of the event, driven command by command.
class EventPeer {
public:
    EventPeer(const std::string& name, Join how)
        : mChild([name, how](const Channel& link) {
              XN_EVENT_HANDLE event = nullptr;
              const XnStatus joined = JoinEvent(&event, name, how);
              link.Send(static_cast<int32_t>(joined));
              if (joined != XN_STATUS_OK) return 1;
              int32_t command = 0;
              while (link.Receive(&command, kChildMs) && command != kQuit) {
                  link.Send(static_cast<int32_t>(RunCommand(event, command)));
              }
              return xnOSCloseEvent(&event) == XN_STATUS_OK ? 0 : 2;
          }) {
        int32_t joined = -1;
        mJoined = mChild.Link().Receive(&joined, kChildMs) ? static_cast<XnStatus>(joined) : XN_STATUS_ERROR;
    }

    XnStatus Joined() const { return mJoined; }

    XnStatus Do(int32_t command) {
        int32_t status = -1;
        if (!mChild.Link().Send(command) || !mChild.Link().Receive(&status, kChildMs)) return XN_STATUS_ERROR;
        return static_cast<XnStatus>(status);
    }

    int Quit() {
        mChild.Link().Send(kQuit);
        return mChild.Wait(kChildMs);
    }

    ChildProcess& Process() { return mChild; }

private:
    ChildProcess mChild;
    XnStatus mJoined = XN_STATUS_ERROR;
};

struct Step {
    bool byPeer;
    int32_t command;
    XnStatus expected;
};

struct EventCase {
    const char* what;
    bool creatorManual;
    Join peerJoins;
    std::vector<Step> steps;
};

constexpr XnStatus OK = XN_STATUS_OK;
constexpr XnStatus TIMEOUT = XN_STATUS_OS_EVENT_TIMEOUT;
constexpr bool PEER = true;
constexpr bool SELF = false;

const EventCase kCases[] = {
    {"auto-reset: two sets give one wait",
     false,
     Join::kOpen,
     {{SELF, kSet, OK}, {SELF, kSet, OK}, {PEER, kWait0, OK}, {PEER, kWait0, TIMEOUT}, {SELF, kWait0, TIMEOUT}}},
    {"auto-reset: the peer's signal is consumed here",
     false,
     Join::kCreateAuto,
     {{PEER, kSet, OK}, {SELF, kWait0, OK}, {SELF, kWait0, TIMEOUT}, {PEER, kWait0, TIMEOUT}}},
    {"manual-reset stays signalled until reset",
     true,
     Join::kOpen,
     {{SELF, kSet, OK},
      {PEER, kWait0, OK},
      {PEER, kWait0, OK},
      {SELF, kWait0, OK},
      {PEER, kWait0, OK},
      {PEER, kReset, OK},
      {SELF, kWait0, TIMEOUT},
      {PEER, kWait0, TIMEOUT}}},
    {"reset of a clear event changes nothing",
     false,
     Join::kOpen,
     {{SELF, kReset, OK}, {PEER, kReset, OK}, {PEER, kSet, OK}, {SELF, kWait0, OK}}},
    {"an auto-reset joiner follows a manual-reset creator",
     true,
     Join::kCreateAuto,
     {{SELF, kSet, OK}, {PEER, kWait0, OK}, {PEER, kWait0, OK}, {SELF, kReset, OK}, {PEER, kWait0, TIMEOUT}}},
    {"a manual-reset joiner follows an auto-reset creator",
     false,
     Join::kCreateManual,
     {{PEER, kSet, OK}, {PEER, kWait0, OK}, {PEER, kWait0, TIMEOUT}}},
};

TEST(SysVNamedEvent, SignalsAcrossProcesses) {
    for (const EventCase& c : kCases) {
        SCOPED_TRACE(c.what);
        NamedObjectNames names;
        const std::string name = names.New("table");
        XN_EVENT_HANDLE event = nullptr;
        ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), c.creatorManual), OK);
        EventPeer peer(name, c.peerJoins);
        ASSERT_EQ(peer.Joined(), OK);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i));
            const Step& s = c.steps[i];
            EXPECT_EQ(s.byPeer ? peer.Do(s.command) : RunCommand(event, s.command), s.expected);
        }
        EXPECT_EQ(peer.Quit(), 0);
        EXPECT_EQ(xnOSCloseEvent(&event), OK);
        EXPECT_EQ(event, nullptr);
    }
}

TEST(SysVNamedEvent, ABlockedWaiterWakesOnAnotherProcessesSet) {
    NamedObjectNames names;
    const std::string name = names.New("wake");
    XN_EVENT_HANDLE event = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), FALSE), OK);
    ChildProcess waiter([&](const Channel& link) {
        XN_EVENT_HANDLE own = nullptr;
        if (xnOSOpenNamedEvent(&own, name.c_str()) != OK) return 1;
        link.Send(1);
        const XnStatus waited = xnOSWaitEvent(own, XN_WAIT_INFINITE);
        xnOSCloseEvent(&own);
        return waited == OK ? 0 : 2;
    });
    int32_t ready = 0;
    ASSERT_TRUE(waiter.Link().Receive(&ready, kChildMs));
    usleep(50 * 1000);
    EXPECT_EQ(xnOSSetEvent(event), OK);
    EXPECT_EQ(waiter.Wait(kChildMs), 0);
    // The waiter consumed the signal.
    EXPECT_EQ(xnOSWaitEvent(event, 0), TIMEOUT);
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
}

// A signal belongs to the event, not to its setter: neither the setter's end nor the
// number of signals it gave may take it back.
TEST(SysVNamedEvent, ASignalOutlivesItsSetter) {
    NamedObjectNames names;
    const std::string name = names.New("outlive");
    XN_EVENT_HANDLE event = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), FALSE), OK);
    EventPeer setter(name, Join::kOpen);
    ASSERT_EQ(setter.Joined(), OK);
    EXPECT_EQ(setter.Do(kSet), OK);
    EXPECT_EQ(setter.Quit(), 0);
    EXPECT_EQ(xnOSWaitEvent(event, 0), OK);

    EventPeer killed(name, Join::kOpen);
    ASSERT_EQ(killed.Joined(), OK);
    EXPECT_EQ(killed.Do(kSet), OK);
    killed.Process().Kill();
    EXPECT_EQ(killed.Process().Wait(kChildMs), -1);
    EXPECT_EQ(xnOSWaitEvent(event, 0), OK);
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
}

TEST(SysVNamedEvent, FortyThousandSetWaitPairsAcrossProcesses) {
    NamedObjectNames names;
    const std::string pingName = names.New("ping");
    const std::string pongName = names.New("pong");
    XN_EVENT_HANDLE ping = nullptr;
    XN_EVENT_HANDLE pong = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&ping, pingName.c_str(), FALSE), OK);
    ASSERT_EQ(xnOSCreateNamedEvent(&pong, pongName.c_str(), FALSE), OK);
    constexpr int kPairs = 40000;
    ChildProcess echo([&](const Channel&) {
        XN_EVENT_HANDLE in = nullptr;
        XN_EVENT_HANDLE out = nullptr;
        if (xnOSOpenNamedEvent(&in, pingName.c_str()) != OK || xnOSOpenNamedEvent(&out, pongName.c_str()) != OK) {
            return 1;
        }
        for (int i = 0; i < kPairs; ++i) {
            if (xnOSWaitEvent(in, 5000) != OK) return 2;
            if (xnOSSetEvent(out) != OK) return 3;
        }
        return 0;
    });
    int done = 0;
    for (; done < kPairs; ++done) {
        if (xnOSSetEvent(ping) != OK || xnOSWaitEvent(pong, 5000) != OK) break;
    }
    EXPECT_EQ(done, kPairs);
    EXPECT_EQ(echo.Wait(kChildMs), 0);
    EXPECT_EQ(xnOSCloseEvent(&ping), OK);
    EXPECT_EQ(xnOSCloseEvent(&pong), OK);
}

TEST(SysVNamedEvent, TheLastCloseRemovesTheSetAndKeyFile) {
    NamedObjectNames names;
    const std::string name = names.New("close");
    const std::string keyFile = NamedObjectNames::EventKeyFile(name);
    XN_EVENT_HANDLE event = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), FALSE), OK);
    const int semId = NamedObjectNames::SetOf(keyFile, 3);
    ASSERT_GE(semId, 0);
    {
        EventPeer peer(name, Join::kCreateAuto);
        ASSERT_EQ(peer.Joined(), OK);
        EXPECT_EQ(semctl(semId, 0, GETVAL), 2);
        EXPECT_EQ(peer.Quit(), 0);
    }
    EXPECT_EQ(semctl(semId, 0, GETVAL), 1);
    EXPECT_TRUE(FileExists(keyFile));
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
    EXPECT_EQ(semctl(semId, 0, GETVAL), -1);
    EXPECT_FALSE(FileExists(keyFile));
}

// A handle whose process was killed leaves no registration: the survivor's close is last.
TEST(SysVNamedEvent, AKilledHandleHolderLeavesNoRegistration) {
    NamedObjectNames names;
    const std::string name = names.New("killedholder");
    const std::string keyFile = NamedObjectNames::EventKeyFile(name);
    XN_EVENT_HANDLE event = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), FALSE), OK);
    EventPeer peer(name, Join::kOpen);
    ASSERT_EQ(peer.Joined(), OK);
    peer.Process().Kill();
    EXPECT_EQ(peer.Process().Wait(kChildMs), -1);
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
    EXPECT_FALSE(FileExists(keyFile));
}

// A set that nobody has open any more is reset by the next creator: no stale signal, and
// the new creator's reset mode.
TEST(SysVNamedEvent, ANewCreatorResetsAnAbandonedSet) {
    NamedObjectNames names;
    const std::string name = names.New("abandoned");
    {
        EventPeer first(name, Join::kCreateManual);
        ASSERT_EQ(first.Joined(), OK);
        EXPECT_EQ(first.Do(kSet), OK);
        first.Process().Kill();
        EXPECT_EQ(first.Process().Wait(kChildMs), -1);
    }
    const std::string keyFile = NamedObjectNames::EventKeyFile(name);
    ASSERT_TRUE(FileExists(keyFile));
    // Nobody has it open, so it cannot be joined.
    XN_EVENT_HANDLE opened = nullptr;
    EXPECT_EQ(xnOSOpenNamedEvent(&opened, name.c_str()), XN_STATUS_OS_EVENT_OPEN_FAILED);
    EXPECT_EQ(opened, nullptr);

    XN_EVENT_HANDLE event = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), FALSE), OK);
    EXPECT_EQ(xnOSWaitEvent(event, 0), TIMEOUT);
    EXPECT_EQ(xnOSSetEvent(event), OK);
    EXPECT_EQ(xnOSWaitEvent(event, 0), OK);
    EXPECT_EQ(xnOSWaitEvent(event, 0), TIMEOUT);
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
}

TEST(SysVNamedEvent, OpenNeedsAnEventThatSomebodyHasOpen) {
    NamedObjectNames names;
    const std::string noKeyFile = names.New("nokey");
    const std::string noSet = names.New("noset");
    int fd = open(NamedObjectNames::EventKeyFile(noSet).c_str(), O_CREAT | O_RDONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    for (const std::string& name : {noKeyFile, noSet}) {
        SCOPED_TRACE(name);
        XN_EVENT_HANDLE event = nullptr;
        EXPECT_EQ(xnOSOpenNamedEvent(&event, name.c_str()), XN_STATUS_OS_EVENT_OPEN_FAILED);
        EXPECT_EQ(event, nullptr);
    }
}

TEST(SysVNamedEvent, CreationRefusesNamesItCannotUse) {
    NamedObjectNames names;
    const std::string base = names.New("refused");
    const size_t fixedLength = NamedObjectNames::EventKeyFile("").size();
    const std::string fits = base + std::string(255 - fixedLength - base.size(), 'x');
    const std::string tooLong = fits + "x";
    names.Adopt(fits);
    names.Adopt(tooLong);

    XN_EVENT_HANDLE event = nullptr;
    EXPECT_EQ(xnOSCreateNamedEvent(&event, nullptr, FALSE), XN_STATUS_NULL_INPUT_PTR);
    // The name stands as it is: a '/' points into a folder that does not exist.
    EXPECT_EQ(xnOSCreateNamedEvent(&event, (base + "/sub").c_str(), FALSE), XN_STATUS_OS_EVENT_CREATION_FAILED);
    // Cut to 255 characters it would name another event's key file.
    EXPECT_EQ(xnOSCreateNamedEvent(&event, tooLong.c_str(), FALSE), XN_STATUS_OS_EVENT_CREATION_FAILED);
    EXPECT_FALSE(FileExists(NamedObjectNames::EventKeyFile(tooLong).substr(0, 255)));
    EXPECT_EQ(xnOSOpenNamedEvent(&event, tooLong.c_str()), XN_STATUS_OS_EVENT_OPEN_FAILED);
    EXPECT_EQ(event, nullptr);

    ASSERT_EQ(xnOSCreateNamedEvent(&event, fits.c_str(), FALSE), OK);
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
}

size_t OpenDescriptorCount() {
    size_t count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir != nullptr && readdir(dir) != nullptr) {
        ++count;
    }
    if (dir != nullptr) closedir(dir);
    return count;
}

// Creating, joining and closing leave no key-file descriptor open.
TEST(SysVNamedEvent, ClosingReleasesTheKeyFileDescriptor) {
    NamedObjectNames names;
    const std::string name = names.New("fds");
    const size_t before = OpenDescriptorCount();
    for (int i = 0; i < 3; ++i) {
        XN_EVENT_HANDLE created = nullptr;
        XN_EVENT_HANDLE joined = nullptr;
        XN_EVENT_HANDLE opened = nullptr;
        ASSERT_EQ(xnOSCreateNamedEvent(&created, name.c_str(), FALSE), OK);
        ASSERT_EQ(xnOSCreateNamedEvent(&joined, name.c_str(), FALSE), OK);
        ASSERT_EQ(xnOSOpenNamedEvent(&opened, name.c_str()), OK);
        EXPECT_EQ(xnOSCloseEvent(&opened), OK);
        EXPECT_EQ(xnOSCloseEvent(&joined), OK);
        EXPECT_EQ(xnOSCloseEvent(&created), OK);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

// The class on its own, as the named variant of the layer's event: Init creates or opens
// after the stored flag.
TEST(SysVNamedEvent, InitCreatesOrOpensAfterTheCreateFlag) {
    NamedObjectNames names;
    const std::string name = names.New("init");
    XnLinuxSysVNamedEvent opener(FALSE, name.c_str(), FALSE);
    EXPECT_EQ(opener.Init(), XN_STATUS_OS_EVENT_OPEN_FAILED);

    XnLinuxSysVNamedEvent creator(TRUE, name.c_str(), TRUE);
    ASSERT_EQ(creator.Init(), OK);
    XnLinuxSysVNamedEvent joiner(FALSE, name.c_str(), FALSE);
    ASSERT_EQ(joiner.Init(), OK);
    EXPECT_EQ(creator.Set(), OK);
    EXPECT_EQ(joiner.Wait(0), OK);
    EXPECT_EQ(joiner.Wait(100), OK);  // manual reset, taken from the creator
    EXPECT_EQ(joiner.Destroy(), OK);
    EXPECT_EQ(creator.Destroy(), OK);
    EXPECT_FALSE(FileExists(NamedObjectNames::EventKeyFile(name)));
}

// A set removed behind the handles' back: Set, Reset and Wait report their failure.
TEST(SysVNamedEvent, ReportsFailuresOfARemovedSet) {
    NamedObjectNames names;
    const std::string name = names.New("gone");
    XN_EVENT_HANDLE event = nullptr;
    ASSERT_EQ(xnOSCreateNamedEvent(&event, name.c_str(), FALSE), OK);
    ASSERT_EQ(semctl(NamedObjectNames::SetOf(NamedObjectNames::EventKeyFile(name), 3), 0, IPC_RMID), 0);
    EXPECT_EQ(xnOSSetEvent(event), XN_STATUS_OS_EVENT_SET_FAILED);
    EXPECT_EQ(xnOSResetEvent(event), XN_STATUS_OS_EVENT_RESET_FAILED);
    EXPECT_EQ(xnOSWaitEvent(event, 0), XN_STATUS_OS_EVENT_WAIT_FAILED);
    EXPECT_EQ(xnOSWaitEvent(event, XN_WAIT_INFINITE), XN_STATUS_OS_EVENT_WAIT_FAILED);
    EXPECT_EQ(xnOSCloseEvent(&event), OK);
}

}  // namespace
