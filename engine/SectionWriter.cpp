#include "engine/SectionWriter.h"

#include <cstdint>
#include <cstdio>

namespace {
// Copied bytes beyond this go to the temporary file, so the memory a section takes stays
// bounded (a tag read the careful way may be long).
constexpr std::size_t kOwnedLimit = 256 * 1024;
} // namespace

SectionWriter::SectionWriter(const std::string& tempPath, std::string_view ring,
                             const FileIdentity* keepOff)
    : m_temp(tempPath, nullptr, 0, keepOff), m_ring(ring)
{
}

void SectionWriter::Write(const char* data, std::size_t count)
{
    if (count == 0)
        return;
    if (m_index)
        m_index->Feed(data, count);
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const auto ring = reinterpret_cast<std::uintptr_t>(m_ring.data());
    if (at >= ring && at - ring < m_ring.size()) {
        // Read bytes: referred to where they are, a run that goes on where the last one ended
        // growing it.
        if (!m_pieces.empty() && m_pieces.back().Ring &&
            m_pieces.back().Ring + m_pieces.back().Length == data)
            m_pieces.back().Length += count;
        else
            m_pieces.push_back({data, 0, count});
        return;
    }
    if (!m_pieces.empty() && !m_pieces.back().Ring)
        m_pieces.back().Length += count;
    else
        m_pieces.push_back({nullptr, m_owned.size(), count});
    m_owned.append(data, count);
    if (m_owned.size() > kOwnedLimit)
        Spill();
}

void SectionWriter::Parts(std::vector<std::string_view>& out) const
{
    for (const Piece& piece : m_pieces) {
        out.push_back(piece.Ring ? std::string_view(piece.Ring, piece.Length)
                                 : std::string_view(m_owned).substr(piece.Offset, piece.Length));
    }
}

const char* SectionWriter::KeptFrom() const
{
    for (const Piece& piece : m_pieces) {
        if (piece.Ring)
            return piece.Ring;
    }
    return nullptr;
}

void SectionWriter::Spill()
{
    if (m_pieces.empty())
        return;
    std::vector<std::string_view> parts;
    Parts(parts);
    // Whatever happens, the pieces are done with.
    m_spilled = true;
    m_temp.WriteParts(parts.data(), parts.size());
    m_pieces.clear();
    m_owned.clear();
}

void SectionWriter::CloseTemporary()
{
    Spill();
    m_temp.Close();
}

void SectionWriter::RemoveTemporary()
{
    m_pieces.clear();
    m_temp.Discard();
    if (m_temp.OnDisk())
        std::remove(m_temp.Name().c_str());
}
