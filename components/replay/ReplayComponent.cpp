// Finding the recorded answer of a call, and saying how the nearest recorded call differs when none
// matches.
#include "replay/ReplayComponent.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <pugixml.hpp>

namespace tvxreplay {

namespace {

bool IsNameChar(char c) {
    return c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

// The leaf elements of an XML text in document order, as (name, text); false when it is no XML.
using CLeaves = std::vector<std::pair<std::string, std::string>>;
bool Leaves(const std::string& text, CLeaves& leaves) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8))
        return false;
    struct Walker : pugi::xml_tree_walker {
        CLeaves& out;
        explicit Walker(CLeaves& o) : out(o) {}
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_element &&
                !node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; }))
                out.emplace_back(node.name(), node.child_value());
            return true;
        }
    } walker(leaves);
    doc.traverse(walker);
    return !leaves.empty();
}

struct SDifference {
    std::string strName, strRecorded, strNow;
};

// The leaves that differ by name and occurrence, the ignored names left out.
void DiffLeaves(const CLeaves& recorded, const CLeaves& now, const CIgnoredNames& ignored,
                std::vector<SDifference>& out) {
    const auto nth = [](const CLeaves& leaves, const std::string& name, int n) -> const std::string* {
        for (const auto& [leaf, value] : leaves)
            if (leaf == name && n-- == 0)
                return &value;
        return nullptr;
    };
    const auto occurrence = [](const CLeaves& leaves, std::size_t i) {
        int n = 0;
        for (std::size_t j = 0; j < i; ++j)
            n += leaves[j].first == leaves[i].first;
        return n;
    };
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const auto& [name, value] = recorded[i];
        if (ignored.count(name))
            continue;
        const std::string* other = nth(now, name, occurrence(recorded, i));
        if (!other || *other != value)
            out.push_back({name, value, other ? *other : "(absent)"});
    }
    for (std::size_t i = 0; i < now.size(); ++i)
        if (!ignored.count(now[i].first) && !nth(recorded, now[i].first, occurrence(now, i)))
            out.push_back({now[i].first, "(absent)", now[i].second});
}

std::string ArgText(const DispArg& arg) {
    if (const auto* text = std::get_if<std::string>(&arg))
        return *text;
    return std::to_string(std::get<std::int16_t>(arg));
}

std::vector<SDifference> Differences(const DispArgs& recorded, const DispArgs& now,
                                     const CIgnoredNames& ignored) {
    std::vector<SDifference> out;
    for (std::size_t i = 0; i < std::max(recorded.size(), now.size()); ++i) {
        const std::string name = "argument " + std::to_string(i + 1);
        if (i >= recorded.size() || i >= now.size()) {
            out.push_back({name, i < recorded.size() ? ArgText(recorded[i]) : "(absent)",
                           i < now.size() ? ArgText(now[i]) : "(absent)"});
            continue;
        }
        const auto* a = std::get_if<std::string>(&recorded[i]);
        const auto* b = std::get_if<std::string>(&now[i]);
        if (a && b) {
            if (BlankIgnored(*a, ignored) == BlankIgnored(*b, ignored))
                continue;
            CLeaves la, lb;
            const std::size_t before = out.size();
            if (Leaves(*a, la) && Leaves(*b, lb))
                DiffLeaves(la, lb, ignored, out);
            if (out.size() == before) // not XML, or the same elements written otherwise
                out.push_back({name, *a, *b});
        } else if (recorded[i] != now[i])
            out.push_back({name, ArgText(recorded[i]), ArgText(now[i])});
    }
    return out;
}

std::string ErrorAnswer(const std::string& text) {
    pugi::xml_document doc;
    pugi::xml_node cmd = doc.append_child("RStream").append_child("CmdResponse");
    cmd.append_child("ResponseOrigin").text().set(kReplayOrigin);
    cmd.append_child("KVTXReturnCode").text().set("005001");
    cmd.append_child("CmdStatus").text().set("Error");
    cmd.append_child("TextResponse").text().set(text.c_str());
    cmd.append_child("UserTraceData");
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default);
    return out.str();
}

} // namespace

CIgnoredNames ParseIgnoredNames(std::string_view list) {
    CIgnoredNames names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        if (end > start)
            names.emplace(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string BlankIgnored(std::string_view text, const CIgnoredNames& ignored) {
    if (ignored.empty())
        return std::string(text);
    // What lies between ignored elements is copied in one piece: a request has a few dozen tags
    // and seldom more than one ignored element.
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0; // the text before it is in out, or left out
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        std::size_t nameEnd = pos + 1;
        while (nameEnd < text.size() && IsNameChar(text[nameEnd]))
            ++nameEnd;
        const std::string_view name = text.substr(pos + 1, nameEnd - pos - 1);
        const std::size_t tagEnd = text.find('>', nameEnd);
        pos = nameEnd;
        if (name.empty() || tagEnd == std::string_view::npos || text[tagEnd - 1] == '/' ||
            !ignored.count(name))
            continue;
        const std::string closing = "</" + std::string(name) + ">";
        const std::size_t close = text.find(closing, tagEnd + 1);
        if (close == std::string_view::npos)
            continue;
        out.append(text.substr(copied, tagEnd + 1 - copied)); // the content goes
        copied = pos = close;
    }
    out.append(text.substr(copied));
    return out;
}

std::shared_ptr<const SCassette> LoadCassette(const std::string& strPath, const STargetInfo& target,
                                              std::string& strProblem) {
    std::string text;
    {
        std::ifstream in(strPath, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
        if (size >= 0) {
            text.resize(static_cast<std::size_t>(size));
            in.seekg(0);
            in.read(text.data(), size);
        }
        if (!in || size < 0) {
            strProblem = "Cannot read the cassette " + strPath + ": no such readable file";
            return nullptr;
        }
    }
    auto cassette = std::make_shared<SCassette>();
    cassette->strPath = strPath;
    if (!ReadCassette(text, cassette->calls, strProblem)) {
        strProblem = "The cassette " + strPath + " cannot be read: " + strProblem;
        return nullptr;
    }
    std::set<std::string> controls;
    for (const SRecordedCall& call : cassette->calls) {
        if (call.strControl == target.pszName)
            return cassette;
        controls.insert(call.strControl);
    }
    std::string others;
    for (const std::string& control : controls)
        others += (others.empty() ? "" : " and ") + control;
    strProblem =
        "The cassette " + strPath + " holds no call of the " + target.pszName + " control" +
        (others.empty() ? std::string(" (it holds no call)") : " (only of the " + others + " control)");
    return nullptr;
}

CReplayComponent::CReplayComponent(const STargetInfo& target, std::shared_ptr<const SCassette> cassette,
                                   CIgnoredNames ignored)
    : m_target(target), m_pCassette(std::move(cassette)), m_ignored(std::move(ignored)) {
    const std::vector<SRecordedCall>& calls = m_pCassette->calls;
    if (!m_ignored.empty()) {
        m_compared.reserve(calls.size());
        for (const SRecordedCall& call : calls)
            m_compared.push_back(Compared(call.args));
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].strControl != target.pszName)
            continue;
        const DispArgs& compared = RecordedCompared(i);
        std::vector<SQueue>& bucket = m_byHash[Hash(calls[i].nDispid, compared)];
        auto queue = std::find_if(bucket.begin(), bucket.end(), [&](const SQueue& q) {
            return q.nDispid == calls[i].nDispid && RecordedCompared(q.calls.front()) == compared;
        });
        if (queue == bucket.end())
            queue = bucket.insert(bucket.end(), SQueue{calls[i].nDispid, {}, 0});
        queue->calls.push_back(i);
    }
}

DispArgs CReplayComponent::Compared(const DispArgs& args) const {
    DispArgs compared;
    compared.reserve(args.size());
    for (const DispArg& arg : args) {
        if (const auto* text = std::get_if<std::string>(&arg))
            compared.emplace_back(BlankIgnored(*text, m_ignored));
        else
            compared.push_back(arg);
    }
    return compared;
}

const DispArgs& CReplayComponent::RecordedCompared(std::size_t nCall) const {
    return m_ignored.empty() ? m_pCassette->calls[nCall].args : m_compared[nCall];
}

std::size_t CReplayComponent::Hash(int dispid, const DispArgs& compared) const {
    std::size_t hash = std::hash<int>()(dispid);
    for (const DispArg& arg : compared) {
        const std::size_t part = std::holds_alternative<std::string>(arg)
                                     ? std::hash<std::string_view>()(std::get<std::string>(arg))
                                     : std::hash<int>()(std::get<std::int16_t>(arg)) * 31 + 7;
        hash ^= part + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    }
    return hash;
}

std::string CReplayComponent::Invoke(int dispid, const DispArgs& args) {
    const DispArgs blanked = m_ignored.empty() ? DispArgs() : Compared(args);
    const DispArgs& compared = m_ignored.empty() ? args : blanked;
    SQueue* queue = nullptr;
    if (const auto it = m_byHash.find(Hash(dispid, compared)); it != m_byHash.end())
        for (SQueue& q : it->second)
            if (q.nDispid == dispid && RecordedCompared(q.calls.front()) == compared)
                queue = &q;
    if (!queue || queue->nNext == queue->calls.size())
        return NoMatchAnswer(dispid, args, queue ? queue->calls.size() : 0);
    const SRecordedCall& call = m_pCassette->calls[queue->calls[queue->nNext++]];
    if (call.bError)
        throw CDispatchError(call.strAnswer);
    return call.strAnswer;
}

std::string CReplayComponent::NoMatchAnswer(int dispid, const DispArgs& args,
                                            std::size_t nUsedMatches) const {
    const char* method = MethodName(m_target, dispid);
    std::string text = std::string("No recorded call matches this ") + (method ? method : "call") +
                       " call of the " + m_target.pszName + " control in the cassette " +
                       m_pCassette->strPath;
    if (nUsedMatches > 0)
        return ErrorAnswer(text + ": the " + std::to_string(nUsedMatches) +
                           " recorded calls like it have all been answered already.");
    const SRecordedCall* nearest = nullptr;
    std::vector<SDifference> fewest;
    for (const SRecordedCall& call : m_pCassette->calls) {
        if (call.strControl != m_target.pszName || call.nDispid != dispid)
            continue;
        std::vector<SDifference> diffs = Differences(call.args, args, m_ignored);
        if (!nearest || diffs.size() < fewest.size()) {
            nearest = &call;
            fewest = std::move(diffs);
        }
    }
    if (!nearest)
        return ErrorAnswer(text + ": it holds no " + (method ? method : "such") + " call of this control.");
    text += ". The nearest recorded call, call " + std::to_string(nearest->nNumber) + " (line " +
            std::to_string(nearest->nLine) + "), differs in:";
    const std::size_t kShown = 10;
    for (std::size_t i = 0; i < fewest.size() && i < kShown; ++i)
        text += "\n" + fewest[i].strName + ": recorded \"" + fewest[i].strRecorded + "\", now \"" +
                fewest[i].strNow + "\"";
    if (fewest.size() > kShown)
        text += "\n(and " + std::to_string(fewest.size() - kShown) + " more)";
    return ErrorAnswer(text);
}

} // namespace tvxreplay
