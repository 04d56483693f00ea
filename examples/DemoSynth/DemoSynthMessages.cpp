#include "DemoSynthMessages.h"

#include <numeric>

namespace demosynth {

namespace {

constexpr BYTE kManufacturer = 0x7D;
constexpr BYTE kModel = 0x31;
constexpr BYTE kDevice = 0x00;
constexpr BYTE kAnyDevice = 0x7F;
constexpr BYTE kDumpRequest = 0x10;
constexpr BYTE kBlockDump = 0x11;
constexpr BYTE kParameterChange = 0x12;
constexpr BYTE kAcknowledge = 0x13;
constexpr std::size_t kBlockAt = 5;
// F0 7D 31 dd 11 bb nn v1 ... v8 ck F7
constexpr std::size_t kDumpSize = kBlockAt + 2 + kValuesPerBlock + 2;

Bytes header(BYTE command) {
    return {0xF0, kManufacturer, kModel, kDevice, command};
}

BYTE checksum(Bytes::const_iterator begin, Bytes::const_iterator end) {
    const unsigned sum = std::accumulate(begin, end, 0u);
    return BYTE((128 - sum % 128) % 128);
}

bool isValidBlock(int block) {
    return block >= 0 && block < kBlocks;
}

} // namespace

Bytes dumpRequest(int block) {
    Bytes message = header(kDumpRequest);
    message.insert(message.end(), {BYTE(block), 0xF7});
    return message;
}

Bytes blockDump(int block, const Block& values) {
    Bytes message = header(kBlockDump);
    message.push_back(BYTE(block));
    message.push_back(kValuesPerBlock);
    for (const BYTE value : values)
        message.push_back(value & 0x7F);
    message.push_back(checksum(message.begin() + kBlockAt, message.end()));
    message.push_back(0xF7);
    return message;
}

Bytes parameterChange(int block, int index, BYTE value) {
    Bytes message = header(kParameterChange);
    message.insert(message.end(), {BYTE(block), BYTE(index), BYTE(value & 0x7F), 0xF7});
    return message;
}

Reply parseReply(const Bytes& message) {
    Reply reply;
    if (!examples::isCompleteSysex(message) || message.size() < kBlockAt + 2 ||
        message[1] != kManufacturer || message[2] != kModel ||
        (message[3] != kDevice && message[3] != kAnyDevice))
        return reply;
    const BYTE command = message[4];
    reply.block = message[kBlockAt];
    if (command == kBlockDump && isValidBlock(reply.block)) {
        const bool whole =
            message.size() == kDumpSize && message[6] == kValuesPerBlock &&
            checksum(message.begin() + kBlockAt, message.end() - 2) == message[kDumpSize - 2];
        if (!whole) {
            reply.kind = Reply::kDamagedDump;
            return reply;
        }
        reply.kind = Reply::kDump;
        for (int i = 0; i < kValuesPerBlock; ++i)
            reply.values[std::size_t(i)] =
                clampToRange(reply.block, i, message[7 + std::size_t(i)]);
        return reply;
    }
    if (command == kAcknowledge && message.size() == 8) {
        reply.kind = Reply::kAcknowledge;
        reply.value = message[6];
        return reply;
    }
    if (command == kParameterChange && message.size() == 9 && isValidBlock(reply.block) &&
        message[6] < kValuesPerBlock) {
        reply.kind = Reply::kParameterChange;
        reply.index = message[6];
        reply.value = clampToRange(reply.block, reply.index, message[7]);
        return reply;
    }
    reply.block = -1;
    return reply;
}

} // namespace demosynth
