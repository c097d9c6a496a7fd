// SPDX-License-Identifier: BSD-3-Clause
// The vendor PIN worker and the window thread's wait for it, over a scripted
// resource manager whose control call takes its time like a PIN pad. Built
// with ThreadSanitizer too (see CMakeLists.txt): the shared block must carry
// the answer across threads without a race.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "features/PinWorker.h"
#include "readerlink/PcscApi.h"

namespace {

struct Script {
    int delayMs = 0;
    LONG result = SCARD_S_SUCCESS;
    std::uint8_t answer[2] = {0x90, 0x00};
};
Script g_script;
std::atomic<int> g_controlCalls{0};

LONG FakeEstablish(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
    *context = 1;
    return SCARD_S_SUCCESS;
}
LONG FakeConnect(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
    *card = 2;
    *protocol = SCARD_PROTOCOL_T1;
    return SCARD_S_SUCCESS;
}
LONG FakeControl(SCARDHANDLE, DWORD, LPCVOID, DWORD, LPVOID out, DWORD outSize, LPDWORD returned) {
    ++g_controlCalls;
    std::this_thread::sleep_for(std::chrono::milliseconds(g_script.delayMs));
    if (g_script.result != SCARD_S_SUCCESS) return g_script.result;
    if (outSize < 2) return SCARD_E_INSUFFICIENT_BUFFER;
    std::memcpy(out, g_script.answer, 2);
    *returned = 2;
    return SCARD_S_SUCCESS;
}

class PinWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        api = DefaultPcscApi();
        api.EstablishContext = FakeEstablish;
        api.Connect = FakeConnect;
        api.Control = FakeControl;
        SetPcscApi(&api);
        ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
        DWORD protocol = 0;
        ASSERT_EQ(link.Connect("pad", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &protocol), SCARD_S_SUCCESS);
        g_controlCalls = 0;
    }
    void TearDown() override { SetPcscApi(nullptr); }
    PcscApi api{};
    CReaderLink link;
};

TEST_F(PinWorkerTest, WindowThreadWaitsForTheAnswerOrTheFailure) {
    const struct {
        const char* name;
        Script script;
        bool raiseDoneFirst;  // the window thread gave up before the worker ran
        int calls;
        PcscResult result;
        DWORD returned;
    } cases[] = {
        {"SlowPad", {150, SCARD_S_SUCCESS, {0x90, 0x00}}, false, 1, SCARD_S_SUCCESS, 2},
        {"WrongPin", {20, SCARD_S_SUCCESS, {0x63, 0xC2}}, false, 1, SCARD_S_SUCCESS, 2},
        {"ReaderFails", {50, static_cast<LONG>(SCARD_E_NOT_TRANSACTED), {}}, false, 1,
         static_cast<PcscResult>(SCARD_E_NOT_TRANSACTED), 0},
        {"GivenUpBeforeStart", {0, SCARD_S_SUCCESS, {0x90, 0x00}}, true, 0, SCARD_S_SUCCESS, 0},
    };
    for (const auto& c : cases) {
        g_script = c.script;
        g_controlCalls = 0;
        const std::uint8_t request[13] = {0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00, 0x00, 0x20};
        PinWorkerParams params;
        params.card = link.CardHandle();
        params.controlCode = 0x4200080A;
        std::copy(std::begin(request), std::end(request), params.request.begin());
        params.requestLength = sizeof request;
        params.answerSize = 4;
        const auto& answer = params.answer;
        if (c.raiseDoneFirst) params.done.store(1);
        std::thread worker([&params] { PinWorker(params); });
        // The window thread's loop: until the worker is done or has failed.
        int rounds = 0;
        while (params.done.load() == 0 && params.result.load() == 0) {
            ++rounds;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        params.done.store(1);
        worker.join();
        EXPECT_EQ(g_controlCalls.load(), c.calls) << c.name;
        EXPECT_EQ(params.result.load(), c.result) << c.name;
        EXPECT_EQ(params.returned, c.returned) << c.name;
        if (c.returned == 2) {
            EXPECT_EQ(answer[0], c.script.answer[0]) << c.name;
            EXPECT_EQ(answer[1], c.script.answer[1]) << c.name;
        }
        if (std::string(c.name) == "SlowPad") {
            EXPECT_GT(rounds, 10) << "the window thread went on while the pad waited";
        }
    }
}

}  // namespace
