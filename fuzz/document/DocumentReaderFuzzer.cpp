// Any bytes as a workspace document: the reader must never crash, hang or size anything by a
// count it has not checked, and a document it reads whole must come out of the writer as bytes
// that read back to the same document.
#include "TDocumentReader.h"
#include "TDocumentWriter.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const TDocumentReader::Result result = TDocumentReader::read(bytes);
    if (result.outcome != TDocumentReader::Outcome::Complete)
        return 0;
    const QByteArray first = TDocumentWriter::bytes(result.document);
    const TDocumentReader::Result again = TDocumentReader::read(first);
    if (again.outcome != TDocumentReader::Outcome::Complete ||
        TDocumentWriter::bytes(again.document) != first)
        std::abort();
    return 0;
}
