// The replay component: answers each call with the recorded answer of the first unused recorded call
// of the same control, DISPID and arguments.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "controls/PaymentTargets.h"
#include "platform/Component.h"
#include "replay/Cassette.h"

namespace tvxreplay {

// The ResponseOrigin of the error answer to a call with no recorded match (tranvex-run fails it).
inline constexpr const char* kReplayOrigin = "Replay";

using CIgnoredNames = std::set<std::string, std::less<>>;

// "Name,Name,..." as a set; empty names are left out.
CIgnoredNames ParseIgnoredNames(std::string_view list);

// text with the content of every element named in ignored taken out; text itself when none is.
std::string BlankIgnored(std::string_view text, const CIgnoredNames& ignored);

// A cassette read from its file.
struct SCassette {
    std::string strPath;
    std::vector<SRecordedCall> calls;
};

// Null with the reason (naming the file) when it cannot be read or holds no call of target.
std::shared_ptr<const SCassette> LoadCassette(const std::string& strPath, const STargetInfo& target,
                                              std::string& strProblem);

class CReplayComponent : public IComponent {
public:
    CReplayComponent(const STargetInfo& target, std::shared_ptr<const SCassette> cassette, CIgnoredNames ignored);

    std::string Invoke(int dispid, const DispArgs& args) override;

private:
    // The arguments as compared: the ignored elements' content taken out of every text.
    DispArgs Compared(const DispArgs& args) const;
    std::size_t Hash(int dispid, const DispArgs& compared) const;
    const DispArgs& RecordedCompared(std::size_t nCall) const;
    std::string NoMatchAnswer(int dispid, const DispArgs& args, std::size_t nUsedMatches) const;

    const STargetInfo& m_target;
    std::shared_ptr<const SCassette> m_pCassette;
    CIgnoredNames m_ignored;
    std::vector<DispArgs> m_compared; // per recorded call, only when elements are ignored
    struct SQueue {
        int nDispid;
        std::vector<std::size_t> calls; // of one control, DISPID and arguments, in cassette order
        std::size_t nNext = 0;          // the first unused
    };
    std::unordered_map<std::size_t, std::vector<SQueue>> m_byHash;
};

} // namespace tvxreplay
