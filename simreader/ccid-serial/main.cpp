// SPDX-License-Identifier: BSD-3-Clause
// ccid-serial-pinpad <scenario> <pty-name-file>
//
// The emulated serial CCID PIN pad: opens a pseudo-terminal, writes the path
// of its slave side (the reader's serial port) into <pty-name-file>, and
// answers on the master side what the reader answers on its line, until
// SIGTERM or SIGINT. The serial CCID driver opens the slave as its device.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "CcidPinPad.h"
#include "ScenarioParser.h"
#include "SerialFrames.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

void Log(const std::string& text)
{
    std::fprintf(stderr, "ccid-serial-pinpad: %s\n", text.c_str());
    std::fflush(stderr);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const ccidserial::Bytes& b)
{
    return WriteAll(fd, b.data(), b.size());
}

// Written beside and renamed, so whoever waits for the file never reads half a name.
bool PublishName(const std::string& file, const std::string& name)
{
    const std::string tmp = file + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f)
        return false;
    const bool ok = std::fprintf(f, "%s\n", name.c_str()) > 0;
    if (std::fclose(f) != 0 || !ok)
        return false;
    return std::rename(tmp.c_str(), file.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: ccid-serial-pinpad <scenario> <pty-name-file>\n");
        return 2;
    }
    simreader::Scenario scenario;
    std::string error;
    if (!simreader::LoadScenario(argv[1], scenario, error)) {
        Log(error);
        return 2;
    }
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        Log(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
        return 1;
    }
    const char* slaveName = ::ptsname(master);
    if (!slaveName) {
        Log("no slave name for the pseudo-terminal");
        return 1;
    }
    const std::string slave = slaveName;
    // Holding the slave open keeps the master readable between the driver's
    // opens; raw mode keeps the line from being cooked before the driver
    // sets its own modes.
    int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    if (holder < 0) {
        Log("cannot open " + slave + ": " + std::strerror(errno));
        return 1;
    }
    termios tio{};
    if (::tcgetattr(holder, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(holder, TCSANOW, &tio);
    }
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    if (!PublishName(argv[2], slave)) {
        Log(std::string("cannot write ") + argv[2]);
        return 1;
    }
    Log("serving " + std::string(argv[1]) + " on " + slave);

    ccidserial::CcidPinPad pad(scenario, scenario.traceFile);
    ccidserial::SerialFrameReader reader;
    std::uint8_t buf[512];
    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        int r = ::poll(&p, 1, 100);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            Log(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        if (r == 0 || !(p.revents & POLLIN))
            continue;
        ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            continue;
        reader.Feed(buf, static_cast<std::size_t>(n));
        for (;;) {
            const auto event = reader.Next();
            if (event == ccidserial::SerialFrameReader::Event::None)
                break;
            if (event != ccidserial::SerialFrameReader::Event::Frame) {
                Log(event == ccidserial::SerialFrameReader::Event::BadChecksum ? "frame with a wrong checksum: NAK"
                                                                                 : "frame too long: NAK");
                WriteAll(master, ccidserial::kNakFrame, sizeof ccidserial::kNakFrame);
                continue;
            }
            // The echo first, then any card movement, then the answer: what
            // the driver expects of this reader family in synchronous mode.
            WriteAll(master, ccidserial::EchoOf(reader.Message()));
            ccidserial::Bytes answer = pad.Handle(reader.Message());
            const int change = pad.PresenceChange();
            if (change >= 0)
                WriteAll(master, ccidserial::SlotChangeNotice(change == 1));
            WriteAll(master, ccidserial::WrapFrame(answer));
        }
    }
    ::close(holder);
    ::close(master);
    return 0;
}
