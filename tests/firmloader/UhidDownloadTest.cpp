// SPDX-License-Identifier: BSD-3-Clause
// The loader's whole road through the kernel: a virtual boot interface made
// through /dev/uhid (the simulated boot loader answering the feature reports
// the kernel hands over), found by the real hidapi backend, followed through
// its reset by the real udev watch. Needs /dev/uhid and a running udev; where
// either is missing the test says so and is skipped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bootdev/BootIds.h"
#include "bootdev/HidapiBackend.h"
#include "bootdev/sim/SimBootLoader.h"
#include "firmloader/LoaderSession.h"
#include "firmloader/UdevDeviceWatch.h"

namespace {

// Vendor page, one feature report of 265 data bytes without a report id:
// 266 bytes with the id byte, a data packet's frame.
const std::uint8_t kDescriptor[] = {
    0x06, 0x00, 0xFF,  // usage page (vendor 0xFF00)
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x15, 0x00,        // logical minimum 0
    0x26, 0xFF, 0x00,  // logical maximum 255
    0x75, 0x08,        // report size 8
    0x96, 0x09, 0x01,  // report count 265
    0x09, 0x01,        // usage 1
    0xB1, 0x02,        // feature (data, variable, absolute)
    0xC0,              // end collection
};

// The simulated reader behind a uhid device. Its thread owns the simulated
// bus; a reset frame makes the device leave and come back under the product
// id of its new mode, as the real reader does.
class UhidReader {
public:
    explicit UhidReader(int fd) : m_fd(fd)
    {
        SimBootLoaderConfig config;
        config.vendorId = kBootVendorId;
        config.productIds = kBootProductIds;
        config.mode = SimMode::Application;
        m_reader = &m_bus.AddBootLoader(config);
        m_connection = m_bus.Open(m_reader->Path());
        m_created = Create();
        m_thread = std::thread([this] { Run(); });
    }
    ~UhidReader()
    {
        m_stop = true;
        m_thread.join();
        Destroy();
        ::close(m_fd);
    }
    bool Created() const { return m_created; }
    // Read after the thread is stopped (the destructor) or while the loader is idle.
    std::vector<std::uint8_t> Firmware() const { return m_reader->Firmware(); }

private:
    bool Send(const uhid_event& event) { return ::write(m_fd, &event, sizeof event) == sizeof event; }

    bool Create()
    {
        uhid_event event{};
        event.type = UHID_CREATE2;
        std::strcpy(reinterpret_cast<char*>(event.u.create2.name), "bench-kit virtual boot interface");
        event.u.create2.rd_size = sizeof kDescriptor;
        event.u.create2.bus = BUS_USB;
        event.u.create2.vendor = m_reader->VendorId();
        event.u.create2.product = m_reader->ProductId();
        std::memcpy(event.u.create2.rd_data, kDescriptor, sizeof kDescriptor);
        return Send(event);
    }
    void Destroy()
    {
        uhid_event event{};
        event.type = UHID_DESTROY;
        Send(event);
    }

    void Run()
    {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            uhid_event event{};
            if (::read(m_fd, &event, sizeof event) <= 0)
                continue;
            uhid_event reply{};
            if (event.type == UHID_SET_REPORT) {
                const int resets = m_reader->ResetCount();
                const std::size_t size = std::min<std::size_t>(event.u.set_report.size, UHID_DATA_MAX);
                const bool taken = m_connection && m_connection->WriteFeature(event.u.set_report.data, size);
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = event.u.set_report.id;
                reply.u.set_report_reply.err = taken ? 0 : EIO;
                Send(reply);
                if (m_reader->ResetCount() != resets) {
                    // Off the bus and back in its other mode.
                    Destroy();
                    m_connection = m_bus.Open(m_reader->Path());
                    Create();
                }
            } else if (event.type == UHID_GET_REPORT) {
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                const std::ptrdiff_t got =
                    m_connection ? m_connection->ReadFeature(reply.u.get_report_reply.data, 266) : -1;
                reply.u.get_report_reply.err = got < 0 ? EIO : 0;
                reply.u.get_report_reply.size = static_cast<std::uint16_t>(got < 0 ? 0 : got);
                Send(reply);
            }
        }
    }

    int m_fd;
    SimHidBus m_bus;
    SimBootLoader* m_reader = nullptr;
    std::unique_ptr<HidConnection> m_connection;
    bool m_created = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(UhidDownload, ThroughHidrawAndUdevAcrossTheReset)
{
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no usable /dev/uhid on this machine: the download through the kernel's HID layer is not run";
    if (::access("/run/udev/control", F_OK) != 0) {
        ::close(fd);
        GTEST_SKIP() << "udev is not running: the reader's return after its reset would never be heard";
    }

    std::vector<std::string> log;
    std::vector<std::string> boxes;
    std::unique_ptr<HidBackend> backend = MakeHidapiBackend();
    UdevDeviceWatch watch;
    LoaderSession::Output output;
    output.log = [&](const std::string& line) { log.push_back(line); };
    output.messageBox = [&](const std::string& text) { boxes.push_back(text); };
    LoaderSession session(*backend, watch, output);
    watch.SetArrivalHandler([&](const std::string& path) { session.OnArrival(path); });
    watch.SetRemovalCompleteHandler([&](const std::string& path) { session.OnRemovalComplete(path); });

    std::vector<std::uint8_t> image(256 * 9 + 17);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + 7);
    const std::string path = testing::TempDir() + "uhid_image_" + std::to_string(::getpid()) + ".bin";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                 static_cast<std::streamsize>(image.size()));
    session.SetImagePath(path);

    std::vector<std::uint8_t> firmware;
    {
        UhidReader reader(fd);
        ASSERT_TRUE(reader.Created());
        ASSERT_TRUE(WaitFor(
            [&] {
                for (const HidInterfaceInfo& info : backend->Enumerate())
                    if (info.vendorId == kBootVendorId && info.productId == kBootProductIds[0])
                        return true;
                return false;
            },
            5000))
            << "the virtual interface never showed up as a hidraw node";

        session.DownloadAction();
        EXPECT_TRUE(WaitFor(
            [&] { return std::count(log.begin(), log.end(), std::string("Reset sent to device")) == 2; }, 20000));
        firmware = reader.Firmware();
    }
    ::unlink(path.c_str());

    const std::vector<std::string> expected = {
        "START DOWNLOAD SUCCESS",     "Version  --> Corvane_Lyra 2.10", "Reset sent to device",
        "Version  --> Corvane_Lyra_Boot 1.03", "...Download in progress...", "DOWNLOAD SUCCESS",
        "Reset sent to device"};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(firmware.size(), 256u * 10);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), firmware.begin()));
}

}  // namespace
