// CHookGuard: sets a test hook for the life of a scope and puts back the one that was there.
#pragma once

#include <utility>

template <typename Hook> class CHookGuard {
public:
    CHookGuard(Hook& slot, Hook hook) : m_slot(slot), m_previous(std::move(slot)) { m_slot = std::move(hook); }
    ~CHookGuard() { m_slot = std::move(m_previous); }
    CHookGuard(const CHookGuard&) = delete;
    CHookGuard& operator=(const CHookGuard&) = delete;

private:
    Hook& m_slot;
    Hook m_previous;
};
