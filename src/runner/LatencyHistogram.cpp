// Buckets of the latency histogram: 2048 sub-buckets (enough for 3 significant digits) in each
// power of two, the lower half of each bucket past the first left out as the one below covers it.
#include "runner/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr int kHalfMagnitude = 10;                      // 1024 = half of 2048 sub-buckets
constexpr std::uint64_t kHalfCount = 1u << kHalfMagnitude;
constexpr std::uint64_t kSubMask = 2 * kHalfCount - 1;

int BucketOf(std::uint64_t nValue) { return 63 - std::countl_zero(nValue | kSubMask) - kHalfMagnitude; }

} // namespace

std::size_t CLatencyHistogram::IndexOf(std::uint64_t nValue) {
    const int nBucket = BucketOf(nValue);
    const std::uint64_t nSub = nValue >> nBucket;
    return static_cast<std::size_t>((static_cast<std::uint64_t>(nBucket + 1) << kHalfMagnitude) + nSub - kHalfCount);
}

std::uint64_t CLatencyHistogram::LowestOf(std::size_t nIndex) {
    int nBucket = static_cast<int>(nIndex >> kHalfMagnitude) - 1;
    std::uint64_t nSub = (nIndex & (kHalfCount - 1)) + kHalfCount;
    if (nBucket < 0) {
        nSub -= kHalfCount;
        nBucket = 0;
    }
    return nSub << nBucket;
}

std::uint64_t CLatencyHistogram::HighestOf(std::size_t nIndex) {
    return LowestOf(nIndex + 1) - 1;
}

CLatencyHistogram::CLatencyHistogram() : m_counts(IndexOf(kHighest) + 1) {}

void CLatencyHistogram::Record(std::uint64_t nMicros) {
    const std::uint64_t nValue = std::min(nMicros, kHighest);
    ++m_counts[IndexOf(nValue)];
    ++m_nTotal;
    m_nSum += nValue;
    m_nMax = std::max(m_nMax, nValue);
}

void CLatencyHistogram::Add(const CLatencyHistogram& other) {
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        m_counts[i] += other.m_counts[i];
    m_nTotal += other.m_nTotal;
    m_nSum += other.m_nSum;
    m_nMax = std::max(m_nMax, other.m_nMax);
}

std::uint64_t CLatencyHistogram::Percentile(double dPercent) const {
    if (m_nTotal == 0)
        return 0;
    const double dWanted = std::ceil(std::clamp(dPercent, 0.0, 100.0) / 100.0 * static_cast<double>(m_nTotal));
    const std::uint64_t nWanted = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(dWanted));
    std::uint64_t nSeen = 0;
    for (std::size_t i = 0; i < m_counts.size(); ++i) {
        nSeen += m_counts[i];
        if (nSeen >= nWanted)
            return std::min(HighestOf(i), m_nMax);
    }
    return m_nMax;
}

std::vector<CLatencyHistogram::SBucket> CLatencyHistogram::Buckets() const {
    std::vector<SBucket> buckets;
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        if (m_counts[i])
            buckets.push_back({LowestOf(i), m_counts[i]});
    return buckets;
}
