#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orvanta::view3d {

// Writes 3DS chunks into memory: Begin opens a chunk, End fills in its length. Used by the
// model file generator and by tests that build files chunk by chunk. One owner at a time.
class ThreeDsWriter {
public:
    void Begin(std::uint16_t id);
    void End();

    void U8(std::uint8_t value) { m_bytes.push_back(value); }
    void U16(std::uint16_t value);
    void U32(std::uint32_t value);
    void F32(float value);
    void Text(std::string_view text); // followed by its NUL
    void Raw(std::span<const std::uint8_t> bytes);

    // A whole chunk without children: header, then the given data.
    void Leaf(std::uint16_t id, std::span<const std::uint8_t> data);
    void TextChunk(std::uint16_t id, std::string_view text);

    // Overwrites a length already written, for files that lie about their sizes.
    void PatchU32(std::size_t offset, std::uint32_t value);

    std::size_t Size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::size_t> m_open; // offsets of the open chunks' headers
};

} // namespace orvanta::view3d
