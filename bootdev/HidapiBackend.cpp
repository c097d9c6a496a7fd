// SPDX-License-Identifier: BSD-3-Clause
// hidapi (hidraw) transport. The report descriptor is read from the hidraw
// node itself, since this hidapi offers no call for it.
#include "bootdev/HidapiBackend.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <optional>

#include "bootdev/ReportDescriptor.h"

namespace {

// The feature report length of a hidraw node (0 when its descriptor cannot
// be read or declares no feature report); nothing when the path is not a
// hidraw node at all.
std::optional<std::size_t> FeatureLengthOfNode(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::size_t> length;
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0) {
        length = 0;
        if (size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
            hidraw_report_descriptor descriptor{};
            descriptor.size = static_cast<__u32>(size);
            if (::ioctl(fd, HIDIOCGRDESC, &descriptor) == 0)
                length = FeatureReportByteLength(descriptor.value, descriptor.size);
        }
    }
    ::close(fd);
    return length;
}

// The sysfs folder above a hidraw node's HID device: for a USB reader its
// interface on its port (".../1-2/1-2:1.0"), which stays the same when the
// reader restarts and comes back under a new node and product id.
std::string LocationOfNode(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.rfind("hidraw", 0) != 0 || name.find("..") != std::string::npos) return {};
    char resolved[PATH_MAX];
    if (::realpath(("/sys/class/hidraw/" + name + "/device").c_str(), resolved) == nullptr) return {};
    std::string device(resolved);
    const std::string::size_type parent = device.rfind('/');
    return parent == std::string::npos || parent == 0 ? std::string{} : device.substr(0, parent);
}

class HidapiConnection final : public HidConnection {
public:
    HidapiConnection(hid_device* device, std::size_t featureLength)
        : m_device(device), m_featureLength(featureLength) {}
    ~HidapiConnection() override { hid_close(m_device); }

    std::size_t FeatureReportLength() const override { return m_featureLength; }

    bool WriteFeature(const std::uint8_t* data, std::size_t length) override {
        const int written = hid_send_feature_report(m_device, data, length);
        return written >= 0 && static_cast<std::size_t>(written) == length;
    }
    std::ptrdiff_t ReadFeature(std::uint8_t* data, std::size_t length) override {
        return hid_get_feature_report(m_device, data, length);
    }

private:
    hid_device* m_device;
    std::size_t m_featureLength;
};

std::atomic<int> g_backends{0};

class HidapiBackend final : public HidBackend {
public:
    HidapiBackend() {
        if (g_backends++ == 0) hid_init();
    }
    ~HidapiBackend() override {
        if (--g_backends == 0) hid_exit();
    }

    std::vector<HidInterfaceInfo> Enumerate() override {
        std::vector<HidInterfaceInfo> found;
        hid_device_info* list = hid_enumerate(0, 0);
        for (const hid_device_info* info = list; info != nullptr; info = info->next) {
            if (info->path == nullptr) continue;
            found.push_back({info->path, info->vendor_id, info->product_id, LocationOfNode(info->path)});
        }
        hid_free_enumeration(list);
        return found;
    }

    std::unique_ptr<HidConnection> Open(const std::string& path) override {
        // hid_open_path crashes on a node that is not a hidraw device, so
        // only hidraw nodes are handed to it.
        const std::optional<std::size_t> featureLength = FeatureLengthOfNode(path);
        if (!featureLength) return nullptr;
        hid_device* device = hid_open_path(path.c_str());
        if (device == nullptr) return nullptr;
        return std::make_unique<HidapiConnection>(device, *featureLength);
    }
};

}  // namespace

std::unique_ptr<HidBackend> MakeHidapiBackend() { return std::make_unique<HidapiBackend>(); }
