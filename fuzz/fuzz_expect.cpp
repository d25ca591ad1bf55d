// libFuzzer target: any bytes as the comment before a block, through the Expect-note parser, each
// check against a fixed response, and the test-case title.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runner/ExpectNote.h"
#include "runner/ScriptNotes.h"
#include "xml/XmlDocHelper.h"

namespace {

const char kResponse[] =
    "<?xml version=\"1.0\"?>\r\n<RStream><CmdResponse><CmdStatus>Approved</CmdStatus>"
    "<TextResponse>APPROVED</TextResponse><Empty/></CmdResponse><TranResponse>"
    "<AuthCode>VZFU5U</AuthCode><Amount><Purchase>10.00</Purchase></Amount></TranResponse>"
    "</RStream>";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 512)
        return 0; // notes are short; longer patterns only measure the regex library
    const std::string_view comment(reinterpret_cast<const char*>(data), size);
    static CXmlDocHelper response;
    static const bool loaded = response.Load(kResponse);
    if (!loaded)
        std::abort();

    const SExpectNote note = ParseExpectNote(comment);
    for (const SCheck& check : note.checks) {
        if (check.strName.empty() || (check.kind == SCheck::eMatches) != static_cast<bool>(check.pPattern))
            std::abort(); // every check names an element; only a match carries a pattern
        const SCheckResult result = EvaluateCheck(check, response);
        if (result.strField != check.strName || result.strCheck != check.strText)
            std::abort();
    }
    for (const SCheckResult& error : note.errors)
        if (error.bPassed)
            std::abort();
    const CString title = NoteTitle(CString(comment));
    if (title.size() > size || title.find('\n') != CString::npos)
        std::abort();
    return 0;
}
