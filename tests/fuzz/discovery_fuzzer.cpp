// Datagrams as cameras broadcast them, each handed to discovery and merged into the camera
// records as the manager's passes do.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DiscoveryDatagram.h"
#include "EnumSocketDevice.h"
#include "FuzzCheck.h"

namespace {

using fuzzcheck::Check;
using fuzzcheck::CheckTerminated;

std::string g_moduleDir;

void WriteProfile(const std::string& name, const std::string& productName) {
    const std::string text =
        R"({"productName":")" + productName + R"(","connectType":"socket","toFSensor":[{"type":"halden_tof"}]})";
    fuzzcheck::WriteBytes(g_moduleDir + "/Config/" + name, text.data(), text.size());
}

void CheckDatagram(const DiscoveryDatagram& d, const uint8_t* data, size_t size) {
    CheckTerminated(d.ip, "datagram ip");
    CheckTerminated(d.sn, "datagram sn");
    CheckTerminated(d.peerip, "datagram peerip");
    CheckTerminated(d.alias, "datagram alias");
    uint8_t bytes[DiscoveryDatagram::kSize] = {};
    std::copy_n(data, std::min(size, sizeof(bytes)), bytes);
    const auto* sn = reinterpret_cast<const char*>(bytes + 22);
    Check(std::string(sn, strnlen(sn, DiscoveryDatagram::kSnWidth)) == d.sn, "sn differs from the datagram's");
}

void CheckRecords(const EnumSocketDevice& discovery, const std::vector<std::unique_ptr<DeviceInfo>>& records) {
    Check(records.size() <= EnumSocketDevice::kMaxCameras, "more records than cameras kept");
    for (const auto& r : records) {
        CheckTerminated(r->productName, "productName");
        CheckTerminated(r->uri, "uri");
        CheckTerminated(r->alias, "alias");
        CheckTerminated(r->serialNumber, "serialNumber");
        CheckTerminated(r->ip, "ip");
        CheckTerminated(r->hostIP, "hostIP");
        CheckTerminated(r->subnetMask, "subnetMask");
        CheckTerminated(r->ifName, "ifName");
        Check(std::strlen(r->serialNumber) <= DiscoveryDatagram::kSnWidth, "serial number longer than its field");
        Check(r->status >= QlDeviceRemoving && r->status <= QlDeviceCameraState4, "status out of range");
        Check(r->pendingEvent >= -1 && r->pendingEvent <= 1, "pending event out of range");
        Check(r->deviceType != 0x0B && discovery.IsValidDeviceType(static_cast<uint8_t>(r->deviceType)),
              "record of an unsupported device type");
        // The record's fields are cut to their widths; the uri is made of the profile's name.
        const std::string& product = r->config.GetProductName();
        Check(product.compare(0, sizeof(r->productName) - 1, r->productName) == 0, "product name is not the profile's");
        const std::string uri = product + ":" + r->serialNumber;
        Check(uri.compare(0, sizeof(r->uri) - 1, r->uri) == 0, "uri is not product name and serial number");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_moduleDir = fuzzcheck::MakeRunFolder("discovery");
    mkdir((g_moduleDir + "/Config").c_str(), 0755);
    mkdir((g_moduleDir + "/Drivers").c_str(), 0755);
    WriteProfile("Alpha_11.json", "Alpha");
    WriteProfile("Gamma_1A.json", "Gamma");
    // A product name that fills the record's field and more.
    WriteProfile("Long_0E.json", std::string(80, 'P'));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    EnumSocketDevice discovery(g_moduleDir);
    bool sameSubnet = true;
    discovery.SetSubnetMatcher([&](const char*, int, const char*, std::string& mask, std::string& name) {
        mask = "255.0.0.0";
        name = "lo";
        return sameSubnet;
    });
    std::vector<std::unique_ptr<DeviceInfo>> records;
    static const char* const kHosts[] = {"127.0.0.1", "", "10.1.2.3", "255.255.255.255.255.255.255.255"};
    // Each step: a byte, then for a datagram its length byte and bytes. Enough steps for a few
    // cameras to come, change and go; a longer input only repeats that.
    for (int steps = 0; in.Remaining() > 0 && steps < 64; ++steps) {
        const uint8_t step = in.Byte();
        if (step & 0x80) {
            // One pass of the manager's loop.
            sameSubnet = (step & 1) != 0;
            discovery.UpdateDeviceListInfo(records);
            CheckRecords(discovery, records);
            continue;
        }
        const std::vector<uint8_t> bytes = in.Bytes(in.Byte());
        const DiscoveryDatagram d = ParseDiscoveryDatagram(bytes.empty() ? nullptr : bytes.data(), bytes.size());
        CheckDatagram(d, bytes.data(), bytes.size());
        discovery.AcceptDatagram(d, step & 0x0F, kHosts[(step >> 4) & 3]);
    }
    discovery.UpdateDeviceListInfo(records);
    CheckRecords(discovery, records);
    return 0;
}
