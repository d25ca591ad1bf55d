// CLatencyHistogram: latencies in microseconds, counted in buckets of fixed relative precision
// (HdrHistogram's method, 3 significant digits), so a run of any length keeps a few hundred
// kilobytes however many samples it has, and percentiles are within 0.1% of the true value.
#pragma once

#include <cstdint>
#include <vector>

class CLatencyHistogram {
public:
    static constexpr std::uint64_t kHighest = 3'600'000'000; // one hour in microseconds; above is counted there

    CLatencyHistogram();

    void Record(std::uint64_t nMicros);
    void Add(const CLatencyHistogram& other);

    std::uint64_t Count() const { return m_nTotal; }
    std::uint64_t Max() const { return m_nMax; }
    double Mean() const { return m_nTotal ? static_cast<double>(m_nSum) / static_cast<double>(m_nTotal) : 0; }
    // The value at or below which dPercent of the samples fall, as the highest value of its bucket
    // (never above the largest sample); 0 without samples.
    std::uint64_t Percentile(double dPercent) const;

    // Each non-empty bucket: its lowest value and its count, in rising order.
    struct SBucket {
        std::uint64_t nLowest, nCount;
    };
    std::vector<SBucket> Buckets() const;

private:
    static std::size_t IndexOf(std::uint64_t nValue);
    static std::uint64_t LowestOf(std::size_t nIndex);
    static std::uint64_t HighestOf(std::size_t nIndex);

    std::vector<std::uint64_t> m_counts;
    std::uint64_t m_nTotal = 0, m_nMax = 0, m_nSum = 0;
};
