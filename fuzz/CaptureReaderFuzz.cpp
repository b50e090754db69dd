// Fuzz target: the capture reader on a whole file held in memory, read to its end or its
// damage, as a replay reads it.
#include "recording/CaptureReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta::recording;
    std::string error;
    auto reader = CaptureReader::OpenMemory(std::span<const std::uint8_t>(data, size), error);
    if (!reader) {
        if (error.empty()) {
            std::abort(); // a refusal always says why
        }
        return 0;
    }
    CaptureRecord record;
    std::uint64_t records = reader->Note().empty() ? 0 : 1;
    CaptureReader::Step step;
    while ((step = reader->Next(record)) == CaptureReader::Step::Record) {
        ++records;
        if (record.bytes.size() >= kCaptureSnapLength ||
            static_cast<int>(record.direction) > static_cast<int>(CaptureDirection::Note)) {
            std::abort();
        }
    }
    // Damage lies inside the file; the count covers every record handed out.
    if ((step == CaptureReader::Step::Damaged && reader->DamageOffset() > size) ||
        reader->RecordsRead() < records || reader->Next(record) != step) {
        std::abort();
    }
    (void)CaptureDamageText(reader->RecordsRead(), reader->DamageOffset(), 0);
    return 0;
}
