// The simulated payment processor behind SubmitRequest: transactions, batches and gift balances,
// kept for the life of one component object.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "sim/SimRequest.h"
#include "sim/SimResponse.h"

namespace tvxsim {

// Limits that keep a long session (or a fuzzer) from growing without bound.
inline constexpr std::size_t kMaxRecords = 10000;
inline constexpr std::size_t kMaxMerchants = 1000;
inline constexpr std::size_t kMaxGiftAccounts = 10000;
inline constexpr std::int64_t kGiftOpeningBalance = 10000; // cents

class CSimProcessor {
public:
    // bSignaturePad: the device component, which can capture signatures.
    explicit CSimProcessor(bool bSignaturePad) : m_bSignaturePad(bSignaturePad) {}

    // Answers one request document with an RStream document; never fails on bad input.
    std::string Submit(std::string_view request);

private:
    enum class EKind { Sale, Return, PreAuth };

    struct SRecord {
        std::uint64_t nSeq = 0;
        EKind kind = EKind::Sale;
        std::string strMerchant, strTerminal, strOperator, strTranType, strInvoice, strRefNo;
        std::string strAccount, strCardType, strMemo;
        std::string strAuthCode, strRecordNo;
        std::int64_t nPurchase = 0, nAuthorize = 0, nGratuity = 0;
        bool bCaptured = false, bVoided = false, bSettled = false;
        unsigned nBatch = 0;     // 0: in no batch (an uncaptured pre-authorization)
        unsigned nOpenBatch = 0; // the merchant's open batch when the record was made
    };

    struct SBatchTotals {
        int nSales = 0, nReturns = 0, nVoids = 0;
        std::int64_t nSaleAmount = 0, nGratuity = 0, nReturnAmount = 0;
    };

    CSimResponse Run(const CSimRequest& request);
    CSimResponse Transaction(const CSimRequest& request);
    CSimResponse NewTransaction(const CSimRequest& request, std::string_view code, std::string_view type);
    CSimResponse FollowUp(const CSimRequest& request, std::string_view code, std::string_view type);
    CSimResponse Admin(const CSimRequest& request);
    CSimResponse Corvane(const CSimRequest& request);

    unsigned& BatchOf(std::string_view merchant);
    std::int64_t& GiftBalance(std::string_view account);
    SRecord& AddRecord(SRecord&& record);
    SRecord* FindRecord(std::string_view recordNo); // null: unknown or forgotten
    SBatchTotals Totals(std::string_view merchant, unsigned batch) const;

    // The TranResponse fields every answer about a card transaction carries.
    void Describe(CSimResponse& response, const SRecord& record, std::string_view code) const;
    void AddTokens(CSimResponse& response, const SRecord& record) const;
    // The longer tokens are made again from the record when needed rather than kept: a session
    // holds up to kMaxRecords records, and the host serves hundreds of sessions.
    static std::string AcqRefDataOf(const SRecord& record);
    static std::string ProcessDataOf(const SRecord& record);
    void AddSignature(CSimResponse& response, const CSimRequest& request);

    bool m_bSignaturePad;
    std::uint64_t m_nSeq = 0;
    std::uint32_t m_nSignatures = 0;
    // Oldest first, so in order of nSeq: found by binary search, added at the end. A tree of them
    // spent most of a sale's record keeping on rebalancing nodes long out of the cache.
    std::deque<SRecord> m_records;
    std::map<std::string, unsigned, std::less<>> m_batches;          // merchant -> open batch number
    std::map<std::string, std::int64_t, std::less<>> m_giftBalances; // account -> cents
};

} // namespace tvxsim
