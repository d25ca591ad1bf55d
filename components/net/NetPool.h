// The process's idle connections, kept between the network components that use them: a component
// that ends gives its connections back, and a new one takes one before it opens its own.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tvxnet {

// Idle handles by key (what makes two connections interchangeable), taken and given back from any
// thread. A handle is in one place at a time: the pool or the one link using it. Bounded per key
// and in all, the oldest closed first; a handle idle past the limit is closed, not handed out.
template <class Handle> class CIdlePool {
public:
    using Clock = std::chrono::steady_clock;
    struct SLimits {
        std::size_t nPerKey;
        std::size_t nTotal;
        Clock::duration idle;
    };

    explicit CIdlePool(SLimits limits) : m_limits(limits) {}
    CIdlePool(const CIdlePool&) = delete;
    CIdlePool& operator=(const CIdlePool&) = delete;

    // The handle of key given back last (the one the host is least likely to have closed), or none.
    std::unique_ptr<Handle> Take(const std::string& key, Clock::time_point now) {
        std::vector<std::unique_ptr<Handle>> closing; // closed outside the lock
        std::unique_ptr<Handle> taken;
        {
            const std::lock_guard lock(m_mutex);
            DropStale(now, closing);
            for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it)
                if (it->strKey == key) {
                    taken = std::move(it->handle);
                    m_idle.erase(std::next(it).base());
                    break;
                }
        }
        return taken;
    }

    // Keeps handle for the next taker of key, closing the oldest beyond the bounds; once the pool
    // is closed, closes it at once.
    void Return(std::string key, std::unique_ptr<Handle> handle, Clock::time_point now) {
        std::vector<std::unique_ptr<Handle>> closing; // closed outside the lock
        const std::lock_guard lock(m_mutex);
        if (m_bClosed || !handle) {
            closing.push_back(std::move(handle));
            return;
        }
        DropStale(now, closing);
        const auto sameKey = [&](const SIdle& idle) { return idle.strKey == key; };
        if (static_cast<std::size_t>(std::count_if(m_idle.begin(), m_idle.end(), sameKey)) >=
            m_limits.nPerKey) {
            const auto oldest = std::find_if(m_idle.begin(), m_idle.end(), sameKey);
            closing.push_back(std::move(oldest->handle));
            m_idle.erase(oldest);
        }
        if (m_idle.size() >= m_limits.nTotal) {
            closing.push_back(std::move(m_idle.front().handle));
            m_idle.pop_front();
        }
        m_idle.push_back({std::move(key), std::move(handle), now});
    }

    // Closes every idle handle; later ones given back are closed at once. Run at exit, before the
    // TLS library cleans up after itself.
    void Close() {
        std::deque<SIdle> closing;
        {
            const std::lock_guard lock(m_mutex);
            m_bClosed = true;
            closing.swap(m_idle);
        }
    }

    std::size_t Size() {
        const std::lock_guard lock(m_mutex);
        return m_idle.size();
    }

private:
    struct SIdle {
        std::string strKey;
        std::unique_ptr<Handle> handle;
        Clock::time_point since;
    };
    // The oldest come first: those idle too long are at the front.
    void DropStale(Clock::time_point now, std::vector<std::unique_ptr<Handle>>& closing) {
        while (!m_idle.empty() && now - m_idle.front().since >= m_limits.idle) {
            closing.push_back(std::move(m_idle.front().handle));
            m_idle.pop_front();
        }
    }

    const SLimits m_limits;
    std::mutex m_mutex;
    std::deque<SIdle> m_idle; // in the order given back
    bool m_bClosed = false;
};

} // namespace tvxnet
