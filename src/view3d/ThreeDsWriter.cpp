#include "view3d/ThreeDsWriter.h"

#include <bit>
#include <cassert>

namespace orvanta::view3d {

void ThreeDsWriter::Begin(std::uint16_t id) {
    m_open.push_back(m_bytes.size());
    U16(id);
    U32(0);
}

void ThreeDsWriter::End() {
    assert(!m_open.empty());
    const std::size_t start = m_open.back();
    m_open.pop_back();
    PatchU32(start + 2, static_cast<std::uint32_t>(m_bytes.size() - start));
}

void ThreeDsWriter::U16(std::uint16_t value) {
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ThreeDsWriter::U32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void ThreeDsWriter::F32(float value) {
    U32(std::bit_cast<std::uint32_t>(value));
}

void ThreeDsWriter::Text(std::string_view text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    m_bytes.push_back(0);
}

void ThreeDsWriter::Raw(std::span<const std::uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void ThreeDsWriter::Leaf(std::uint16_t id, std::span<const std::uint8_t> data) {
    Begin(id);
    Raw(data);
    End();
}

void ThreeDsWriter::TextChunk(std::uint16_t id, std::string_view text) {
    Begin(id);
    Text(text);
    End();
}

void ThreeDsWriter::PatchU32(std::size_t offset, std::uint32_t value) {
    assert(offset + 4 <= m_bytes.size());
    for (int i = 0; i < 4; ++i) {
        m_bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace orvanta::view3d
