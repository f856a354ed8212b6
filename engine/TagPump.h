#pragma once

#include "engine/SplitHost.h"

#include <cstddef>

// The host's message pump as a run's body scans meet it: at the first tag of the run and then
// at every host.TagsPerPump()-th tag. Busy can change only inside a call into the host, so it
// is read once after each pump instead of after every tag. Once a run has seen a Stop it stays
// stopped, whatever the host's flag does afterwards.
class TagPump
{
public:
    explicit TagPump(SplitHost& host)
        : m_host(host), m_every(host.TagsPerPump() > 0 ? host.TagsPerPump() : 1)
    {
    }

    // At every tag, before it is read.
    void AtTag()
    {
        if (--m_left == 0)
            Pump();
    }
    // How many tags may come next without a pump; none once stopped, so that the scan asks.
    unsigned QuietTags() const { return m_stopped ? 0 : m_left - 1; }
    // n tags (at most QuietTags()) passed as n calls of AtTag would have.
    void PassedQuietly(std::size_t n) { m_left -= static_cast<unsigned>(n); }
    // Whether a Stop was seen; what the scan asks after every tag.
    bool Stopped() const { return m_stopped; }
    // Asks the host afresh: between scans, where other calls into the host have run.
    bool Busy()
    {
        if (!m_stopped && !m_host.Busy())
            m_stopped = true;
        return !m_stopped;
    }

private:
#if defined(_MSC_VER)
    __declspec(noinline)
#elif defined(__GNUC__)
    __attribute__((noinline))
#endif
        void Pump()
    {
        m_left = m_every;
        m_host.ProcessMessages();
        Busy();
    }

    SplitHost& m_host;
    unsigned m_every;
    unsigned m_left = 1;
    bool m_stopped = false;
};
