// The Demo Synth's parameters as its protocol lays them out (PROTOCOL.md): three blocks of
// eight values, 0-127 unless a parameter has a smaller range.
#pragma once

#include <dorvo/wintypes.h>

#include <QString>
#include <QStringList>

#include <array>

namespace demosynth {

inline constexpr int kBlocks = 3;
inline constexpr int kValuesPerBlock = 8;
inline constexpr int kParameterCount = kBlocks * kValuesPerBlock;

using Block = std::array<BYTE, kValuesPerBlock>;
using Values = std::array<Block, kBlocks>;

struct Parameter {
    QString key;   // object name of its control on the page
    QString label; // shown beside it
    int block = 0;
    int index = 0;
    int maximum = 127;
    QStringList choices; // names of the values 0..maximum, for a choice parameter
};

// In block order, then index order.
const std::array<Parameter, kParameterCount>& parameters();
const Parameter& parameter(int block, int index);
// "Oscillators", "Filter", "Envelopes".
QString blockName(int block);
// The editor's own starting point, before it has heard the synthesizer.
Values initialValues();
// A value of the wire or of a document, brought into the parameter's range.
BYTE clampToRange(int block, int index, int value);

} // namespace demosynth
