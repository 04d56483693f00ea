// Reads a workspace document from its bytes without trusting them: every count and length is
// checked against the bytes that remain before it sizes anything, nesting is bounded, and the
// first defect stops the reading with its byte offset. What was read before the defect is kept,
// so that a caller can still use the sound part of a damaged document.
//
// Any thread; no display needed.
#pragma once

#include "TWorkspaceDocument.h"

class TDocumentReader {
public:
    // The document's items in their order; the components count as one item, their end.
    enum Item { Header = 1, Geometry, Ports, View, Components, RecallEnabled, Thru };

    enum class Outcome {
        Complete,     // every item the minor version has was read
        Incompatible, // the header is not one of a version this program reads; nothing else read
        Damaged,      // a defect at `defectOffset`; the items before it were read
    };

    struct Result {
        Outcome outcome = Outcome::Damaged;
        xdw::Document document;
        qint64 defectOffset = 0;
        QString defect;
        // Where the document's last item ended (Complete only).
        qint64 endOffset = 0;
        // The items read whole, in the document's order; a damaged document's later items
        // are left as they were made.
        int itemsRead = 0;

        bool hasItem(int item) const { return itemsRead >= item; }

        // "byte N: defect" for the first defect, empty when complete.
        QString defectLine() const;
    };

    // The bytes must outlive the result: component states share them instead of copying.
    static Result read(const QByteArray& bytes);
};
