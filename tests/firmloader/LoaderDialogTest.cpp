// SPDX-License-Identifier: BSD-3-Clause
// The loader's window over the simulated boot loader: each scenario clicks
// as a user would and reads back the log list, the message boxes that
// appeared and what the simulated reader received.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bootdev/BootIds.h"
#include "bootdev/sim/SimBootLoader.h"
#include "firmloader/LoaderAbout.h"
#include "firmloader/LoaderDialog.h"
#include "firmloader/LoaderLayout.h"
#include "firmloader/SimDeviceWatch.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kAppVersion = "Corvane_Lyra 2.10";
const std::string kBootVersion = "Corvane_Lyra_Boot 1.03";

std::vector<std::uint8_t> MakeImage(std::size_t size)
{
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

// The reader keeps whole blocks: the image, then the filler of its last block.
bool Received(const SimBootLoader& reader, const std::vector<std::uint8_t>& image)
{
    const auto& firmware = reader.Firmware();
    return firmware.size() == (image.size() + 255) / 256 * 256 &&
           std::equal(image.begin(), image.end(), firmware.begin());
}

// One window over one simulated bus, with a poller that answers whatever
// modal window the loader opens: message boxes are recorded and closed, the
// file dialog is given the file to pick.
class LoaderHarness {
public:
    explicit LoaderHarness(bool watchFollowsBus = true)
    {
        if (watchFollowsBus)
            watch.Follow(bus);
        dialog = std::make_unique<LoaderDialog>(bus, watch);
        dialog->SetExitHandler([this](int code) { exitCodes.push_back(code); });
        dialog->show();
        auto* progress = dialog->findChild<QProgressBar*>(Name(IDC_PROGRESS));
        QObject::connect(progress, &QProgressBar::valueChanged, progress,
                         [this, progress](int value) { progressSeen.emplace_back(value, progress->maximum()); });
        QObject::connect(&poller, &QTimer::timeout, [this] { Poll(); });
        poller.start(2);
    }

    ~LoaderHarness()
    {
        poller.stop();
        dialog.reset();
    }

    SimBootLoader& AddReader(SimMode mode)
    {
        SimBootLoaderConfig config;
        config.vendorId = kBootVendorId;
        config.productIds = kBootProductIds;
        config.mode = mode;
        config.appVersion = kAppVersion;
        config.bootVersion = kBootVersion;
        return bus.AddBootLoader(config);
    }

    // Writes the image and picks it through Browse.
    QString Pick(const std::vector<std::uint8_t>& image)
    {
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
        file.close();
        PickPath(path);
        return path;
    }

    void PickPath(const QString& path)
    {
        fileToPick = path;
        Click(IDC_BROWSE);
        EXPECT_TRUE(fileToPick.isEmpty()) << "the file dialog never opened";
    }

    void Click(int id)
    {
        auto* button = dialog->findChild<QPushButton*>(Name(id));
        ASSERT_NE(button, nullptr);
        button->click();
        Settle();
    }

    // Lets queued device notifications arrive.
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    Lines Log() const
    {
        Lines lines;
        for (const QString& line : dialog->LogLines())
            lines.push_back(line.toStdString());
        return lines;
    }

    static QString Name(int id) { return QStringLiteral("control%1").arg(id); }

    SimHidBus bus;
    SimDeviceWatch watch;
    std::unique_ptr<LoaderDialog> dialog;
    QTemporaryDir dir;
    Lines boxes;
    std::vector<int> exitCodes;
    std::vector<std::pair<int, int>> progressSeen;  // (value, maximum)
    QString fileToPick;
    std::string aboutSeen;

private:
    void Poll()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible() || widget->property("answered").toBool())
                continue;
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                box->setProperty("answered", true);
                boxes.push_back(box->text().toStdString());
                // Whatever the loader hears while the box is open.
                Settle();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* files = qobject_cast<QFileDialog*>(widget); files && !fileToPick.isEmpty()) {
                files->setProperty("answered", true);
                files->selectFile(fileToPick);
                fileToPick.clear();
                static_cast<QDialog*>(files)->accept();
            } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
                menu->setProperty("answered", true);
                for (QAction* action : menu->actions())
                    if (action->text() == QString::fromLatin1(kAboutMenuText.data(), kAboutMenuText.size()))
                        menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
            } else if (auto* about = qobject_cast<LoaderAbout*>(widget)) {
                about->setProperty("answered", true);
                aboutSeen = about->windowTitle().toStdString() + " / " +
                            about->findChild<QLabel*>(QStringLiteral("aboutText"))->text().toStdString();
                about->findChild<QPushButton*>()->click();
            }
        }
    }

    QTimer poller;
};

// ---------------------------------------------------------------------------
// A click on Download, from start download to end download, in the states a
// reader can be found in.

struct DownloadCase {
    const char* name;
    std::optional<SimMode> reader;              // none: no reader on the bus
    std::optional<std::size_t> imageSize;       // none: no file chosen
    std::function<void(SimBootLoader&)> setup;  // faults and checks to arm
    Lines log;
    Lines boxes;
    int endDownloads;  // end download frames the reader took
    bool firmwareLoaded;
};

SimFaultRule DataPacketFault(SimFault kind, int times, int skip)
{
    SimFaultRule rule;
    rule.kind = kind;
    rule.times = times;
    rule.skip = skip;
    rule.header = 0x53;
    rule.command = 0x01;
    return rule;
}

const std::string kVersionApp = "Version  --> " + kAppVersion;
const std::string kVersionBoot = "Version  --> " + kBootVersion;

const DownloadCase kDownloadCases[] = {
    {"NoReader", std::nullopt, 600, nullptr,
     {"Unable to Transmit command : no HID device found.", "Start Download command --> FAIL"}, {}, 0, false},
    // The file is checked before the reader is touched.
    {"NoFileChosen", SimMode::Boot, std::nullopt, nullptr,
     {"ERROR open file to download"}, {"ERROR open file to download"}, 0, false},
    {"ReaderInApplicationResetsAndReturns", SimMode::Application, 600, nullptr,
     {"START DOWNLOAD SUCCESS", kVersionApp, "Reset sent to device", kVersionBoot, "...Download in progress...",
      "DOWNLOAD SUCCESS", "Reset sent to device"},
     {}, 1, true},
    {"ReaderInBootLoader", SimMode::Boot, 512, nullptr,
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"}, {}, 1,
     true},
    {"EmptyImage", SimMode::Boot, 0, nullptr,
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"}, {}, 1,
     true},
    // Pulled out at block 1: the removal is heard while the box is open.
    {"ReaderPulledOutDuringBlocks", SimMode::Boot, 600,
     [](SimBootLoader& r) { r.InjectFault(DataPacketFault(SimFault::Unplug, 1, 1)); },
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "Send Data --> Unable to write to device",
      "Download ERROR --> Device Removed!!!!", "End Download --> ERROR no device detected !!",
      "Unable to Transmit command : no HID device found.", "End Download command --> FAIL",
      "Download fail at Offset: 1", "DOWNLOAD FAIL"},
     {"Download fail at Offset: 1"}, 0, false},
    {"AnswerUnreadableAtBlock2", SimMode::Boot, 600,
     [](SimBootLoader& r) { r.InjectFault(DataPacketFault(SimFault::FailRead, 1, 2)); },
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "Send Data --> Unable to read from device",
      "Download fail at Offset: 2", "DOWNLOAD FAIL"},
     {"Download fail at Offset: 2"}, 0, false},
    {"WrongEchoThreeTimesFailsTheBlock", SimMode::Boot, 600,
     [](SimBootLoader& r) { r.InjectFault(DataPacketFault(SimFault::WrongEcho, 3, 1)); },
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "Download fail at Offset: 1", "DOWNLOAD FAIL"},
     {"Download fail at Offset: 1"}, 0, false},
    {"WrongEchoTwiceIsRecovered", SimMode::Boot, 600,
     [](SimBootLoader& r) { r.InjectFault(DataPacketFault(SimFault::WrongEcho, 2, 1)); },
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"}, {}, 1,
     true},
    {"BlockRefusedThreeTimes", SimMode::Boot, 300,
     [](SimBootLoader& r) {
         SimFaultRule rule = DataPacketFault(SimFault::Status, 3, 0);
         rule.status2 = 0x01;
         r.InjectFault(rule);
     },
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "SEND DATA --> HID ANSWER NOT OK",
      "SEND DATA --> HID ANSWER NOT OK", "SEND DATA --> HID ANSWER NOT OK", "Download fail at Offset: 0",
      "DOWNLOAD FAIL"},
     {"Download fail at Offset: 0"}, 0, false},
    {"EndDownloadBadSignature", SimMode::Boot, 600,
     [](SimBootLoader& r) { r.SetSignatureCheck([](const std::vector<std::uint8_t>&) { return false; }); },
     {"START DOWNLOAD SUCCESS", "...Download in progress...", "DOWNLOAD SUCCESS", "END DOWNLOAD --> FAIL",
      "END DOWNLOAD --> Bad signature"},
     {}, 1, false},
    {"StartRefused", SimMode::Boot, 600,
     [](SimBootLoader& r) {
         SimFaultRule rule;
         rule.kind = SimFault::Status;
         rule.header = 0x53;
         rule.command = 0x00;
         rule.status2 = 0x01;
         r.InjectFault(rule);
     },
     {"Start Download --> ERROR, the device is not ready !"}, {}, 0, false},
};

void PrintTo(const DownloadCase& c, std::ostream* os)
{
    *os << c.name;
}

class DownloadScenario : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(DownloadScenario, LogLinesAndBoxesInOrder)
{
    const DownloadCase& c = GetParam();
    LoaderHarness h;
    SimBootLoader* reader = c.reader ? &h.AddReader(*c.reader) : nullptr;
    if (reader && c.setup)
        c.setup(*reader);
    const std::vector<std::uint8_t> image = MakeImage(c.imageSize.value_or(0));
    if (c.imageSize)
        h.Pick(image);

    h.Click(IDC_DOWNLOAD);

    EXPECT_EQ(h.Log(), c.log);
    EXPECT_EQ(h.boxes, c.boxes);
    EXPECT_TRUE(h.exitCodes.empty());
    if (reader) {
        EXPECT_EQ(reader->EndCount(), c.endDownloads);
        if (c.firmwareLoaded) {
            EXPECT_TRUE(Received(*reader, image));
        }
    }
    // The log list never keeps a selection.
    EXPECT_TRUE(h.dialog->findChild<QListWidget*>(LoaderHarness::Name(IDC_LOG_LIST))->selectedItems().isEmpty());
    // Whatever happened, the block counter is back at rest.
    auto* progress = h.dialog->findChild<QProgressBar*>(LoaderHarness::Name(IDC_PROGRESS));
    EXPECT_FALSE(progress->isTextVisible());
    EXPECT_EQ(progress->value(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loader, DownloadScenario, ::testing::ValuesIn(kDownloadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

// The counter moves only on acknowledged blocks: refused attempts and a
// failed block do not count.
TEST(LoaderDialog, BlockCounterFollowsTheAcknowledgedBlocks)
{
    struct Case {
        std::optional<SimFaultRule> fault;
        std::vector<int> counted;
    };
    const Case cases[] = {
        {std::nullopt, {1, 2, 3}},
        {DataPacketFault(SimFault::WrongEcho, 2, 1), {1, 2, 3}},
        {DataPacketFault(SimFault::WrongEcho, 3, 2), {1, 2}},
    };
    for (const Case& c : cases) {
        LoaderHarness h;
        SimBootLoader& reader = h.AddReader(SimMode::Boot);
        if (c.fault)
            reader.InjectFault(*c.fault);
        h.Pick(MakeImage(3 * 256 - 10));
        h.Click(IDC_DOWNLOAD);

        std::vector<int> ofThree;
        for (auto [value, maximum] : h.progressSeen)
            if (maximum == 3)
                ofThree.push_back(value);
        EXPECT_EQ(ofThree, c.counted);
    }
}

TEST(LoaderDialog, GetVersionInBothModesAndWithoutReader)
{
    struct Case {
        std::optional<SimMode> mode;
        Lines log;
    };
    const Case cases[] = {
        {SimMode::Application, {kVersionApp}},
        {SimMode::Boot, {kVersionBoot}},
        {std::nullopt, {"Unable to Transmit command : no HID device found.", "Get Version command --> FAIL"}},
    };
    for (const Case& c : cases) {
        LoaderHarness h;
        if (c.mode)
            h.AddReader(*c.mode);
        h.Click(IDC_GET_VERSION);
        EXPECT_EQ(h.Log(), c.log);
        EXPECT_TRUE(h.boxes.empty());
    }
}

// The reader's return is matched to the device just found by path, ignoring
// case; other interfaces and a removal outside the blocks change nothing.
TEST(LoaderDialog, ArrivalContinuesTheDownloadOnlyForTheReaderItself)
{
    LoaderHarness h(/*watchFollowsBus=*/false);
    SimBootLoader& reader = h.AddReader(SimMode::Application);
    const auto image = MakeImage(700);
    h.Pick(image);
    h.Click(IDC_DOWNLOAD);
    const Lines started = {"START DOWNLOAD SUCCESS", kVersionApp, "Reset sent to device"};
    ASSERT_EQ(h.Log(), started);

    h.watch.PostRemovalComplete(reader.Path());  // waiting, not sending: ignored
    h.watch.PostArrival("/dev/hidraw-somebody-else");
    LoaderHarness::Settle();
    EXPECT_EQ(h.Log(), started);

    QString upper = QString::fromStdString(reader.Path()).toUpper();
    ASSERT_NE(upper.toStdString(), reader.Path()) << "the path has no letters to change";
    h.watch.PostArrival(upper.toStdString());
    LoaderHarness::Settle();
    Lines expected = started;
    expected.insert(expected.end(),
                    {kVersionBoot, "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"});
    EXPECT_EQ(h.Log(), expected);
    EXPECT_TRUE(Received(reader, image));

    // Done: the reader's arrival in its new firmware is not a reason to send
    // anything again.
    h.watch.PostArrival(reader.Path());
    LoaderHarness::Settle();
    EXPECT_EQ(h.Log(), expected);
    EXPECT_EQ(reader.EndCount(), 1);
}

// While the reset reader is away another device may arrive, even on the
// reader's old node (hidraw nodes are reused). That arrival finds no reader:
// nothing is sent, and the reader's own return is still heard and continues
// the download.
TEST(LoaderDialog, ArrivalWhileTheReaderIsAwayKeepsTheDownloadWaiting)
{
    LoaderHarness h(/*watchFollowsBus=*/false);
    SimBootLoader& reader = h.AddReader(SimMode::Application);
    reader.SetReturnAfterReset(false);
    const auto image = MakeImage(300);
    h.Pick(image);
    const std::string oldNode = reader.Path();
    h.Click(IDC_DOWNLOAD);
    const Lines started = {"START DOWNLOAD SUCCESS", kVersionApp, "Reset sent to device"};
    ASSERT_EQ(h.Log(), started);

    h.watch.PostArrival(oldNode);
    LoaderHarness::Settle();
    EXPECT_EQ(h.Log(), started);
    EXPECT_TRUE(h.boxes.empty());
    EXPECT_EQ(reader.BlocksTaken(), 0u);

    reader.Replug();
    h.watch.PostArrival(reader.Path());
    LoaderHarness::Settle();
    Lines expected = started;
    expected.insert(expected.end(),
                    {kVersionBoot, "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"});
    EXPECT_EQ(h.Log(), expected);
    EXPECT_TRUE(Received(reader, image));
}

// A command that fails while the reset reader is away closes the device and
// so cancels the registration; the download still waits, so the reader's
// return must still be heard and continue it.
TEST(LoaderDialog, FailedCommandWhileTheReaderIsAwayKeepsTheDownloadWaiting)
{
    struct Case {
        const char* name;
        std::vector<int> clicks;
        Lines failures;
    };
    const Case cases[] = {
        {"GetVersion", {IDC_GET_VERSION},
         {"Transmit command --> ERROR Can't write to device", "Get Version command --> FAIL"}},
        {"DownloadAgain", {IDC_DOWNLOAD},
         {"Transmit command --> ERROR Can't write to device", "Start Download command --> FAIL"}},
        {"GetVersionThenDownload", {IDC_GET_VERSION, IDC_DOWNLOAD},
         {"Transmit command --> ERROR Can't write to device", "Get Version command --> FAIL",
          "Unable to Transmit command : no HID device found.", "Start Download command --> FAIL"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderHarness h(/*watchFollowsBus=*/false);
        SimBootLoader& reader = h.AddReader(SimMode::Application);
        reader.SetReturnAfterReset(false);
        const auto image = MakeImage(300);
        h.Pick(image);
        h.Click(IDC_DOWNLOAD);
        for (int id : c.clicks)
            h.Click(id);
        Lines expected = {"START DOWNLOAD SUCCESS", kVersionApp, "Reset sent to device"};
        expected.insert(expected.end(), c.failures.begin(), c.failures.end());
        ASSERT_EQ(h.Log(), expected);

        reader.Replug();
        h.watch.PostArrival(reader.Path());
        LoaderHarness::Settle();
        expected.insert(expected.end(),
                        {kVersionBoot, "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"});
        EXPECT_EQ(h.Log(), expected);
        EXPECT_TRUE(Received(reader, image));
    }
}

TEST(LoaderDialog, FailedCancelOfTheRegistrationShowsABoxOnly)
{
    LoaderHarness h;
    SimBootLoader& reader = h.AddReader(SimMode::Boot);
    h.Click(IDC_GET_VERSION);
    ASSERT_TRUE(h.watch.IsActive());
    h.watch.FailNextStop();
    h.watch.PostArrival(reader.Path());  // closes the device, then finds it again
    LoaderHarness::Settle();
    EXPECT_EQ(h.boxes, (Lines{"Error : unable to unregister the notification"}));
    EXPECT_EQ(h.Log(), (Lines{kVersionBoot}));
    EXPECT_TRUE(h.watch.IsActive());
}

TEST(LoaderDialog, ImageTooLargeToHoldEndsTheProgramWithCodeOne)
{
    LoaderHarness h;
    SimBootLoader& reader = h.AddReader(SimMode::Boot);
    // Sparse: larger than any image a block number can address.
    const QString path = h.dir.filePath(QStringLiteral("huge.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize((qint64{1} << 40) + 1));
    file.close();
    h.PickPath(path);

    h.Click(IDC_DOWNLOAD);

    const std::string text = "Not enough memory Temp Buffer Download\n";
    EXPECT_EQ(h.boxes, (Lines{text}));
    EXPECT_EQ(h.Log(), (Lines{"START DOWNLOAD SUCCESS", text}));
    EXPECT_EQ(h.exitCodes, (std::vector<int>{1}));
    EXPECT_EQ(reader.BlocksTaken(), 0u);
}

TEST(LoaderDialog, WindowAndAboutBoxThroughTheContextMenu)
{
    LoaderHarness h;
    EXPECT_EQ(h.dialog->windowTitle().toStdString(), "Corvane firmloader");
    EXPECT_EQ(h.dialog->findChild<QLineEdit*>(LoaderHarness::Name(IDC_IMAGE_PATH))->isReadOnly(), true);
    EXPECT_TRUE(h.dialog->findChild<QPushButton*>(LoaderHarness::Name(IDC_DOWNLOAD))->isDefault());

    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), h.dialog->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(h.dialog.get(), &event);
    EXPECT_EQ(h.aboutSeen, "About Corvane firmloader / firmloader version 2.10");
}

TEST(LoaderDialog, BrowseShowsThePathAndCancelKeepsIt)
{
    LoaderHarness h;
    auto* pathBox = h.dialog->findChild<QLineEdit*>(LoaderHarness::Name(IDC_IMAGE_PATH));
    const QString path = h.Pick(MakeImage(10));
    EXPECT_EQ(pathBox->text(), path);

    // A dialog closed without a choice leaves the path as it was.
    QTimer::singleShot(50, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* files = qobject_cast<QFileDialog*>(widget); files && files->isVisible())
                files->reject();
    });
    h.Click(IDC_BROWSE);
    EXPECT_EQ(pathBox->text(), path);
}

}  // namespace

// ---------------------------------------------------------------------------
// Faults found from outside: the file checked before the reader is reset,
// the window alive while blocks go out, a reader that never comes back.

namespace {

// Lines of the loader's own, written out here rather than taken from its
// text table.
const std::string kFileError = "ERROR open file to download";
const std::string kNotBack = "Reader not back after reset: check its udev rule and /dev/hidraw permissions";

struct FileCase {
    const char* name;
    // Makes the path to pick (or nothing) once a regular file was picked.
    std::function<void(LoaderHarness&, const QString& picked)> spoil;
    bool pick;
};

class FileFirst : public ::testing::TestWithParam<FileCase> {};

// A reader in its application firmware would be reset into its boot loader
// and left there with nothing to load: no frame may go out.
TEST_P(FileFirst, ReaderUntouchedWhenTheImageCannotBeRead)
{
    LoaderHarness h;
    SimBootLoader& reader = h.AddReader(SimMode::Application);
    if (GetParam().pick) {
        const QString path = h.Pick(MakeImage(300));
        GetParam().spoil(h, path);
    }
    h.Click(IDC_DOWNLOAD);

    EXPECT_EQ(h.Log(), (Lines{kFileError}));
    EXPECT_EQ(h.boxes, (Lines{kFileError}));
    EXPECT_TRUE(reader.Frames().empty());
    EXPECT_EQ(reader.ResetCount(), 0);
    EXPECT_EQ(reader.Mode(), SimMode::Application);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileFirst,
    ::testing::Values(
        FileCase{"NoneChosen", nullptr, false},
        FileCase{"RemovedAfterBrowse", [](LoaderHarness&, const QString& path) { QFile::remove(path); }, true},
        FileCase{"ReplacedByAFifo",
                 [](LoaderHarness&, const QString& path) {
                     QFile::remove(path);
                     ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
                 },
                 true},
        FileCase{"ReplacedByADirectory",
                 [](LoaderHarness&, const QString& path) {
                     QFile::remove(path);
                     ASSERT_TRUE(QDir().mkdir(path));
                 },
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

// Counts what the window's event loop handles while a click runs: ticks of
// a timer, paints of the log list asked for at each tick (the block counter
// paints itself, and the window under it, on every value, so those prove
// nothing), the counter's values at the ticks.
class EventCounter : public QObject {
public:
    explicit EventCounter(QWidget* progress)
        : m_progress(progress),
          m_logView(progress->window()->findChild<QListWidget*>(LoaderHarness::Name(IDC_LOG_LIST))->viewport())
    {
        m_logView->installEventFilter(this);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start();
        m_clock.start();
    }
    std::function<void(int tick)> onTick;
    int ticks = 0;
    int paints = 0;
    qint64 maxGapMs = 0;
    std::vector<int> values;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }

private:
    void Tick()
    {
        maxGapMs = std::max(maxGapMs, m_clock.restart());
        ++ticks;
        values.push_back(static_cast<QProgressBar*>(m_progress)->value());
        m_logView->update();
        if (onTick)
            onTick(ticks);
    }
    QWidget* m_progress;
    QWidget* m_logView;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

QPoint Centre(QWidget* widget)
{
    return widget->rect().center();
}

// 1 MiB at 1 ms a block (4096 blocks, so at least 4 s): a window handling
// its events at least every 100 ms sees 40 ticks of a 10 ms timer or more;
// a window that sends every block inside the click sees none.
TEST(LoaderResponsiveness, WindowHandlesEventsThroughoutAOneMebibyteDownload)
{
    LoaderHarness h;
    SimBootLoader& reader = h.AddReader(SimMode::Boot);
    reader.SetBlockDelay(std::chrono::milliseconds(1));
    reader.KeepFrames(false);
    const auto image = MakeImage(1024 * 1024);
    h.Pick(image);
    auto* progress = h.dialog->findChild<QProgressBar*>(LoaderHarness::Name(IDC_PROGRESS));
    auto* download = h.dialog->findChild<QPushButton*>(LoaderHarness::Name(IDC_DOWNLOAD));
    auto* getVersion = h.dialog->findChild<QPushButton*>(LoaderHarness::Name(IDC_GET_VERSION));

    EventCounter counter(progress);
    bool inProgressShown = false;
    counter.onTick = [&](int tick) {
        inProgressShown = inProgressShown || (h.Log().size() >= 2 && h.Log()[1] == "...Download in progress...");
        // A user clicking about meanwhile: the commands are not taken.
        if (tick == 5)
            QTest::mouseClick(download, Qt::LeftButton, {}, Centre(download));
        if (tick == 6)
            QTest::mouseClick(getVersion, Qt::LeftButton, {}, Centre(getVersion));
    };
    QElapsedTimer clock;
    clock.start();
    h.Click(IDC_DOWNLOAD);
    const qint64 elapsed = clock.elapsed();
    const int ticks = counter.ticks;

    std::printf("responsiveness: %d timer events handled during the 1 MiB download (%lld ms), "
                "max gap between them %lld ms, %d paints of the log list\n",
                ticks, static_cast<long long>(elapsed), static_cast<long long>(counter.maxGapMs), counter.paints);
    ::testing::Test::RecordProperty("events_handled", ticks);
    ::testing::Test::RecordProperty("max_gap_ms", static_cast<int>(counter.maxGapMs));

    EXPECT_GE(ticks, 40);
    EXPECT_GE(counter.paints, 10);
    EXPECT_TRUE(inProgressShown);
    // The counter moved while the blocks went out.
    std::vector<int> moving;
    for (int value : counter.values)
        if (value > 0 && value < 4096 && (moving.empty() || moving.back() != value))
            moving.push_back(value);
    EXPECT_GE(moving.size(), 10u);
    EXPECT_TRUE(std::is_sorted(moving.begin(), moving.end()));

    EXPECT_EQ(h.Log(), (Lines{"START DOWNLOAD SUCCESS", "...Download in progress...", "DOWNLOAD SUCCESS",
                              "Reset sent to device"}));
    EXPECT_EQ(reader.StartCount(), 1) << "Download was pressed again during the blocks";
    EXPECT_EQ(reader.BlocksTaken(), 4096u);
    EXPECT_TRUE(Received(reader, image));
    EXPECT_TRUE(download->isEnabled());
    EXPECT_TRUE(getVersion->isEnabled());
}

// Exit during the blocks: the download stops after the block being sent,
// nothing more goes to the reader, and the window closes.
TEST(LoaderResponsiveness, ExitDuringTheBlocksStopsTheDownload)
{
    LoaderHarness h;
    SimBootLoader& reader = h.AddReader(SimMode::Boot);
    reader.SetBlockDelay(std::chrono::milliseconds(1));
    h.Pick(MakeImage(256 * 1024));
    auto* exitButton = h.dialog->findChild<QPushButton*>(LoaderHarness::Name(IDC_EXIT));
    auto* progress = h.dialog->findChild<QProgressBar*>(LoaderHarness::Name(IDC_PROGRESS));

    EventCounter counter(progress);
    std::size_t blocksAtExit = 0;
    counter.onTick = [&](int) {
        if (blocksAtExit == 0 && progress->value() >= 20) {
            blocksAtExit = reader.BlocksTaken();
            QTest::mouseClick(exitButton, Qt::LeftButton, {}, Centre(exitButton));
        }
    };
    h.Click(IDC_DOWNLOAD);

    ASSERT_GT(blocksAtExit, 0u);
    EXPECT_FALSE(h.dialog->isVisible());
    EXPECT_LE(reader.BlocksTaken(), blocksAtExit + 1);
    EXPECT_EQ(reader.EndCount(), 0);
    EXPECT_EQ(h.Log(), (Lines{"START DOWNLOAD SUCCESS", "...Download in progress..."}));
    EXPECT_TRUE(h.boxes.empty());
}

// Another device arriving while the blocks go out must not close the
// reader's handle under the download; the arrival is handled after it.
TEST(LoaderResponsiveness, ArrivalDuringTheBlocksWaitsForTheirEnd)
{
    LoaderHarness h;
    SimBootLoader& reader = h.AddReader(SimMode::Boot);
    reader.SetBlockDelay(std::chrono::milliseconds(1));
    const auto image = MakeImage(128 * 1024);
    h.Pick(image);
    auto* progress = h.dialog->findChild<QProgressBar*>(LoaderHarness::Name(IDC_PROGRESS));
    EventCounter counter(progress);
    counter.onTick = [&](int tick) {
        if (tick == 3) {
            h.watch.PostArrival("/dev/hidraw-a-keyboard");
            h.watch.PostRemovalComplete("/dev/hidraw-a-mouse");
        }
    };
    h.Click(IDC_DOWNLOAD);

    EXPECT_EQ(h.Log(), (Lines{"START DOWNLOAD SUCCESS", "...Download in progress...", "DOWNLOAD SUCCESS",
                              "Reset sent to device"}));
    EXPECT_TRUE(Received(reader, image));
    EXPECT_GE(counter.ticks, 3);
}

// After the reset into the boot loader the reader is held away: one line
// says what to check, the loader keeps listening, and the reader's late
// return still continues the download.
TEST(LoaderReturnWarning, ReaderHeldAwayGetsOneLineAndIsStillAwaited)
{
    struct Case {
        const char* name;
        bool heldAway;
        Lines whileAway;
    };
    const Lines started = {"START DOWNLOAD SUCCESS", kVersionApp, "Reset sent to device"};
    const Lines continued = {kVersionBoot, "...Download in progress...", "DOWNLOAD SUCCESS", "Reset sent to device"};
    const Case cases[] = {
        {"HeldAway", true, {kNotBack}},
        {"BackAtOnce", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderHarness h;
        h.dialog->SetReturnWarningDelay(std::chrono::milliseconds(60));
        SimBootLoader& reader = h.AddReader(SimMode::Application);
        reader.SetReturnAfterReset(!c.heldAway);
        const auto image = MakeImage(600);
        h.Pick(image);
        h.Click(IDC_DOWNLOAD);

        // Several times the delay: the line comes once, not once per delay.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 400)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

        Lines expected = started;
        if (c.heldAway) {
            expected.insert(expected.end(), c.whileAway.begin(), c.whileAway.end());
            EXPECT_EQ(h.Log(), expected);
            EXPECT_TRUE(h.watch.IsActive()) << "the loader must keep listening";
            reader.Replug();
            LoaderHarness::Settle();
        }
        expected.insert(expected.end(), continued.begin(), continued.end());
        EXPECT_EQ(h.Log(), expected);
        EXPECT_TRUE(Received(reader, image));

        // Done: no warning follows a finished download.
        clock.restart();
        while (clock.elapsed() < 150)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(h.Log(), expected);
    }
}

}  // namespace
