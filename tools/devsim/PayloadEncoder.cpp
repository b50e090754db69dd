#include "devsim/PayloadEncoder.h"

#include <bit>
#include <cstring>

namespace orvanta::devsim {

namespace {

struct ItemLayout {
    std::uint32_t bit;
    std::size_t size;
};

constexpr ItemLayout kItems[] = {
    {0x2, 12},      {0x8, 12},      {0x10, 12},     {0x20, 12},   {0x40, 8},
    {0x800, 4},     {0x10000, 6},   {0x20000, 4},   {0x40000, 4}, {0x80000, 24},
    {0x100000, 12}, {0x2000000, 7}, {0x8000000, 4},
};

class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : m_out(out) {}
    void U8(std::uint8_t v) { m_out.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
    void F64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        U32(static_cast<std::uint32_t>(bits));
        U32(static_cast<std::uint32_t>(bits >> 32));
    }
    template <std::size_t N> void F32s(const std::array<float, N>& values) {
        for (float v : values) {
            F32(v);
        }
    }

private:
    std::vector<std::uint8_t>& m_out;
};

} // namespace

std::size_t ItemPayloadSize(std::uint32_t mask) {
    std::size_t size = 0;
    for (const auto& item : kItems) {
        if (mask & item.bit) {
            size += item.size;
        }
    }
    return size;
}

std::vector<std::uint8_t> EncodeItems(std::uint32_t mask, const SensorSample& s) {
    std::vector<std::uint8_t> out;
    out.reserve(ItemPayloadSize(mask));
    Writer w(out);
    for (const auto& item : kItems) {
        if ((mask & item.bit) == 0) {
            continue;
        }
        switch (item.bit) {
        case 0x2:
            w.F32s(s.euler);
            break;
        case 0x8:
            w.F32s(s.gyro);
            break;
        case 0x10:
            w.F32s(s.acc);
            break;
        case 0x20:
            w.F32s(s.mag);
            break;
        case 0x40:
            w.F32s(s.temperature);
            break;
        case 0x800:
            w.U32(s.runtimeMs);
            break;
        case 0x10000:
            w.U32(s.timeOfWeekMs);
            w.U8(s.gpsStatus);
            w.U8(s.satellites);
            break;
        case 0x20000:
            w.U16(s.qneCm);
            w.U16(0);
            break;
        case 0x40000:
            w.U16(s.pressurePa);
            w.U16(0);
            break;
        case 0x80000:
            for (double v : s.position) {
                w.F64(v);
            }
            break;
        case 0x100000:
            w.F32s(s.velocity);
            break;
        case 0x2000000:
            w.U16(s.year);
            w.U8(s.month);
            w.U8(s.day);
            w.U8(s.hour);
            w.U8(s.minute);
            w.U8(s.second);
            break;
        case 0x8000000:
            w.F32(s.magHeading);
            break;
        }
    }
    return out;
}

} // namespace orvanta::devsim
