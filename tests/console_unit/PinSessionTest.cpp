// SPDX-License-Identifier: BSD-3-Clause
// The secure PIN exchange's core over a scripted resource manager whose
// control call is held by the test, as a PIN pad holds it: the request's
// limits, how long a closing console waits, and a worker that outlives the
// console which started it (the sanitizer build sees any write into freed
// memory).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "console/ConsoleSession.h"
#include "console/PinSession.h"
#include "readerlink/PcscApi.h"

namespace {

// The pad: the call waits until the test lets it go, then answers 90 00.
struct Pad {
    std::mutex mutex;
    std::condition_variable released;
    bool letGo = false;
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};
};
Pad* g_pad = nullptr;

LONG Establish(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
    *context = 1;
    return SCARD_S_SUCCESS;
}
LONG Connect(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
    *card = 2;
    *protocol = SCARD_PROTOCOL_T1;
    return SCARD_S_SUCCESS;
}
LONG HeldControl(SCARDHANDLE, DWORD, LPCVOID, DWORD, LPVOID out, DWORD size, LPDWORD returned) {
    Pad& pad = *g_pad;
    ++pad.calls;
    {
        std::unique_lock<std::mutex> lock(pad.mutex);
        pad.released.wait(lock, [&] { return pad.letGo; });
    }
    const std::uint8_t answer[2] = {0x90, 0x00};
    if (size >= 2) std::memcpy(out, answer, 2);
    *returned = 2;
    pad.returned = true;
    return SCARD_S_SUCCESS;
}

class PinSessionTest : public testing::Test {
protected:
    void SetUp() override {
        g_pad = &pad;
        api = DefaultPcscApi();
        api.EstablishContext = Establish;
        api.Connect = Connect;
        api.Control = HeldControl;
        SetPcscApi(&api);
    }
    void TearDown() override { SetPcscApi(nullptr); }
    static void ConnectTo(ConsoleSession& session) {
        DWORD protocol = 0;
        session.Link().EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
        session.Link().Connect("pad", SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, &protocol);
    }
    void LetGo() {
        {
            std::lock_guard<std::mutex> lock(pad.mutex);
            pad.letGo = true;
        }
        pad.released.notify_all();
    }
    void WaitFor(const std::atomic<bool>& flag) {
        for (int i = 0; i < 5000 && !flag; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(flag.load());
    }
    Pad pad;
    PcscApi api{};
};

TEST_F(PinSessionTest, RequestLimitsAndTheCloseWait) {
    ConsoleSession session;
    PinSession pin(session);
    // The request buffer holds 256 bytes: one more is refused and said so.
    EXPECT_TRUE(pin.Prepare(std::string(2 * kPinRequestCapacity, 'A')));
    EXPECT_FALSE(pin.Prepare(std::string(2 * kPinRequestCapacity + 2, 'A')));
    EXPECT_EQ(session.StatusText(), PinRequestTooLongText(kPinRequestCapacity + 1));

    // A closing console waits as long as a reader driver waits for the pad
    // (at least 90 s, else bTimeOut + 10 s), and 5 s more.
    const struct {
        const char* request;
        std::chrono::seconds wait;
    } limits[] = {{"00", std::chrono::seconds(95)}, {"50", std::chrono::seconds(95)},
                  {"51", std::chrono::seconds(96)}, {"FF", std::chrono::seconds(270)}};
    for (const auto& limit : limits) {
        ASSERT_TRUE(pin.Prepare(std::string(limit.request) + "0082"));
        EXPECT_EQ(pin.CloseWaitLimit(), limit.wait) << limit.request;
    }
}

TEST_F(PinSessionTest, AJoinedWorkerGivesItsAnswerOnce) {
    ConsoleSession session;
    ConnectTo(session);
    PinSession pin(session);
    ASSERT_TRUE(pin.Prepare("1E0082"));
    pin.Start(0x42330006, kPcscPinAnswerSize);
    EXPECT_TRUE(pin.Running());
    EXPECT_EQ(session.StatusText(), kPinExchangeRunningText);
    LetGo();
    while (!pin.Answered()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(pin.Join(), SCARD_S_SUCCESS);
    EXPECT_FALSE(pin.Running());
    ASSERT_EQ(pin.AnswerLength(), 2u);
    EXPECT_EQ(pin.Answer()[0], 0x90);
    EXPECT_EQ(pad.calls.load(), 1);
}

TEST_F(PinSessionTest, AWorkerLeftBehindOutlivesTheConsole) {
    {
        auto session = std::make_unique<ConsoleSession>();
        ConnectTo(*session);
        auto pin = std::make_unique<PinSession>(*session);
        ASSERT_TRUE(pin->Prepare("000082"));
        pin->Start(0x42330006, kPcscPinAnswerSize);
        while (pad.calls.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pin->LeaveBehind();
        EXPECT_TRUE(pin->LeftBehind());
        EXPECT_FALSE(pin->Running());
        // The console and its session go while the pad still holds the call.
        pin.reset();
        session.reset();
    }
    // The pad answers late: the worker writes into its own block only.
    LetGo();
    WaitFor(pad.returned);
}

}  // namespace
