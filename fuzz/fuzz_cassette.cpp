// libFuzzer target: any bytes as a cassette. What reads must write back as it was read, and a replay
// component made of it answers its own calls with their recorded answers.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "replay/Cassette.h"
#include "replay/ReplayComponent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<tvxreplay::SRecordedCall> calls;
    std::string problem;
    if (!tvxreplay::ReadCassette(input, calls, problem)) {
        if (problem.empty() || !calls.empty())
            std::abort(); // a refusal says why and keeps nothing
        return 0;
    }
    std::string again = tvxreplay::CassetteHead();
    for (const tvxreplay::SRecordedCall& call : calls)
        again += tvxreplay::FormatCall(call.nNumber, *FindTargetNamed(call.strControl), call.nDispid, call.args,
                                       call.bError, call.strAnswer);
    std::vector<tvxreplay::SRecordedCall> reread;
    if (!tvxreplay::ReadCassette(again, reread, problem) || reread.size() != calls.size())
        std::abort();
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (reread[i].args != calls[i].args || reread[i].strAnswer != calls[i].strAnswer ||
            reread[i].bError != calls[i].bError || reread[i].nDispid != calls[i].nDispid)
            std::abort();
    auto cassette = std::make_shared<tvxreplay::SCassette>();
    cassette->calls = std::move(calls);
    for (const STargetInfo& target : kTargets) {
        tvxreplay::CReplayComponent replay(target, cassette, tvxreplay::ParseIgnoredNames("Date"));
        for (const tvxreplay::SRecordedCall& call : cassette->calls) {
            if (call.strControl != target.pszName)
                continue;
            try {
                (void)replay.Invoke(call.nDispid, call.args);
            } catch (const CDispatchError&) {
            }
        }
        (void)replay.Invoke(target.dispids.nSubmitRequest, {std::string("<TStream><Date>1</Date></TStream>")});
    }
    return 0;
}
