// SPDX-License-Identifier: BSD-3-Clause
// firmloader-demo: the loader's window over a simulated reader, for trying
// the loader without hardware. The reader starts in its application
// firmware, so a download shows the whole road: start, reset, the reader's
// return in its boot loader, the blocks, end download. A sample image is
// written to the temporary directory and named on standard error.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <thread>

#include "bootdev/BootIds.h"
#include "bootdev/sim/SimBootLoader.h"
#include "firmloader/LoaderDialog.h"
#include "firmloader/SimDeviceWatch.h"

namespace {

// The simulated reader answers at once; a real one takes a few milliseconds
// per report. Pace it so the block counter can be watched.
class PacedBackend final : public HidBackend {
public:
    explicit PacedBackend(HidBackend& inner) : m_inner(inner) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return m_inner.Enumerate(); }
    std::unique_ptr<HidConnection> Open(const std::string& path) override
    {
        std::unique_ptr<HidConnection> inner = m_inner.Open(path);
        return inner ? std::make_unique<Connection>(std::move(inner)) : nullptr;
    }

private:
    class Connection final : public HidConnection {
    public:
        explicit Connection(std::unique_ptr<HidConnection> inner) : m_inner(std::move(inner)) {}
        std::size_t FeatureReportLength() const override { return m_inner->FeatureReportLength(); }
        bool WriteFeature(const std::uint8_t* data, std::size_t length) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            return m_inner->WriteFeature(data, length);
        }
        std::ptrdiff_t ReadFeature(std::uint8_t* data, std::size_t length) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            return m_inner->ReadFeature(data, length);
        }

    private:
        std::unique_ptr<HidConnection> m_inner;
    };
    HidBackend& m_inner;
};

QString WriteSampleImage()
{
    const QString folder = QDir::temp().filePath(QStringLiteral("firmloader-demo"));
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("demo-firmware.bin"));
    QByteArray image(64 * 1024 + 100, '\0');
    std::uint32_t x = 0x2545F491u;
    for (char& byte : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<char>(x);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return QString();
    return path;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);

    SimHidBus bus;
    SimBootLoaderConfig config;
    config.vendorId = kBootVendorId;
    config.productIds = kBootProductIds;
    config.mode = SimMode::Application;
    bus.AddOtherDevice(0x046D, 0xC31C);  // a keyboard, which the loader skips
    bus.AddBootLoader(config);
    PacedBackend paced(bus);

    SimDeviceWatch watch;
    watch.Follow(bus);
    watch.SetDelay(1500);  // the reader takes its time to restart

    const QString sample = WriteSampleImage();
    if (!sample.isEmpty())
        std::fprintf(stderr, "firmloader-demo: a sample image to download: %s\n", qPrintable(sample));

    LoaderDialog dialog(paced, watch);
    dialog.exec();
    return 0;
}
