#pragma once

#include "engine/SearchIndex.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

// Builds the search index on threads of their own while the pages are written, so the split
// waits for the index only where the index is the slower. The bytes are copied into pieces
// of bounded size, a few in flight, the split waiting when they are all in use. Runs of whole
// pages go to the threads in turn, each reading its pages into an index of its own, and the
// parts are joined at the end into the index one thread would have made.
class SearchIndexer
{
public:
    // No thread: the bytes are indexed as they are fed, as where no thread can be made.
    static constexpr unsigned kCallersThread = ~0u;

    // threads: 0 for one per processor, two at least and four at most; or kCallersThread.
    SearchIndexer(searchtext::Encoding encoding, std::string_view documentTitle,
                  unsigned threads = 0);
    // Stops the threads; an index not finished is dropped.
    ~SearchIndexer();
    SearchIndexer(const SearchIndexer&) = delete;
    SearchIndexer& operator=(const SearchIndexer&) = delete;

    // As SearchIndex's, in the same order.
    void StartPage(std::string pageHref);
    void Feed(const char* data, std::size_t count);

    // Waits for every byte fed to be indexed and hands over the index. Throws what building
    // it threw. Nothing may be fed after.
    SearchIndex& Finish();

private:
    struct PageStart
    {
        std::size_t At = 0; // in Bytes
        std::string Href;
    };
    // Bytes, with the pages that start among them: short pages share a piece, since handing
    // one over wakes a thread.
    struct Piece
    {
        std::string Bytes;
        std::vector<PageStart> Pages;
        bool NewRun = false; // starts a run of pages; otherwise it goes on with the last piece's
        std::size_t Run = 0;
    };
    struct Worker
    {
        std::deque<Piece> Queue;
        // The runs read: their numbers, and the sections the part had when each began.
        std::vector<std::pair<std::size_t, std::size_t>> RunStarts;
        std::exception_ptr Failure;
        std::thread Thread;
    };

    void Send();
    void Run(std::size_t worker);
    void Stop(); // drops what is not read yet and joins the threads

    std::vector<SearchIndex> m_parts; // one per worker, each touched by its thread only
    std::optional<SearchIndex> m_whole;
    Piece m_filling;
    std::size_t m_runs = 0;
    std::size_t m_runBytes = 0; // fed since the run began
    bool m_joined = false;      // the threads are done
    bool m_inline = false;      // no threads: m_parts' one part reads what is fed
    std::size_t m_lastWorker = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_spare; // emptied pieces' buffers, reused
    bool m_closing = false;           // nothing more comes
    bool m_dropping = false;          // the rest is not wanted
    std::vector<std::unique_ptr<Worker>> m_workers;
};
