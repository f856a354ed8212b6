#include "engine/SearchIndexer.h"

#include <algorithm>
#include <utility>

namespace {
// Large enough that handing a piece over costs nothing next to indexing it, small enough that
// the pieces in flight stay a few MiB.
constexpr std::size_t kPieceBytes = 1024 * 1024;
constexpr std::size_t kPiecesQueued = 2; // for each thread
// A page that starts after this much of a run starts the next run, so the threads share short
// pages too.
constexpr std::size_t kRunBytes = 256 * 1024;
} // namespace

SearchIndexer::SearchIndexer(searchtext::Encoding encoding, std::string_view documentTitle,
                             unsigned threads)
{
    if (threads == kCallersThread) {
        m_parts.emplace_back(encoding, documentTitle);
        m_inline = true;
        return;
    }
    if (threads == 0)
        threads = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
    for (unsigned i = 0; i < threads; ++i)
        m_parts.emplace_back(encoding, documentTitle);
    m_lastWorker = threads - 1;
    m_filling.NewRun = true;
    m_filling.Bytes.reserve(kPieceBytes);
    for (unsigned i = 0; i < threads; ++i)
        m_workers.push_back(std::make_unique<Worker>());
    try {
        for (unsigned i = 0; i < threads; ++i)
            m_workers[i]->Thread = std::thread(&SearchIndexer::Run, this, i);
    } catch (const std::system_error&) {
        // Out of threads (a limit on processes, say): the split indexes as it goes, slower
        // but whole.
        Stop();
        m_workers.clear();
        m_parts.erase(m_parts.begin() + 1, m_parts.end());
        m_filling = {};
        m_closing = m_dropping = false;
        m_inline = true;
    }
}

SearchIndexer::~SearchIndexer()
{
    Stop();
}

void SearchIndexer::Stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
        m_dropping = true;
    }
    m_changed.notify_all();
    for (const auto& worker : m_workers) {
        if (worker->Thread.joinable())
            worker->Thread.join();
    }
}

void SearchIndexer::StartPage(std::string pageHref)
{
    if (m_inline) {
        m_parts.front().StartPage(std::move(pageHref));
        return;
    }
    if (m_runBytes >= kRunBytes) {
        if (!m_filling.Bytes.empty() || !m_filling.Pages.empty())
            Send();
        m_filling.NewRun = true;
        m_runBytes = 0;
    }
    m_filling.Pages.push_back({m_filling.Bytes.size(), std::move(pageHref)});
}

void SearchIndexer::Feed(const char* data, std::size_t count)
{
    if (m_inline) {
        m_parts.front().Feed(data, count);
        return;
    }
    while (count > 0) {
        const std::size_t take = std::min(count, kPieceBytes - m_filling.Bytes.size());
        m_filling.Bytes.append(data, take);
        m_runBytes += take;
        data += take;
        count -= take;
        if (m_filling.Bytes.size() == kPieceBytes)
            Send();
    }
}

void SearchIndexer::Send()
{
    // A piece that goes on with a run stays with the thread reading that run.
    const std::size_t target =
        m_filling.NewRun ? (m_lastWorker + 1) % m_workers.size() : m_lastWorker;
    if (m_filling.NewRun)
        m_filling.Run = m_runs++;
    std::unique_lock lock(m_mutex);
    Worker& worker = *m_workers[target];
    m_changed.wait(lock, [&] { return worker.Queue.size() < kPiecesQueued; });
    worker.Queue.push_back(std::move(m_filling));
    m_lastWorker = target;
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
    if (m_whole)
        return *m_whole;
    if (m_inline) {
        const std::vector<SearchIndex::Run> runs{{0, 0, m_parts.front().Sections()}};
        m_whole.emplace(SearchIndex::Joined(m_parts, runs));
        m_parts.clear();
        return *m_whole;
    }
    if (!m_joined) {
        if (!m_filling.Pages.empty() || !m_filling.Bytes.empty())
            Send();
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (const auto& worker : m_workers)
            worker->Thread.join();
        m_joined = true;
    }
    for (const auto& worker : m_workers) {
        if (worker->Failure)
            std::rethrow_exception(worker->Failure);
    }
    // Where each run's sections are in its part.
    std::vector<SearchIndex::Run> runs(m_runs);
    for (std::size_t i = 0; i < m_workers.size(); ++i) {
        const auto& starts = m_workers[i]->RunStarts;
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const std::size_t end =
                k + 1 < starts.size() ? starts[k + 1].second : m_parts[i].Sections();
            runs[starts[k].first] = {i, starts[k].second, end};
        }
    }
    m_whole.emplace(SearchIndex::Joined(m_parts, runs));
    m_parts.clear();
    return *m_whole;
}

void SearchIndexer::Run(std::size_t index)
{
    Worker& worker = *m_workers[index];
    SearchIndex& part = m_parts[index];
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return !worker.Queue.empty() || m_closing; });
        if (m_dropping || (worker.Queue.empty() && m_closing))
            return;
        Piece piece = std::move(worker.Queue.front());
        worker.Queue.pop_front();
        lock.unlock();
        m_changed.notify_all();
        // Every piece is taken, so the split never waits on a thread that has given up.
        if (!worker.Failure) {
            try {
                if (piece.NewRun)
                    worker.RunStarts.emplace_back(piece.Run, part.Sections());
                std::size_t done = 0;
                for (PageStart& page : piece.Pages) {
                    part.Feed(piece.Bytes.data() + done, page.At - done);
                    done = page.At;
                    part.StartPage(std::move(page.Href));
                }
                part.Feed(piece.Bytes.data() + done, piece.Bytes.size() - done);
            } catch (...) {
                worker.Failure = std::current_exception();
            }
        }
        piece.Bytes.clear();
        lock.lock();
        if (m_spare.size() < kPiecesQueued * m_workers.size())
            m_spare.push_back(std::move(piece.Bytes));
    }
}
