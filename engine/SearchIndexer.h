#pragma once

#include "engine/SearchIndex.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Builds the search index on a thread of its own while the pages are written, so the split
// waits for the index only where the index is the slower. The bytes are copied into a few
// pieces of bounded size; the split waits when all are in use.
class SearchIndexer
{
public:
    SearchIndexer(searchtext::Encoding encoding, std::string_view documentTitle);
    // Stops the thread; an index not finished is dropped.
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
    // Bytes, with the pages that start among them: short pages share a piece, since handing
    // one over wakes the thread.
    struct PageStart
    {
        std::size_t At = 0; // in Bytes
        std::string Href;
    };
    struct Piece
    {
        std::string Bytes;
        std::vector<PageStart> Pages;
    };

    void Send();
    void Run();

    SearchIndex m_index;
    Piece m_filling;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_queue;
    std::vector<std::string> m_spare; // emptied pieces' buffers, reused
    bool m_closing = false;           // nothing more comes
    bool m_dropping = false;          // the rest is not wanted
    std::exception_ptr m_failure;
    bool m_finished = false;
    std::thread m_thread; // last, so it starts once the rest is built
};
