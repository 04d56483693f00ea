// The hive reader on any bytes. Whatever it accepts, the writer must write so that it reads
// back as the same tree, and writing that again must give the same text.
#include "HiveParser.h"
#include "HiveWriter.h"

#include <cstdint>

using namespace dorvo::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const HiveParseResult parsed = parseHive(QByteArrayView(data, qsizetype(size)));
    if (!parsed.root) {
        if (parsed.errorLine < 1 || parsed.errorReason.isEmpty())
            __builtin_trap();
        return 0;
    }
    const QByteArray text = formatHive(*parsed.root, u"machine");
    const HiveParseResult again = parseHive(text);
    if (!again.root || !(*again.root == *parsed.root) ||
        formatHive(*again.root, u"machine") != text)
        __builtin_trap();
    return 0;
}
