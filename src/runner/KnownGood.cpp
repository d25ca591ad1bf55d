// Leaf-by-leaf comparison of two response documents with pugixml.
#include "runner/KnownGood.h"

#include <algorithm>
#include <map>
#include <pugixml.hpp>

namespace {

constexpr const char* kAbsent = "(absent)";

using Leaves = std::vector<std::pair<CString, CString>>; // path and text, in document order

bool HasElementChild(const pugi::xml_node& node) {
    for (const pugi::xml_node& child : node.children())
        if (child.type() == pugi::node_element)
            return true;
    return false;
}

CString TextOf(const pugi::xml_node& node) {
    CString text;
    for (const pugi::xml_node& child : node.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
    return text;
}

// Depth-first over the elements with an explicit stack, so that an answer nested however deep
// cannot exhaust the call stack.
void CollectLeaves(const pugi::xml_node& root, const CString& rootPath, bool rootIgnored,
                   const std::set<CString>& ignoredNames, Leaves& leaves) {
    struct SPending {
        pugi::xml_node node;
        CString path;
        bool ignored;
    };
    std::vector<SPending> pending{{root, rootPath, rootIgnored}};
    while (!pending.empty()) {
        SPending item = std::move(pending.back());
        pending.pop_back();
        if (!HasElementChild(item.node)) {
            if (!item.ignored)
                leaves.emplace_back(std::move(item.path), TextOf(item.node));
            continue;
        }
        // Children go on the stack in reverse, so that they come off in document order.
        std::map<CString, int> seen;
        const std::size_t firstChild = pending.size();
        for (const pugi::xml_node& child : item.node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            const CString name = child.name();
            const int place = ++seen[name];
            CString childPath = item.path;
            childPath.append("/").append(name);
            if (place > 1)
                childPath.append("[").append(std::to_string(place)).append("]");
            pending.push_back({child, std::move(childPath), item.ignored || ignoredNames.count(name) > 0});
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    }
}

bool ReadLeaves(const CString& text, const std::set<CString>& ignored, Leaves& leaves) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default))
        return false;
    const pugi::xml_node root = doc.document_element();
    if (!root)
        return false;
    CString path = "/";
    path.append(root.name());
    CollectLeaves(root, path, ignored.count(root.name()) > 0, ignored, leaves);
    return true;
}

} // namespace

std::filesystem::path KnownGoodFile(const std::filesystem::path& dir, const CString& strScript, int nBlock) {
    return dir / strScript / (std::to_string(nBlock) + ".xml");
}

std::vector<SDifference> CompareAnswers(const CString& strKnownGood, const CString& strActual,
                                        const std::set<CString>& ignored) {
    Leaves expected, actual;
    const bool expectedIsXml = ReadLeaves(strKnownGood, ignored, expected);
    const bool actualIsXml = ReadLeaves(strActual, ignored, actual);
    if (!expectedIsXml || !actualIsXml) {
        if (strKnownGood == strActual)
            return {};
        return {{"/", expectedIsXml ? "an XML answer" : "a text that is not XML",
                 actualIsXml ? "an XML answer" : "a text that is not XML"}};
    }
    // The known-good answer's order first, then what only this answer holds.
    std::map<CString, const CString*> actualByPath;
    for (const auto& [path, text] : actual)
        actualByPath.emplace(path, &text);
    std::vector<SDifference> differences;
    for (const auto& [path, text] : expected) {
        const auto found = actualByPath.find(path);
        if (found == actualByPath.end())
            differences.push_back({path, text, kAbsent});
        else if (*found->second != text)
            differences.push_back({path, text, *found->second});
        if (found != actualByPath.end())
            actualByPath.erase(found);
    }
    for (const auto& [path, text] : actual)
        if (actualByPath.count(path) > 0)
            differences.push_back({path, kAbsent, text});
    return differences;
}
