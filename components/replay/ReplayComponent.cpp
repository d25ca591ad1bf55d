// Finding the recorded answer of a call, and saying how the nearest recorded call differs when none
// matches.
#include "replay/ReplayComponent.h"

#include <fstream>
#include <sstream>

#include <pugixml.hpp>

namespace tvxreplay {

namespace {

bool IsNameChar(char c) {
    return c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
}

void AppendKeyPart(std::string& key, const DispArg& arg, const CIgnoredNames& ignored) {
    if (const auto* text = std::get_if<std::string>(&arg)) {
        const std::string blanked = ignored.empty() ? std::string() : BlankIgnored(*text, ignored);
        const std::string& used = ignored.empty() ? *text : blanked;
        key += 's';
        key += std::to_string(used.size());
        key += ':';
        key += used;
    } else {
        key += 'i';
        key += std::to_string(std::get<std::int16_t>(arg));
        key += ';';
    }
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
            if (node.type() == pugi::node_element && !node.find_child([](pugi::xml_node n) {
                    return n.type() == pugi::node_element;
                }))
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

std::vector<SDifference> Differences(const DispArgs& recorded, const DispArgs& now, const CIgnoredNames& ignored) {
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
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('<', pos);
        if (open == std::string_view::npos)
            break;
        std::size_t nameEnd = open + 1;
        while (nameEnd < text.size() && IsNameChar(text[nameEnd]))
            ++nameEnd;
        const std::string_view name = text.substr(open + 1, nameEnd - open - 1);
        const std::size_t tagEnd = text.find('>', nameEnd);
        if (name.empty() || !ignored.count(name) || tagEnd == std::string_view::npos || text[tagEnd - 1] == '/') {
            out.append(text.substr(pos, nameEnd - pos));
            pos = nameEnd;
            continue;
        }
        const std::string closing = "</" + std::string(name) + ">";
        const std::size_t close = text.find(closing, tagEnd + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(pos, nameEnd - pos));
            pos = nameEnd;
            continue;
        }
        out.append(text.substr(pos, tagEnd + 1 - pos)); // the content goes
        pos = close;
    }
    out.append(text.substr(pos));
    return out;
}

std::shared_ptr<const SCassette> LoadCassette(const std::string& strPath, const STargetInfo& target,
                                              std::string& strProblem) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        strProblem = "Cannot read the cassette " + strPath + (in ? "" : ": no such readable file");
        return nullptr;
    }
    auto cassette = std::make_shared<SCassette>();
    cassette->strPath = strPath;
    if (!ReadCassette(text.str(), cassette->calls, strProblem)) {
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
    strProblem = "The cassette " + strPath + " holds no call of the " + target.pszName + " control" +
                 (others.empty() ? std::string(" (it holds no call)") : " (only of the " + others + " control)");
    return nullptr;
}

CReplayComponent::CReplayComponent(const STargetInfo& target, std::shared_ptr<const SCassette> cassette,
                                   CIgnoredNames ignored)
    : m_target(target), m_pCassette(std::move(cassette)), m_ignored(std::move(ignored)) {
    for (std::size_t i = 0; i < m_pCassette->calls.size(); ++i) {
        const SRecordedCall& call = m_pCassette->calls[i];
        if (call.strControl == target.pszName)
            m_byKey[Key(call.nDispid, call.args)].calls.push_back(i);
    }
}

std::string CReplayComponent::Key(int dispid, const DispArgs& args) const {
    std::string key = std::to_string(dispid) + ';';
    for (const DispArg& arg : args)
        AppendKeyPart(key, arg, m_ignored);
    return key;
}

std::string CReplayComponent::Invoke(int dispid, const DispArgs& args) {
    const auto it = m_byKey.find(Key(dispid, args));
    if (it == m_byKey.end() || it->second.nNext == it->second.calls.size())
        return NoMatchAnswer(dispid, args, it == m_byKey.end() ? 0 : it->second.calls.size());
    const SRecordedCall& call = m_pCassette->calls[it->second.calls[it->second.nNext++]];
    if (call.bError)
        throw CDispatchError(call.strAnswer);
    return call.strAnswer;
}

std::string CReplayComponent::NoMatchAnswer(int dispid, const DispArgs& args, std::size_t nUsedMatches) const {
    const char* method = MethodName(m_target, dispid);
    std::string text = std::string("No recorded call matches this ") + (method ? method : "call") + " call of the " +
                       m_target.pszName + " control in the cassette " + m_pCassette->strPath;
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
