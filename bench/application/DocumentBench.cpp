// Saving and opening a workspace document of 100 components with 64 KiB of state each, as the
// Workspace does it (each state through a host stream, the document through the format's writer
// into a file that replaces the old one only when complete; opening reads the file, checks every
// item and hands each state back through a host stream), against a plain copy of the same bytes
// to and from a file, and against the same bytes put in place as safely as the document is.
#include "ClientIStream.h"
#include "TDocumentReader.h"
#include "TDocumentWriter.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

constexpr int kComponents = 100;
constexpr int kStateSize = 64 * 1024;

const QTemporaryDir& folder() {
    static const QTemporaryDir dir;
    return dir;
}

const QList<QByteArray>& componentStates() {
    static const QList<QByteArray> states = [] {
        QList<QByteArray> all;
        QRandomGenerator random(7);
        for (int i = 0; i < kComponents; ++i) {
            QByteArray state(kStateSize, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32*>(state.data()), kStateSize / 4);
            all.append(state);
        }
        return all;
    }();
    return states;
}

// What a component does when asked to save: writes its state into the host's stream.
QByteArray savedThroughStream(const QByteArray& state) {
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    auto* stream = new ClientIStream;
    stream->setDevice(&buffer);
    stream->Write(state.constData(), ULONG(state.size()), nullptr);
    stream->setDevice(nullptr);
    stream->Release();
    return buffer.data();
}

// What a component does when asked to load: reads the whole state from the host's stream.
qint64 loadedThroughStream(const QByteArray& block, QByteArray& into) {
    QByteArray copy = block;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    auto* stream = new ClientIStream;
    stream->setDevice(&buffer);
    ULONG got = 0;
    stream->Read(into.data(), ULONG(into.size()), &got);
    stream->setDevice(nullptr);
    stream->Release();
    return got;
}

xdw::Document documentHead() {
    xdw::Document document;
    document.header = xdw::headerText(QStringLiteral("Quenor Dorvo"));
    document.geometry = QRect(0, 0, 800, 600);
    document.view = {{xdw::kMinorVersionKey, QVariant(quint32(2))}};
    return document;
}

QByteArray documentBytes() {
    xdw::Document document = documentHead();
    for (int i = 0; i < kComponents; ++i)
        document.components.append({QStringLiteral("{6a1c0e53-1f3a-4d2b-9c1e-0a7d5e4b3c21}"),
                                    QStringLiteral("Synth %1").arg(i), 0, QRect(), QPoint(), 0,
                                    componentStates()[i]});
    return TDocumentWriter::bytes(document);
}

void saveDocument(benchmark::State& state) {
    const QString path = folder().filePath("saved.XDW");
    componentStates();
    for (auto _ : state) {
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        QDataStream stream(&file);
        TDocumentWriter writer(stream);
        const xdw::Document head = documentHead();
        writer.writeHeader(head.header);
        writer.writeGeometry(head.geometry);
        writer.writePortSection(head.ports);
        writer.writeViewSettings(head.view);
        QList<qint32> recall;
        for (int i = 0; i < kComponents; ++i) {
            writer.writeComponent({QStringLiteral("{6a1c0e53-1f3a-4d2b-9c1e-0a7d5e4b3c21}"),
                                   QStringLiteral("Synth %1").arg(i), 0, QRect(), QPoint(), 0,
                                   savedThroughStream(componentStates()[i])});
            recall.append(1);
        }
        writer.writeEnd(xdw::kMinorVersion, recall, xdw::ThruSection());
        if (!file.flush() || !file.commit())
            state.SkipWithError("the document could not be written");
    }
    state.SetBytesProcessed(state.iterations() * qint64(kComponents) * kStateSize);
}

void loadDocument(benchmark::State& state) {
    const QString path = folder().filePath("load.XDW");
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(documentBytes());
    }
    QByteArray into(kStateSize, Qt::Uninitialized);
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        const TDocumentReader::Result read = TDocumentReader::read(bytes);
        if (read.outcome != TDocumentReader::Outcome::Complete)
            state.SkipWithError("the document did not read back");
        qint64 total = 0;
        for (const xdw::Component& component : read.document.components)
            total += loadedThroughStream(component.state, into);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * qint64(kComponents) * kStateSize);
}

// The baseline: the same bytes written to a file and read back, nothing else.
void plainCopyWrite(benchmark::State& state) {
    const QString path = folder().filePath("copy.bin");
    const QByteArray bytes = documentBytes();
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        file.close();
    }
    state.SetBytesProcessed(state.iterations() * qint64(kComponents) * kStateSize);
}

// The same bytes put in place as the document is: beside the old file, flushed to the disk,
// then renamed over it. Tells the format's own cost from that of keeping the old file safe.
void atomicCopyWrite(benchmark::State& state) {
    const QString path = folder().filePath("copy.XDW");
    const QByteArray bytes = documentBytes();
    for (auto _ : state) {
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        if (!file.flush() || !file.commit())
            state.SkipWithError("the copy could not be written");
    }
    state.SetBytesProcessed(state.iterations() * qint64(kComponents) * kStateSize);
}

void plainCopyRead(benchmark::State& state) {
    const QString path = folder().filePath("copy.bin");
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(documentBytes());
    }
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll());
    }
    state.SetBytesProcessed(state.iterations() * qint64(kComponents) * kStateSize);
}

} // namespace

BENCHMARK(saveDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(plainCopyWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(atomicCopyWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(loadDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(plainCopyRead)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
