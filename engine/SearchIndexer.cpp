#include "engine/SearchIndexer.h"

#include <algorithm>
#include <utility>

namespace {
// Large enough that handing a piece over costs nothing next to indexing it, small enough that
// the pieces in flight stay a few MiB.
constexpr std::size_t kPieceBytes = 1024 * 1024;
constexpr std::size_t kPiecesQueued = 4;
} // namespace

SearchIndexer::SearchIndexer(searchtext::Encoding encoding, std::string_view documentTitle)
    : m_index(encoding, documentTitle), m_thread(&SearchIndexer::Run, this)
{
    m_filling.Bytes.reserve(kPieceBytes);
}

SearchIndexer::~SearchIndexer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
        m_dropping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SearchIndexer::StartPage(std::string pageHref)
{
    m_filling.Pages.push_back({m_filling.Bytes.size(), std::move(pageHref)});
}

void SearchIndexer::Feed(const char* data, std::size_t count)
{
    while (count > 0) {
        const std::size_t take = std::min(count, kPieceBytes - m_filling.Bytes.size());
        m_filling.Bytes.append(data, take);
        data += take;
        count -= take;
        if (m_filling.Bytes.size() == kPieceBytes)
            Send();
    }
}

void SearchIndexer::Send()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kPiecesQueued; });
    m_queue.push_back(std::move(m_filling));
    m_filling = {};
    if (!m_spare.empty()) {
        m_filling.Bytes = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    m_changed.notify_all();
    m_filling.Bytes.reserve(kPieceBytes);
}

SearchIndex& SearchIndexer::Finish()
{
    if (!m_finished) {
        if (!m_filling.Pages.empty() || !m_filling.Bytes.empty())
            Send();
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        m_thread.join();
        m_finished = true;
    }
    if (m_failure)
        std::rethrow_exception(m_failure);
    return m_index;
}

void SearchIndexer::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        if (m_dropping || (m_queue.empty() && m_closing))
            return;
        Piece piece = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        // Every piece is taken, so the split never waits on a thread that has given up.
        if (!m_failure) {
            try {
                std::size_t done = 0;
                for (PageStart& page : piece.Pages) {
                    m_index.Feed(piece.Bytes.data() + done, page.At - done);
                    done = page.At;
                    m_index.StartPage(std::move(page.Href));
                }
                m_index.Feed(piece.Bytes.data() + done, piece.Bytes.size() - done);
            } catch (...) {
                m_failure = std::current_exception();
            }
        }
        piece.Bytes.clear();
        lock.lock();
        if (m_spare.size() < kPiecesQueued)
            m_spare.push_back(std::move(piece.Bytes));
        m_changed.notify_all();
    }
}
