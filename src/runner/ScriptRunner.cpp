// Running a script's blocks through the shared transaction cycle.
#include "runner/ScriptRunner.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "controls/ResponseScanner.h"
#include "replay/ReplayComponent.h"
#include "runner/KnownGood.h"
#include "runner/ScriptNotes.h"
#include "runner/SessionThreads.h"
#include "script/ScriptFile.h"
#include "script/ScriptSplitter.h"
#include "xml/XmlDocHelper.h"

namespace fs = std::filesystem;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

CString UnreadMessage(const CString& strLine) {
    return "Not run: the script reader stopped at \"" + strLine.substr(0, 80) + "\"";
}

// "XML Parse Error at s.xml:31: Start-end tags mismatch": the line counted in the whole file, where
// the window counts it from the start of the stored text.
CString ParseFailure(const CString& strPath, const CXmlDocHelper& request, const SBlockNote& note) {
    if (request.GetParseLine() == 0)
        return request.GetError().m_strMessage; // no parse error: the helper failed otherwise
    return "XML Parse Error at " + strPath + ":" + std::to_string(note.FileLine(request.GetParseLine())) +
           ": " + request.GetParseReason();
}

CString FixedSeconds(double dSeconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", dSeconds);
    return text;
}

// "block 2 at s.xml:14": the line that opens the block (the third of its stored text).
CString BlockPlace(const CString& strPath, std::size_t nBlock, const SBlockNote& note) {
    return "block " + std::to_string(nBlock) + " at " + strPath + ":" + std::to_string(note.FileLine(3));
}

// The block and its note with their ${NAME} given: the block's values escaped for XML, the note's
// as written (it is read as text). pComment is left on the stored note when it has no variables,
// so that a block and note without any cost nothing; the place is spelled only when needed.
bool GiveVariables(const CScriptVariables& variables, const CString& strPath, std::size_t nBlock,
                   const SBlockNote& note, CString& strText, CString& strComment, const CString*& pComment,
                   CString& strProblem) {
    const bool bInBlock = strText.find("${") != CString::npos;
    const bool bInNote = note.strComment.find("${") != CString::npos;
    if (!bInBlock && !bInNote)
        return true;
    const CString strPlace = BlockPlace(strPath, nBlock, note);
    if (bInBlock) {
        CString strStored;
        strStored.swap(strText);
        if (!variables.Substitute(strStored, strPlace, strText, strProblem))
            return false;
    }
    if (bInNote) {
        if (!variables.SubstitutePlain(note.strComment, "the note of " + strPlace, strComment, strProblem))
            return false;
        pComment = &strComment;
    }
    return true;
}

bool ReadWholeFile(const fs::path& path, CString& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return true;
}

} // namespace

const char kNotAnswered[] = "Not run: the component did not answer";
const char kNotRunStopped[] = "Not run: the run was stopped";

// What one call needs and gives, kept apart from the caller's stack: a call that overruns its limit
// still writes here after the caller has moved on.
struct CScriptRunner::SCall {
    CString strRequest;
    CXmlDocHelper response;
    SCycleAnswer answer;
    std::exception_ptr error;
};

void ReleaseSession(std::unique_ptr<CScriptRunner> pRunner) {
    if (pRunner && pRunner->Broken()) {
        (void)pRunner.release(); // deliberately leaked: its worker thread is still in the component
        NoteThreadsLeftRunning();
    }
}

void CScriptRunner::SetCallLimit(double dSeconds) {
    m_dCallLimit = dSeconds;
    if (dSeconds > 0 && !m_pWorker)
        m_pWorker = std::make_unique<CCallWorker>();
}

bool CScriptRunner::CallComponent(const std::shared_ptr<SCall>& call) {
    const auto submit = [this, call] {
        try {
            call->answer = m_cycle.Submit(&m_control, call->strRequest, &call->response);
        } catch (...) {
            call->error = std::current_exception();
        }
    };
    if (!m_pWorker) {
        submit();
        return true;
    }
    if (m_pWorker->Run(submit, std::chrono::duration<double>(m_dCallLimit)))
        return true;
    m_bBroken = true;
    return false;
}

CScriptRunner::CScriptRunner(const SRunnerOptions& options, CTransactionCycle::LogSink log)
    : CScriptRunner(options, std::move(log), ChosenComponent(options, TargetInfo(options.target))) {}

CScriptRunner::CScriptRunner(const SRunnerOptions& options, CTransactionCycle::LogSink log,
                             const SComponentChoice& choice)
    : m_options(options), m_control(options.target), m_log(log), m_cycle(std::move(log)) {
    m_control.Create(m_control.Target().nControlId, choice);
}

bool CScriptRunner::StoreServers(const CString& strServers, CString& strProblem) {
    CString strAnswer;
    try {
        strAnswer = m_control.StoreServerList(strServers, 0);
    } catch (const std::exception& e) {
        strProblem = e.what();
        return false;
    }
    if (m_log)
        m_log(strAnswer);
    CParsedResponse answer;
    if (!ScanResponse(strAnswer, answer, [&strProblem](const CString& message) { strProblem = message; }))
        return false;
    if (answer.m_bSuccess)
        return true;
    strProblem = answer.m_strCmdStatus + ": " + answer.m_strTextResponse;
    return false;
}

SReadScript ReadScript(const CString& strPath) {
    SReadScript read;
    read.strPath = strPath;
    // Regular files only, as in the window: a pipe could block the run and a device such as /dev/zero
    // would never end.
    CScriptFile file;
    if (!file.Open(strPath)) {
        read.arrProblems.push_back("Unable to open file for reading.");
        read.bUnreadable = true;
        return read;
    }
    CScriptSplitter splitter(file.Stream(),
                             [&read](const CString& message) { read.arrProblems.push_back(message); });
    splitter.SplitScript(read.stored, read.notes);
    read.strUnread = splitter.UnreadLine();
    if (read.stored.empty()) {
        if (!read.strUnread.empty())
            read.arrProblems.push_back(UnreadMessage(read.strUnread));
        read.arrProblems.push_back("No Next Transaction");
        read.bUnreadable = true;
    }
    return read;
}

SScriptResult CScriptRunner::Run(const CString& strPath, const Progress& progress, const CString& strSuite) {
    return Run(ReadScript(strPath), progress, strSuite);
}

SScriptResult CScriptRunner::Run(const SReadScript& read, const Progress& progress, const CString& strSuite) {
    const auto start = std::chrono::steady_clock::now();
    SScriptResult script;
    const CString& strPath = read.strPath;
    script.strPath = strPath;
    script.strName = strSuite.empty() ? fs::path(strPath).stem().string() : strSuite;
    script.arrProblems = read.arrProblems;
    if (read.bUnreadable) {
        script.bUnreadable = true;
        return script;
    }
    const CStringArray& stored = read.stored;
    const std::vector<SBlockNote>& notes = read.notes;
    const CString& strUnread = read.strUnread;

    // Blocks the scan never reached fail the run as one more transaction, so that no report shows a
    // script that was cut short as passed.
    const int nTotal = static_cast<int>(stored.size()) + (strUnread.empty() ? 0 : 1);
    // A caller that hears of each transaction takes what it needs of it; the result keeps the counts.
    const auto done = [&](STransactionResult& t) {
        script.Count(t);
        if (progress)
            progress(script, t, nTotal);
        else
            script.transactions.push_back(std::move(t));
    };
    for (std::size_t i = 0; i < stored.size(); ++i) {
        auto started = std::chrono::steady_clock::now();
        const SBlockNote& note = notes[i];
        STransactionResult result;
        result.nNumber = static_cast<int>(i) + 1;
        result.strKind = note.strKind;
        const bool bStopped = m_pStop && m_pStop->load();
        if (!m_bBroken && !bStopped && m_gate && !m_gate(started)) {
            script.dSeconds = SecondsSince(start);
            return script;
        }
        // A block, or its note, whose variables cannot all be given fails here, before anything is sent.
        CString strText = stored[i];
        CString strComment;
        const CString* pComment = &note.strComment;
        if (m_bBroken || bStopped)
            result.strError = m_bBroken ? kNotAnswered : kNotRunStopped;
        else if (CString strProblem;
                 m_pVariables && !GiveVariables(*m_pVariables, strPath, i + 1, note, strText, strComment,
                                                pComment, strProblem))
            result.strError = strProblem;
        else
            RunBlock(strPath, strText, note, *pComment, result);
        KeepAnswer(script, result);
        result.strName = NoteTitle(*pComment);
        if (result.strName.empty())
            result.strName = "Block " + std::to_string(result.nNumber) +
                             (result.strTranCode.empty() ? CString() : " " + result.strTranCode);
        result.dSeconds = SecondsSince(started);
        done(result);
    }
    if (!strUnread.empty()) {
        STransactionResult rest;
        rest.nNumber = nTotal;
        rest.strName = "Rest of the script";
        rest.strError = UnreadMessage(strUnread);
        done(rest);
    }
    script.dSeconds = SecondsSince(start);
    return script;
}

void CScriptRunner::RunBlock(const CString& strPath, const CString& strStored, const SBlockNote& note,
                             const CString& strComment, STransactionResult& result) {
    const SExpectNote expect = ParseExpectNote(strComment);
    // Load Next: the stored text becomes the request and fills the request column. A block that does
    // not parse still leaves a request, as in the window: Run It then sends the bare declaration,
    // and its answer's tokens carry on; the transaction fails with the parse error, placed in the file.
    CXmlDocHelper request;
    const bool bParsed = request.Load(strStored);
    if (!bParsed)
        result.strError = ParseFailure(strPath, request, note);
    const CFieldValues fields = bParsed ? LoadedRequestFields(request, m_carried) : m_carried;

    // Run It.
    CTransactionCycle::UpdateRequest(request, fields);
    result.strTranCode = fields["TranCode"];
    CString strRequest;
    if (!request.GetXml(strRequest)) {
        result.strError = request.GetError().m_strMessage;
        return;
    }
    // The reports show a block that did not parse as stored.
    result.strRequest = bParsed ? strRequest : strStored;
    const auto call = std::make_shared<SCall>();
    call->strRequest = std::move(strRequest);
    const auto sent = std::chrono::steady_clock::now();
    if (!CallComponent(call)) {
        result.strError = "No answer within the time limit: the call was given up after " +
                          FixedSeconds(SecondsSince(sent)) + " s";
        return;
    }
    if (call->error) {
        try {
            std::rethrow_exception(call->error);
        } catch (const std::exception& e) { // what the window's command dispatcher would show
            if (bParsed)
                result.strError = e.what();
        } catch (...) {
            if (bParsed)
                result.strError = "Unexpected failure.";
        }
        return;
    }
    SCycleAnswer& answer = call->answer;
    CXmlDocHelper& response = call->response;
    if (answer.outcome == SCycleAnswer::eCompleted)
        CarryTokens(answer.fields, m_carried);
    result.strResponse = std::move(answer.strResponse);
    if (!bParsed)
        return;
    if (answer.outcome != SCycleAnswer::eCompleted) {
        result.strError = answer.strMessage;
        return;
    }
    result.strCmdStatus = answer.fields["CmdStatus"];
    // A call the cassette has no answer for is no answer of the component under test.
    if (answer.fields["ResponseOrigin"] == tvxreplay::kReplayOrigin)
        result.strError = answer.fields["TextResponse"];
    result.checks.reserve(expect.checks.size() + expect.errors.size());
    for (const SCheck& check : expect.checks)
        result.checks.push_back(EvaluateCheck(check, response));
    result.checks.insert(result.checks.end(), expect.errors.begin(), expect.errors.end());
}

void CScriptRunner::KeepAnswer(const SScriptResult& script, STransactionResult& result) {
    if (result.strRequest.empty() || !result.strError.empty())
        return; // no answer came back to keep or compare
    if (!m_options.strKnownGoodDir.empty()) {
        CString strKnownGood;
        if (ReadWholeFile(KnownGoodFile(m_options.strKnownGoodDir, script.strName, result.nNumber),
                          strKnownGood))
            result.differences = CompareAnswers(strKnownGood, result.strResponse, m_options.ignored);
        else
            result.differences.push_back({"/", "(no known-good answer stored)", "an answer"});
    }
    if (!m_options.strRecordDir.empty()) {
        const fs::path path = KnownGoodFile(m_options.strRecordDir, script.strName, result.nNumber);
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << result.strResponse;
        out.close(); // the bytes reach the file here, and a full disk shows here
        if (!out)
            result.strError = "Unable to store the answer in " + path.string();
    }
}
