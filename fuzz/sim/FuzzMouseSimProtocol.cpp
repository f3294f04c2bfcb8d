// Feeds arbitrary bytes to the mousesim frame reader and message decoder, in
// pieces whose sizes come from the input. Every body that decodes must encode
// back to exactly the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "emulator/MouseSimProtocol.h"

using namespace tarvik::simproto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::vector<std::uint8_t> input(data + 1, data + size);

    // The whole input as one body.
    if (auto m = Decode(input)) {
        std::vector<std::uint8_t> frame = Encode(*m);
        if (std::vector<std::uint8_t>(frame.begin() + kPrefix, frame.end()) != input) __builtin_trap();
    }

    // The input as a stream.
    FrameReader reader;
    std::vector<std::uint8_t> body;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        const std::size_t n = std::min(piece, input.size() - at);
        std::vector<std::uint8_t> chunk(input.begin() + static_cast<std::ptrdiff_t>(at),
                                        input.begin() + static_cast<std::ptrdiff_t>(at + n));
        reader.Feed(chunk);
        FrameReader::Status status;
        while ((status = reader.Next(body)) == FrameReader::Status::Body) {
            if (body.empty() || body.size() > kMaxBody) __builtin_trap();
            if (auto m = Decode(body)) {
                std::vector<std::uint8_t> frame = Encode(*m);
                if (std::vector<std::uint8_t>(frame.begin() + kPrefix, frame.end()) != body) __builtin_trap();
            }
        }
        if (status == FrameReader::Status::Broken) break;
    }
    return 0;
}
