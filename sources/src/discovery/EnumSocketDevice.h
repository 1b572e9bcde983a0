#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DeviceInfo.h"
#include "DiscoveryDatagram.h"
#include "Mutex.h"
#include "StoppableThread.h"

// What discovery last heard from one camera, keyed by its serial number.
struct SocKetDevice {
    int32_t tof = 0;
    int32_t rgb = 0;
    char ip[DiscoveryDatagram::kIpWidth + 1] = {};
    int32_t deviceType = 0;
    char sn[DiscoveryDatagram::kSnWidth + 1] = {};
    int32_t camerastate = 0;
    int32_t ifIndex = 0;
    char hostIP[32] = {};  // an IPv4 text, with room to spare
    char alias[DiscoveryDatagram::kAliasWidth + 1] = {};
    bool updated = false;
};

// Listens for the cameras' broadcasts on UDP 9007 and merges what it heard into the
// manager's camera records. Also lists the product profiles and plug-in files beside the kit.
class EnumSocketDevice : public StoppableThread {
public:
    // Spoofed serial numbers must not grow the kit without bound.
    static constexpr size_t kMaxCameras = 256;
    static constexpr uint16_t kDiscoveryPort = 9007;

    using SubnetMatcher = std::function<bool(const char* deviceIP, int ifIndex, const char* hostIP,
                                             std::string& subnetMask, std::string& ifName)>;

    // moduleDir: the folder holding "/Config/" and "/Drivers/"; by default the kit's own.
    explicit EnumSocketDevice(const std::string& moduleDir = std::string());
    ~EnumSocketDevice() override;

    // Asks the thread to end and wakes its receive wait at once.
    void Stop();

    // Merges the entries into the manager's records; called with the manager's list lock held.
    void UpdateDeviceListInfo(std::vector<std::unique_ptr<DeviceInfo>>& list) EXCLUDES(m_lock);

    bool IsProductProfileEmpty() const;
    bool IsValidDeviceType(uint8_t type) const;
    // The last profile, in name order, whose name ends in "%02X.json" of the type; "" if none.
    std::string matchJsonFile(int type) const;
    const std::vector<std::string>& Profiles() const { return m_profiles; }
    const std::vector<uint8_t>& DeviceTypes() const { return m_deviceTypes; }

    // One received datagram, as the receive loop hands it on (tests call it directly).
    void AcceptDatagram(const DiscoveryDatagram& datagram, int ifIndex, const std::string& hostIP) EXCLUDES(m_lock);
    // Replaces the subnet check of the merge (tests); by default GetReceivedIP.
    void SetSubnetMatcher(SubnetMatcher matcher) { m_subnetMatcher = std::move(matcher); }

    // Full paths of the plug-in files in "/Drivers/", in name order; filled by each construction.
    static std::vector<std::string> m_driverlist;

protected:
    void Run() override;

private:
    void InitDeviceTypeVec(const std::vector<std::string>& profiles);
    bool OpenSocket();
    void ReceiveOne();
    // Under the lock, which the entry belongs to.
    void CreateRecord(SocKetDevice& entry, std::vector<std::unique_ptr<DeviceInfo>>& list) REQUIRES(m_lock);
    void FollowEntry(SocKetDevice& entry, DeviceInfo& record) REQUIRES(m_lock);
    void UpdateSubnet(const SocKetDevice& entry, DeviceInfo& record) REQUIRES(m_lock);

    int m_socket = -1;
    int m_wakeFd = -1;  // an event fd written by Stop
    Mutex m_lock;
    // The entries too are the lock's, which the analysis cannot see through the pointers.
    std::vector<std::unique_ptr<SocKetDevice>> m_devices GUARDED_BY(m_lock);
    std::vector<uint8_t> m_deviceTypes;
    std::vector<std::string> m_profiles;
    SubnetMatcher m_subnetMatcher;
    bool m_capLogged GUARDED_BY(m_lock) = false;
};

// The files of a folder, sorted by name, whose names end in the suffix, as full paths.
void getFiles(const std::string& folder, std::vector<std::string>& list, const std::string& suffix);
