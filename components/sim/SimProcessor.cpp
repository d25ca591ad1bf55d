// The simulated payment processor: request rules, records, batches and gift balances.
#include "sim/SimProcessor.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <initializer_list>

#include "sim/SimCard.h"
#include "sim/SimSignature.h"
#include "sim/SimText.h"

namespace tvxsim {

namespace {

constexpr std::int64_t kMaxAmount = 9999999; // 99999.99
constexpr std::size_t kMaxText = 256;        // Memo, UserTraceData
constexpr std::size_t kMaxId = 24;           // MerchantID, TerminalID, OperatorID

const std::initializer_list<const char*> kTranCodes = {"Sale",     "Return",     "PreAuth", "PreAuthCapture",
                                                       "VoidSale", "VoidReturn", "Adjust",  "Balance"};
const std::initializer_list<const char*> kAdminCodes = {"BatchSummary", "BatchClose"};
const std::initializer_list<const char*> kCorvaneCodes = {"EchoTest", "GetSignature"};

// Codes and types match without regard to case; answers use the listed spelling (empty: none).
std::string_view Canonical(std::string_view value, std::initializer_list<const char*> list) {
    for (const char* item : list)
        if (EqualsNoCase(value, item))
            return item;
    return {};
}

[[noreturn]] void RejectCode(std::string_view raw, const char* block) {
    std::string where = !Canonical(raw, kTranCodes).empty()      ? "a <Transaction>"
                        : !Canonical(raw, kAdminCodes).empty()   ? "an <Admin>"
                        : !Canonical(raw, kCorvaneCodes).empty() ? "a <Corvane>"
                                                                 : "";
    if (where.empty())
        RejectClient(rc::kUnknownCode, "Unknown TranCode in <" + std::string(block) + ">: " + Clip(raw));
    RejectClient(rc::kUnknownCode, "TranCode " + Clip(raw) + " belongs in " + where + " block");
}

bool IsYes(std::string_view value) {
    return EqualsNoCase(value, "Yes") || EqualsNoCase(value, "True") || value == "1";
}

bool IsIdentifier(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; });
}

std::string_view ReadMerchant(const CSimRequest& request) {
    std::string_view merchant = request.Require("MerchantID");
    if (merchant.size() > kMaxId || !IsIdentifier(merchant))
        RejectClient(rc::kInvalidField, "Invalid MerchantID: letters, digits and '-', at most 24");
    return merchant;
}

std::string_view ReadText(const CSimRequest& request, std::string_view name, std::size_t max) {
    std::string_view value = request.Get(name);
    if (value.size() > max)
        RejectClient(rc::kInvalidField,
                     std::string(name) + " longer than " + std::to_string(max) + " characters");
    return value;
}

std::string_view ReadDigits(const CSimRequest& request, std::string_view name, std::size_t max,
                            bool required) {
    std::string_view value = required ? request.Require(name) : request.Get(name);
    if (!value.empty() && (!IsDigits(value) || value.size() > max))
        RejectClient(rc::kInvalidField,
                     "Invalid " + std::string(name) + ": 1 to " + std::to_string(max) + " digits expected");
    return value;
}

// -1 when the amount is absent and not required.
std::int64_t ReadAmount(const CSimRequest& request, std::string_view name, bool required, bool allowZero) {
    if (!request.Has(name)) {
        if (required)
            RejectClient(rc::kMissingField, "Missing " + std::string(name));
        return -1;
    }
    std::string_view text = request.Get(name);
    std::int64_t cents = 0;
    if (!ParseAmount(text, cents))
        RejectClient(rc::kInvalidField, "Invalid " + std::string(name) + ": " + Clip(text));
    if (cents > kMaxAmount)
        RejectClient(rc::kInvalidField, std::string(name) + " over the limit of " + FormatAmount(kMaxAmount));
    if (cents == 0 && !allowZero)
        RejectClient(rc::kInvalidField, std::string(name) + " must be more than 0.00");
    return cents;
}

// Spreads FNV-1a's output so that tokens of neighbouring records look unrelated.
std::uint32_t Mix(std::uint32_t fnv) {
    std::uint32_t h = fnv;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// The hash of "<purpose>|<merchant>|<sequence>", fed piece by piece.
std::uint32_t TokenHash(std::string_view purpose, std::string_view merchant, std::uint64_t seq) {
    char digits[20];
    std::string_view seqText(digits,
                             static_cast<std::size_t>(std::to_chars(digits, digits + 20, seq).ptr - digits));
    std::uint32_t h = Fnv1a(purpose);
    h = Fnv1a("|", h);
    h = Fnv1a(merchant, h);
    h = Fnv1a("|", h);
    return Mix(Fnv1a(seqText, h));
}

// "R", eight hexadecimal digits, the six-digit sequence.
constexpr std::size_t kRecordNoLength = 15;

std::string Hex8(std::uint32_t value) {
    const char* digits = "0123456789ABCDEF";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = digits[value & 0xF];
    return out;
}

// Six characters without the easily confused I and O.
std::string AuthCodeFor(std::uint32_t hash) {
    const char* alphabet = "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ";
    std::string out(6, '0');
    for (char& c : out) {
        c = alphabet[hash % 34];
        hash /= 34;
    }
    return out;
}

CSimResponse Declined(std::string reason) {
    return CSimResponse(kOriginProcessor, rc::kDeclined, kStatusDeclined, std::move(reason));
}

CSimResponse Approved() {
    return CSimResponse(kOriginProcessor, rc::kOk, kStatusApproved, "APPROVED");
}

void AddAmounts(CSimResponse& response, std::int64_t purchase, std::int64_t authorize,
                std::int64_t gratuity) {
    response.Begin("Amount");
    response.Add("Purchase", FormatAmount(purchase));
    response.Add("Authorize", FormatAmount(authorize));
    if (gratuity >= 0)
        response.Add("Gratuity", FormatAmount(gratuity));
    response.End();
}

// The expiry rule needs no clock: two-digit years 00 to 19 count as expired.
bool Expired(std::string_view mmyy) {
    return mmyy.size() == 4 && mmyy[2] < '2';
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

std::string CSimProcessor::Submit(std::string_view text) {
    std::string trace;
    try {
        CSimRequest request(text);
        trace = request.Get("UserTraceData");
        if (trace.size() > kMaxText) {
            trace.clear();
            RejectClient(rc::kInvalidField, "UserTraceData longer than 256 characters");
        }
        CSimResponse response = Run(request);
        response.SetUserTrace(trace);
        return response.ToXml();
    } catch (CSimReject& reject) {
        reject.response.SetUserTrace(trace);
        return reject.response.ToXml();
    }
}

CSimResponse CSimProcessor::Run(const CSimRequest& request) {
    if (request.Block() == "Admin")
        return Admin(request);
    if (request.Block() == "Corvane")
        return Corvane(request);
    return Transaction(request);
}

CSimResponse CSimProcessor::Transaction(const CSimRequest& request) {
    std::string_view raw = request.Require("TranCode");
    std::string_view code = Canonical(raw, kTranCodes);
    if (code.empty())
        RejectCode(raw, "Transaction");

    std::string_view type;
    if (!request.Has("TranType")) {
        type = code == "Balance" ? "PrePaid" : "Credit";
    } else {
        type = Canonical(request.Get("TranType"), {"Credit", "PrePaid"});
        if (type.empty())
            RejectClient(rc::kUnknownCode, "Unknown TranType: " + Clip(request.Get("TranType")));
    }
    bool creditOnly = code == "PreAuth" || code == "PreAuthCapture" || code == "Adjust";
    if ((type == "PrePaid" && creditOnly) || (type == "Credit" && code == "Balance"))
        RejectClient(rc::kUnknownCode,
                     "TranCode " + std::string(code) + " is not offered for TranType " + std::string(type));
    if (request.Has("Frequency") && Canonical(request.Get("Frequency"), {"OneTime", "Recurring"}).empty())
        RejectClient(rc::kInvalidField, "Invalid Frequency: OneTime or Recurring expected");

    if (code == "Sale" || code == "Return" || code == "PreAuth" || code == "Balance")
        return NewTransaction(request, code, type);
    return FollowUp(request, code, type);
}

CSimResponse CSimProcessor::NewTransaction(const CSimRequest& request, std::string_view code,
                                           std::string_view type) {
    bool prepaid = type == "PrePaid";
    SRecord record;
    record.strMerchant = ReadMerchant(request);
    record.strTranType = type;
    record.kind = code == "Return" ? EKind::Return : code == "PreAuth" ? EKind::PreAuth : EKind::Sale;
    record.strTerminal = ReadText(request, "TerminalID", kMaxId);
    record.strOperator = ReadText(request, "OperatorID", kMaxId);
    record.strMemo = ReadText(request, "Memo", kMaxText);
    SSimCard card = ReadCard(request, prepaid);
    record.strAccount = card.strAccount;
    record.strCardType = CardTypeOf(card.strAccount, prepaid);
    record.strInvoice = ReadDigits(request, "InvoiceNo", 10, code != "Balance");
    record.strRefNo = request.Get("RefNo");
    if (!record.strRefNo.empty() && (record.strRefNo.size() > 12 || !IsIdentifier(record.strRefNo)))
        RejectClient(rc::kInvalidField, "Invalid RefNo: letters and digits, at most 12");
    if (record.strRefNo.empty())
        record.strRefNo = record.strInvoice;
    std::string_view zip = ReadText(request, "Zip", 10);

    std::int64_t gratuity = -1;
    if (code == "Sale") {
        record.nPurchase = ReadAmount(request, "Purchase", true, false);
        gratuity = ReadAmount(request, "Gratuity", false, true);
        record.nGratuity = std::max<std::int64_t>(gratuity, 0);
        record.nAuthorize = record.nPurchase + record.nGratuity;
    } else if (code == "Return") {
        record.nPurchase = record.nAuthorize = ReadAmount(request, "Purchase", true, false);
    } else if (code == "PreAuth") {
        bool given = request.Has("Authorize") || !request.Has("Purchase");
        record.nAuthorize = record.nPurchase =
            ReadAmount(request, given ? "Authorize" : "Purchase", true, false);
    }
    unsigned batch = BatchOf(record.strMerchant);

    const char* decline = nullptr;
    std::int64_t charged = code == "PreAuth" ? record.nAuthorize : record.nPurchase;
    if (EndsWith(card.strAccount, "0002"))
        decline = "DECLINE";
    else if (!prepaid && Expired(card.strExpDate))
        decline = "EXPIRED CARD";
    else if (code != "Balance" && charged % 100 == 5)
        decline = "DECLINE";
    else if (prepaid && code == "Sale" && GiftBalance(card.strAccount) < record.nAuthorize)
        decline = "INSUFFICIENT FUNDS";
    if (decline) {
        CSimResponse response = Declined(decline);
        Describe(response, record, code);
        if (code != "Balance")
            AddAmounts(response, record.nPurchase, record.nAuthorize, gratuity);
        if (prepaid)
            response.Add("Balance", FormatAmount(GiftBalance(card.strAccount)));
        return response;
    }

    CSimResponse response = Approved();
    if (code == "Balance") {
        Describe(response, record, code);
        response.Add("Balance", FormatAmount(GiftBalance(card.strAccount)));
        return response;
    }
    std::int64_t* balance = prepaid ? &GiftBalance(card.strAccount) : nullptr;
    record.bCaptured = code != "PreAuth";
    record.nBatch = record.bCaptured ? batch : 0;
    const SRecord& stored = AddRecord(std::move(record));
    if (balance)
        *balance += code == "Return" ? stored.nPurchase : -stored.nAuthorize;

    Describe(response, stored, code);
    response.Add("AuthCode", stored.strAuthCode);
    response.Add("CaptureStatus", stored.bCaptured ? "Captured" : "Authorized");
    if (!zip.empty())
        response.Add("AVSResult", zip.back() == '9' ? "N" : "Y");
    AddAmounts(response, stored.nPurchase, stored.nAuthorize, gratuity);
    AddTokens(response, stored);
    if (balance)
        response.Add("Balance", FormatAmount(*balance));
    AddSignature(response, request);
    return response;
}

CSimResponse CSimProcessor::FollowUp(const CSimRequest& request, std::string_view code,
                                     std::string_view type) {
    // Client checks first, then the record (Server), then the processor's answer.
    std::string_view merchant = ReadMerchant(request);
    std::string_view recordNo = request.Require("RecordNo");
    std::string_view terminal = ReadText(request, "TerminalID", kMaxId);
    std::string_view op = ReadText(request, "OperatorID", kMaxId);
    std::string_view memo = ReadText(request, "Memo", kMaxText);
    std::int64_t purchase = ReadAmount(request, "Purchase", code == "PreAuthCapture", false);
    std::int64_t gratuity = -1;
    if (code == "PreAuthCapture")
        gratuity = ReadAmount(request, "Gratuity", false, true);
    else if (code == "Adjust")
        gratuity = ReadAmount(request, "Gratuity", true, true);

    SRecord* record = FindRecord(recordNo);
    if (!record || record->strMerchant != merchant)
        RejectServer(rc::kNoRecord, "Record not found: " + Clip(recordNo));

    auto same = [&](const char* name, std::string_view original) {
        if (request.Has(name) && request.Get(name) != original)
            RejectServer(rc::kMismatch, std::string(name) + " does not match the original transaction");
    };
    same("RefNo", record->strRefNo);
    same("AuthCode", record->strAuthCode);
    same("AcqRefData", AcqRefDataOf(*record));
    same("ProcessData", ProcessDataOf(*record));
    same("InvoiceNo", record->strInvoice);
    if (request.Has("TranType") && type != record->strTranType)
        RejectServer(rc::kMismatch, "TranType does not match the original transaction");
    if (HasCard(request) &&
        ReadCard(request, record->strTranType == "PrePaid").strAccount != record->strAccount)
        RejectServer(rc::kMismatch, "AcctNo does not match the original transaction");
    if (code != "PreAuthCapture" && purchase >= 0 && purchase != record->nPurchase)
        RejectServer(rc::kMismatch, "Purchase does not match the original transaction");

    bool prepaid = record->strTranType == "PrePaid";
    const char* decline = nullptr;
    if (code == "PreAuthCapture") {
        if (record->kind != EKind::PreAuth)
            RejectServer(rc::kWrongState, "Record is not a pre-authorization");
        if (record->bVoided)
            RejectServer(rc::kWrongState, "Pre-authorization was voided");
        if (record->bCaptured)
            RejectServer(rc::kWrongState, "Pre-authorization already captured");
        if ((purchase + std::max<std::int64_t>(gratuity, 0)) * 100 > record->nAuthorize * 120)
            decline = "OVER AUTH LIMIT";
    } else if (code == "VoidSale" || code == "VoidReturn") {
        bool isReturn = record->kind == EKind::Return;
        if (code == "VoidSale" && isReturn)
            RejectServer(rc::kWrongState, "Record is a return: use VoidReturn");
        if (code == "VoidReturn" && !isReturn)
            RejectServer(rc::kWrongState, "Record is not a return: use VoidSale");
        if (record->bVoided)
            RejectServer(rc::kWrongState, "Transaction already voided");
        if (record->bSettled)
            decline = "ALREADY SETTLED";
        else if (prepaid && isReturn && GiftBalance(record->strAccount) < record->nPurchase)
            decline = "INSUFFICIENT FUNDS";
    } else { // Adjust
        if (prepaid)
            RejectServer(rc::kWrongState, "Only credit sales take a gratuity adjustment");
        if (record->kind == EKind::Return)
            RejectServer(rc::kWrongState, "A return takes no gratuity");
        if (record->kind == EKind::PreAuth && !record->bCaptured)
            RejectServer(rc::kWrongState, "Pre-authorization not captured yet");
        if (record->bVoided)
            RejectServer(rc::kWrongState, "Transaction already voided");
        if (record->bSettled)
            decline = "ALREADY SETTLED";
        else if (gratuity > record->nPurchase)
            decline = "GRATUITY OVER LIMIT";
    }

    SRecord shown = *record;
    if (!terminal.empty())
        shown.strTerminal = terminal;
    if (!op.empty())
        shown.strOperator = op;
    if (!memo.empty())
        shown.strMemo = memo;
    if (decline) {
        CSimResponse response = Declined(decline);
        Describe(response, shown, code);
        std::int64_t asked = code == "PreAuthCapture" ? purchase : record->nPurchase;
        AddAmounts(response, asked, record->nAuthorize, gratuity);
        if (prepaid)
            response.Add("Balance", FormatAmount(GiftBalance(record->strAccount)));
        return response;
    }

    if (code == "PreAuthCapture") {
        record->bCaptured = true;
        record->nPurchase = purchase;
        record->nGratuity = std::max<std::int64_t>(gratuity, 0);
        record->nBatch = BatchOf(merchant);
    } else if (code == "Adjust") {
        record->nGratuity = gratuity;
        if (record->kind == EKind::Sale)
            record->nAuthorize = record->nPurchase + gratuity;
    } else {
        record->bVoided = true;
        if (prepaid && record->bCaptured)
            GiftBalance(record->strAccount) +=
                record->kind == EKind::Return ? -record->nPurchase : record->nPurchase + record->nGratuity;
    }

    shown.bCaptured = record->bCaptured;
    shown.nPurchase = record->nPurchase;
    shown.nAuthorize = record->nAuthorize;
    shown.nGratuity = record->nGratuity;
    CSimResponse response = Approved();
    Describe(response, shown, code);
    response.Add("AuthCode", record->strAuthCode);
    response.Add("CaptureStatus", record->bVoided ? "Voided" : "Captured");
    bool showTip = record->kind != EKind::Return && (record->nGratuity > 0 || gratuity >= 0);
    AddAmounts(response, record->nPurchase, record->nAuthorize, showTip ? record->nGratuity : -1);
    AddTokens(response, *record);
    if (prepaid)
        response.Add("Balance", FormatAmount(GiftBalance(record->strAccount)));
    return response;
}

CSimResponse CSimProcessor::Admin(const CSimRequest& request) {
    std::string_view raw = request.Require("TranCode");
    std::string_view code = Canonical(raw, kAdminCodes);
    if (code.empty())
        RejectCode(raw, "Admin");
    std::string_view merchant = ReadMerchant(request);
    unsigned& batch = BatchOf(merchant);
    SBatchTotals totals = Totals(merchant, batch);
    int items = totals.nSales + totals.nReturns;
    std::int64_t net = totals.nSaleAmount - totals.nReturnAmount;
    bool close = code == "BatchClose";

    std::string text = "Batch " + std::to_string(batch) + (close ? " closed: " : ": ") +
                       std::to_string(items) + (items == 1 ? " item" : " items") + ", net " +
                       FormatAmount(net);
    CSimResponse response(kOriginProcessor, rc::kOk, kStatusSuccess, text);
    response.SetBody("AdminResponse");
    response.Add("MerchantID", merchant);
    response.Add("TranCode", code);
    response.Add("BatchNo", std::to_string(batch));
    response.Add("BatchItemCount", std::to_string(items));
    response.Add("SaleCount", std::to_string(totals.nSales));
    response.Add("SaleAmount", FormatAmount(totals.nSaleAmount));
    response.Add("GratuityAmount", FormatAmount(totals.nGratuity));
    response.Add("ReturnCount", std::to_string(totals.nReturns));
    response.Add("ReturnAmount", FormatAmount(totals.nReturnAmount));
    response.Add("VoidCount", std::to_string(totals.nVoids));
    response.Add("NetBatchTotal", FormatAmount(net));

    if (close) {
        for (SRecord& record : m_records) {
            if (record.strMerchant != merchant)
                continue;
            bool droppedHold = record.kind == EKind::PreAuth && record.bVoided && record.nBatch == 0;
            if (record.nBatch == batch || droppedHold)
                record.bSettled = true;
        }
        ++batch;
    }
    return response;
}

CSimResponse CSimProcessor::Corvane(const CSimRequest& request) {
    std::string_view raw = request.Require("TranCode");
    std::string_view code = Canonical(raw, kCorvaneCodes);
    if (code.empty())
        RejectCode(raw, "Corvane");
    if (code == "EchoTest")
        return CSimResponse(kOriginServer, rc::kOk, kStatusSuccess, "Echo test OK");
    if (!m_bSignaturePad)
        RejectClient(rc::kUnsupported, "GetSignature needs the signature pad of the device component");
    CSimResponse response(kOriginClient, rc::kOk, kStatusSuccess, "Signature captured");
    response.SetBody("DeviceResponse");
    response.Add("TranCode", code);
    response.Add("Signature", MakeSignature(Fnv1a("sig|" + std::to_string(++m_nSignatures))));
    return response;
}

unsigned& CSimProcessor::BatchOf(std::string_view merchant) {
    auto it = m_batches.find(merchant);
    if (it != m_batches.end())
        return it->second;
    if (m_batches.size() >= kMaxMerchants)
        RejectServer(rc::kCapacity, "Too many merchants (" + std::to_string(kMaxMerchants) + ")");
    return m_batches.emplace(std::string(merchant), 1u).first->second;
}

std::int64_t& CSimProcessor::GiftBalance(std::string_view account) {
    auto it = m_giftBalances.find(account);
    if (it != m_giftBalances.end())
        return it->second;
    if (m_giftBalances.size() >= kMaxGiftAccounts)
        RejectServer(rc::kCapacity, "Too many gift accounts (" + std::to_string(kMaxGiftAccounts) + ")");
    return m_giftBalances.emplace(std::string(account), kGiftOpeningBalance).first->second;
}

CSimProcessor::SRecord& CSimProcessor::AddRecord(SRecord&& record) {
    if (m_records.size() >= kMaxRecords) {
        // Forget the oldest record that can no longer change.
        auto it = std::find_if(m_records.begin(), m_records.end(),
                               [](const SRecord& item) { return item.bSettled; });
        if (it == m_records.end())
            RejectServer(rc::kCapacity, "Record store full (" + std::to_string(kMaxRecords) +
                                            " open records): close the batch");
        m_records.erase(it);
    }
    record.nSeq = ++m_nSeq;
    const std::string& merchant = record.strMerchant;
    const std::uint64_t seq = record.nSeq;
    record.strAuthCode = AuthCodeFor(TokenHash("auth", merchant, seq));
    record.strRecordNo = "R";
    record.strRecordNo += Hex8(TokenHash("rec", merchant, seq));
    record.strRecordNo += Padded(seq, 6);
    record.nOpenBatch = BatchOf(merchant);
    return m_records.emplace_back(std::move(record));
}

std::string CSimProcessor::AcqRefDataOf(const SRecord& record) {
    std::string text = "b";
    text += Padded(record.nOpenBatch, 3);
    text += 'c';
    text += Padded(record.nSeq, 6);
    text += 'd';
    text += record.strAuthCode;
    return text;
}

std::string CSimProcessor::ProcessDataOf(const SRecord& record) {
    const std::uint64_t trace =
        (static_cast<std::uint64_t>(TokenHash("proc", record.strMerchant, record.nSeq)) << 32) |
        TokenHash("data", record.strMerchant, record.nSeq);
    return "|00|" + Padded(trace, 12);
}

CSimProcessor::SRecord* CSimProcessor::FindRecord(std::string_view recordNo) {
    // A RecordNo ends in its sequence modulo 10^6, so only those sequences can hold it; the
    // newest wins should two ever share one.
    constexpr std::uint64_t kWrap = 1000000;
    if (recordNo.size() != kRecordNoLength || !IsDigits(recordNo.substr(kRecordNoLength - 6)))
        return nullptr;
    std::uint64_t low = 0;
    for (char c : recordNo.substr(kRecordNoLength - 6))
        low = low * 10 + static_cast<std::uint64_t>(c - '0');
    if (low > m_nSeq)
        return nullptr;
    for (std::uint64_t seq = low + (m_nSeq - low) / kWrap * kWrap;; seq -= kWrap) {
        auto it = std::lower_bound(
            m_records.begin(), m_records.end(), seq,
            [](const SRecord& record, std::uint64_t wanted) { return record.nSeq < wanted; });
        if (it != m_records.end() && it->nSeq == seq && it->strRecordNo == recordNo)
            return &*it;
        if (seq < kWrap)
            return nullptr;
    }
}

CSimProcessor::SBatchTotals CSimProcessor::Totals(std::string_view merchant, unsigned batch) const {
    SBatchTotals totals;
    for (const SRecord& record : m_records) {
        if (record.strMerchant != merchant || record.nBatch != batch || record.bSettled)
            continue;
        if (record.bVoided) {
            ++totals.nVoids;
        } else if (record.kind == EKind::Return) {
            ++totals.nReturns;
            totals.nReturnAmount += record.nPurchase;
        } else {
            ++totals.nSales;
            totals.nSaleAmount += record.nPurchase + record.nGratuity;
            totals.nGratuity += record.nGratuity;
        }
    }
    return totals;
}

void CSimProcessor::Describe(CSimResponse& response, const SRecord& record, std::string_view code) const {
    response.SetBody("TranResponse");
    response.Add("MerchantID", record.strMerchant);
    response.Add("TerminalID", record.strTerminal.empty() ? std::string_view("001") : record.strTerminal);
    response.Add("OperatorID", record.strOperator.empty() ? std::string_view("TEST") : record.strOperator);
    response.Add("TranType", record.strTranType);
    response.Add("TranCode", code);
    response.Add("AcctNo", MaskAccount(record.strAccount));
    response.Add("ExpDate", "XXXX");
    response.Add("CardType", record.strCardType);
    response.AddIfAny("RefNo", record.strRefNo);
    response.AddIfAny("InvoiceNo", record.strInvoice);
    response.AddIfAny("Memo", record.strMemo);
}

void CSimProcessor::AddTokens(CSimResponse& response, const SRecord& record) const {
    response.Add("AcqRefData", AcqRefDataOf(record));
    response.Add("ProcessData", ProcessDataOf(record));
    response.Add("RecordNo", record.strRecordNo);
}

void CSimProcessor::AddSignature(CSimResponse& response, const CSimRequest& request) {
    if (m_bSignaturePad && IsYes(request.Get("SignatureRequested")))
        response.Add("Signature", MakeSignature(Fnv1a("sig|" + std::to_string(++m_nSignatures))));
}

} // namespace tvxsim
