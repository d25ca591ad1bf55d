// The cassette text, the recorder and the replay component, without a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "replay/CallRecorder.h"
#include "replay/Cassette.h"
#include "replay/ReplayComponent.h"

using namespace tvxreplay;
using ::testing::HasSubstr;

namespace {

const STargetInfo& kClient = TargetInfo(ETarget::Client);
const STargetInfo& kDevice = TargetInfo(ETarget::Device);
const int kSubmit = kClient.dispids.nSubmitRequest;

std::string Request(const std::string& amount, const std::string& date = "2026-01-01") {
    return "<?xml version=\"1.0\"?>\n<TStream><Transaction><TranCode>Sale</TranCode><Amount>" + amount +
           "</Amount><Date>" + date + "</Date></Transaction></TStream>\n";
}

DispArgs SubmitArgs(const std::string& request) {
    return {request, std::int16_t{0}, std::string(), std::string("TRANVEX")};
}

std::shared_ptr<const SCassette> Cassette(const std::vector<std::string>& calls) {
    std::string text = CassetteHead();
    for (const std::string& call : calls)
        text += call;
    auto cassette = std::make_shared<SCassette>();
    cassette->strPath = "t.tape";
    std::string problem;
    EXPECT_TRUE(ReadCassette(text, cassette->calls, problem)) << problem;
    return cassette;
}

std::string TextResponse(const std::string& answer) {
    const std::size_t start = answer.find("<TextResponse>") + 14;
    return answer.substr(start, answer.find("</TextResponse>") - start);
}

} // namespace

// Any bytes come back as they were: newlines, lines that look like the format's own, CR, NUL.
TEST(Cassette, EveryTextRoundTripsByteForByte) {
    const std::string awkward[] = {"", "\n", "end\n", "\nend", "call 1 client SubmitRequest 1\n",
                                   std::string("a\0b\r\n", 5), "answer 3\nabc\n", "\xff\xfe"};
    std::string text = CassetteHead();
    std::vector<std::pair<DispArgs, std::string>> written;
    int n = 0;
    for (const std::string& bytes : awkward) {
        const DispArgs args{bytes, std::int16_t{-32768}, bytes + bytes};
        const bool bError = n % 2 == 1;
        text += FormatCall(++n, kClient, kSubmit, args, bError, bytes);
        written.emplace_back(args, bytes);
    }
    std::vector<SRecordedCall> calls;
    std::string problem;
    ASSERT_TRUE(ReadCassette(text, calls, problem)) << problem;
    ASSERT_EQ(calls.size(), written.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].args, written[i].first) << i;
        EXPECT_EQ(calls[i].strAnswer, written[i].second) << i;
        EXPECT_EQ(calls[i].bError, i % 2 == 1);
        EXPECT_EQ(calls[i].strMethod, "SubmitRequest");
        EXPECT_EQ(calls[i].nNumber, static_cast<int>(i) + 1);
    }
}

// Cut anywhere inside a call, a cassette is refused; cut between calls, it is whole.
TEST(Cassette, ACassetteCutShortIsRefusedWhereverItIsCut) {
    const std::string head = CassetteHead();
    const std::string one = FormatCall(1, kClient, kSubmit, SubmitArgs(Request("1.00")), false, "<RStream/>");
    const std::string two = FormatCall(2, kDevice, kDevice.dispids.nGetDeviceList, {}, false, "<DeviceList/>");
    const std::string text = head + one + two;
    std::vector<SRecordedCall> calls;
    for (std::size_t cut = head.size(); cut <= text.size(); ++cut) {
        std::string problem;
        const bool whole = cut == head.size() || cut == head.size() + one.size() || cut == head.size() + one.size() + 1 ||
                           cut == text.size() ||
                           cut == head.size() + 1; // the blank line before the first call
        EXPECT_EQ(ReadCassette(text.substr(0, cut), calls, problem), whole) << cut << " " << problem;
    }
}

TEST(Cassette, WhatIsNoCassetteIsNamedByLine) {
    const std::string head = CassetteHead();
    const struct {
        std::string text;
        const char* says;
    } cases[] = {
        {"<TStream/>\n", "not a cassette"},
        {head + "call 1 teller SubmitRequest 1\nanswer 0\n\nend\n", "line 4: expected \"call N CONTROL"},
        {head + "call 1 client GetDeviceList 1\nanswer 0\n\nend\n", "client control has no method GetDeviceList"},
        {head + "call 1 client SubmitRequest 1\nint 99999\nanswer 0\n\nend\n", "line 5: expected an argument"},
        {head + "call 1 client SubmitRequest 1\nend\n", "call 1 ends without an answer"},
        {head + "call 1 client SubmitRequest 1\ntext 50\nabc\n", "cut short in call 1 (a text of 50 bytes)"},
        {head + "call 1 client SubmitRequest 1\nanswer 1\nab\n", "cut short in call 1"},
    };
    for (const auto& c : cases) {
        std::vector<SRecordedCall> calls;
        std::string problem;
        EXPECT_FALSE(ReadCassette(c.text, calls, problem)) << c.text;
        EXPECT_THAT(problem, HasSubstr(c.says));
    }
}

TEST(Cassette, IgnoredElementsLoseOnlyTheirContent) {
    const CIgnoredNames ignored = ParseIgnoredNames("Date,,Time");
    EXPECT_EQ(ignored.size(), 2u);
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<a><Date>1</Date><DateX>2</DateX></a>", "<a><Date></Date><DateX>2</DateX></a>"},
        {"<Date attr=\"x\">1\n2</Date><Time/><Time>3</Time>", "<Date attr=\"x\"></Date><Time/><Time></Time>"},
        {"<Date>never closed", "<Date>never closed"},
        {"no markup", "no markup"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BlankIgnored(c.in, ignored), c.out) << c.in;
}

TEST(ReplayComponent, AnswersInRecordedOrderAndSaysWhatDiffersWhenNothingMatches) {
    const auto cassette = Cassette({
        FormatCall(1, kClient, kSubmit, SubmitArgs(Request("1.00")), false, "first"),
        FormatCall(2, kClient, kSubmit, SubmitArgs(Request("1.00")), false, "second"),
        FormatCall(3, kClient, kSubmit, SubmitArgs(Request("2.00")), true, "Member not found."),
        FormatCall(4, kDevice, kDevice.dispids.nSubmitRequest, SubmitArgs(Request("9.00")), false, "device"),
    });
    CReplayComponent replay(kClient, cassette, {});
    EXPECT_EQ(replay.Invoke(kSubmit, SubmitArgs(Request("1.00"))), "first");
    EXPECT_EQ(replay.Invoke(kSubmit, SubmitArgs(Request("1.00"))), "second");
    EXPECT_THAT(TextResponse(replay.Invoke(kSubmit, SubmitArgs(Request("1.00")))),
                HasSubstr("the 2 recorded calls like it have all been answered already"));
    EXPECT_THROW(replay.Invoke(kSubmit, SubmitArgs(Request("2.00"))), CDispatchError);

    // The device's call is not the client's; the nearest client call is named with each difference.
    const std::string answer = replay.Invoke(kSubmit, SubmitArgs(Request("9.00", "2026-02-02")));
    EXPECT_THAT(answer, HasSubstr("<CmdStatus>Error</CmdStatus>"));
    EXPECT_THAT(answer, HasSubstr("<ResponseOrigin>Replay</ResponseOrigin>"));
    EXPECT_THAT(TextResponse(answer), HasSubstr("No recorded call matches this SubmitRequest call of the client "
                                                "control in the cassette t.tape"));
    EXPECT_THAT(TextResponse(answer), HasSubstr("Amount: recorded \"1.00\", now \"9.00\""));
    EXPECT_THAT(TextResponse(answer), HasSubstr("Date: recorded \"2026-01-01\", now \"2026-02-02\""));
    const DispArgs other{Request("1.00"), std::int16_t{1}, std::string(), std::string("TRANVEX")};
    EXPECT_THAT(TextResponse(replay.Invoke(kSubmit, other)), HasSubstr("argument 2: recorded \"0\", now \"1\""));
    EXPECT_THAT(TextResponse(replay.Invoke(kClient.dispids.nPingServerList, {std::string("80"), std::int16_t{0}})),
                HasSubstr("it holds no PingServerList call of this control"));
}

TEST(ReplayComponent, IgnoredElementsMatchWhateverTheirValueNow) {
    const auto cassette = Cassette({FormatCall(1, kClient, kSubmit, SubmitArgs(Request("1.00")), false, "ok")});
    CReplayComponent strict(kClient, cassette, {});
    EXPECT_NE(strict.Invoke(kSubmit, SubmitArgs(Request("1.00", "2027-07-07"))), "ok");
    CReplayComponent lenient(kClient, cassette, ParseIgnoredNames("Date"));
    EXPECT_EQ(lenient.Invoke(kSubmit, SubmitArgs(Request("1.00", "2027-07-07"))), "ok");
}

// The recorder passes answers and errors through unchanged and the file holds each call once it
// has returned; a second control of the process shares the file.
TEST(CallRecorder, WritesEachCallAsItReturnsAndChangesNothing) {
    tvxtest::CTempDir temp;
    const std::string path = (temp / "c.tape").string();
    std::string problem;
    auto writer = CCassetteWriter::Open(path, problem);
    ASSERT_TRUE(writer) << problem;
    EXPECT_EQ(CCassetteWriter::Open(path, problem), writer);
    auto state = std::make_shared<tvxtest::SFakeState>();
    state->answer = [](int dispid, const DispArgs&) -> std::string {
        if (dispid == 2)
            throw CDispatchError("Member not found.");
        return "answer\n";
    };
    CRecordingComponent client(std::make_unique<tvxtest::CFakeComponent>(state), kClient, writer);
    CRecordingComponent device(std::make_unique<tvxtest::CFakeComponent>(state), kDevice, writer);
    EXPECT_EQ(client.Invoke(kSubmit, SubmitArgs(Request("1.00"))), "answer\n");
    EXPECT_EQ(state->calls.back().args, SubmitArgs(Request("1.00")));
    std::vector<SRecordedCall> calls;
    ASSERT_TRUE(ReadCassette(tvxtest::ReadFile(path), calls, problem)) << problem;
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_THROW(device.Invoke(2, {}), CDispatchError);
    ASSERT_TRUE(ReadCassette(tvxtest::ReadFile(path), calls, problem)) << problem;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].strControl, "device");
    EXPECT_TRUE(calls[1].bError);
    EXPECT_EQ(calls[1].strAnswer, "Member not found.");
    EXPECT_TRUE(writer->Failure().empty());

    EXPECT_FALSE(CCassetteWriter::Open((temp / "no/such/folder/c.tape").string(), problem));
    EXPECT_THAT(problem, HasSubstr("Cannot record the calls in"));
    auto full = CCassetteWriter::Open("/dev/full", problem);
    EXPECT_FALSE(full);
    EXPECT_THAT(problem, HasSubstr("No space left"));
}
