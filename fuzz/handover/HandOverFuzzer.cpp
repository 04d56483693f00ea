// Random bytes as a hand-over message, whole and in every prefix the channel could deliver:
// decoding never reads past the bytes, and a message it accepts encodes back to the same bytes.
#include "THandOverMessage.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (qsizetype prefix = 0; prefix <= bytes.size(); ++prefix) {
        THandOverMessage message;
        const auto status = THandOverMessage::decode(bytes.left(prefix), message);
        if (status != THandOverMessage::Status::Complete)
            continue;
        const QByteArray encoded = message.encode();
        // An empty path (length 1, only the NUL) encodes as "no path"; everything else as read.
        const bool emptyPath = message.path && message.path->isEmpty();
        if (!emptyPath && encoded != bytes.left(prefix))
            std::abort();
    }
    THandOverMessage::decodeAnswer(bytes);
    return 0;
}
