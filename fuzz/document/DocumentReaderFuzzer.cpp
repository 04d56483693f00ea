// Any bytes as a workspace document: the reader must never crash, hang or size anything by a
// count it has not checked, and a document it reads whole must come out of the writer as bytes
// that read back to the same document.
#include "TDocumentReader.h"
#include "TDocumentWriter.h"

#include <QBuffer>
#include <QDataStream>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray written(const xdw::Document& document) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream stream(&buffer);
    TDocumentWriter::write(stream, document);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const TDocumentReader::Result result = TDocumentReader::read(bytes);
    if (result.outcome != TDocumentReader::Outcome::Complete)
        return 0;
    const QByteArray first = written(result.document);
    const TDocumentReader::Result again = TDocumentReader::read(first);
    if (again.outcome != TDocumentReader::Outcome::Complete || written(again.document) != first)
        std::abort();
    return 0;
}
