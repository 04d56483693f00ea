// The user's manual, "Dorvo.pdf", opened in the desktop's viewer.
#pragma once

#include <QString>

class QWidget;

class TManual {
public:
    // Opens the manual (see location()); a missing manual, or one that no viewer takes, is told
    // to the user over parent (a viewer started on a missing file would fail out of sight).
    static void open(QWidget* parent);

    // Where the manual of the program (or library) in folder is: beside it, as the build leaves
    // it, else where an installation keeps it, PREFIX/share/doc/dorvo2, PREFIX being the
    // folder above (for a program in PREFIX/bin) or up to three above (for the component
    // library in PREFIX/lib/x86_64-linux-gnu/dorvo2). When there is none, the place for a
    // program in folder, folder/../share/doc/dorvo2/Dorvo.pdf, for the user to be told of.
    static QString location(const QString& folder);

    // The folder that the manual is looked for from: the program's, or in the component build
    // the component library's (the program is then the outer application).
    static QString ownFolder();
};
