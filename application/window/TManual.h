// The user's manual, "Dorvo.pdf", opened in the desktop's viewer.
#pragma once

class QWidget;

class TManual {
public:
    // Opens the manual beside the program; a missing manual, or one that no viewer takes, is
    // told to the user over parent (a viewer started on a missing file would fail out of sight).
    static void open(QWidget* parent);
};
