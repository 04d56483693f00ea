#include "DemoSynthParameters.h"

#include <algorithm>

namespace demosynth {

namespace {

const QStringList kWaves = {QStringLiteral("Saw"), QStringLiteral("Square"),
                            QStringLiteral("Triangle"), QStringLiteral("Sine")};
const QStringList kOctaves = {QStringLiteral("-2"), QStringLiteral("-1"), QStringLiteral("0"),
                              QStringLiteral("+1"), QStringLiteral("+2")};
const QStringList kFilterTypes = {QStringLiteral("Low-pass"), QStringLiteral("Band-pass"),
                                  QStringLiteral("High-pass")};

Parameter level(const char* key, const char* label, int block, int index) {
    return {QString::fromLatin1(key), QString::fromLatin1(label), block, index, 127, {}};
}

Parameter choice(const char* key, const char* label, int block, int index,
                 const QStringList& names) {
    return {QString::fromLatin1(key),
            QString::fromLatin1(label),
            block,
            index,
            int(names.size()) - 1,
            names};
}

} // namespace

const std::array<Parameter, kParameterCount>& parameters() {
    static const std::array<Parameter, kParameterCount> table = {{
        choice("osc1Wave", "Osc 1 Wave", 0, 0, kWaves),
        choice("osc1Octave", "Osc 1 Octave", 0, 1, kOctaves),
        level("osc1Level", "Osc 1 Level", 0, 2),
        choice("osc2Wave", "Osc 2 Wave", 0, 3, kWaves),
        choice("osc2Octave", "Osc 2 Octave", 0, 4, kOctaves),
        level("osc2Detune", "Osc 2 Detune", 0, 5),
        level("osc2Level", "Osc 2 Level", 0, 6),
        level("noiseLevel", "Noise Level", 0, 7),
        choice("filterType", "Filter Type", 1, 0, kFilterTypes),
        level("cutoff", "Cutoff", 1, 1),
        level("resonance", "Resonance", 1, 2),
        level("envelopeAmount", "Envelope Amount", 1, 3),
        level("keyTracking", "Key Tracking", 1, 4),
        level("drive", "Drive", 1, 5),
        level("lfoRate", "LFO Rate", 1, 6),
        level("lfoDepth", "LFO Depth", 1, 7),
        level("ampAttack", "Amp Attack", 2, 0),
        level("ampDecay", "Amp Decay", 2, 1),
        level("ampSustain", "Amp Sustain", 2, 2),
        level("ampRelease", "Amp Release", 2, 3),
        level("filterAttack", "Filter Attack", 2, 4),
        level("filterDecay", "Filter Decay", 2, 5),
        level("filterSustain", "Filter Sustain", 2, 6),
        level("filterRelease", "Filter Release", 2, 7),
    }};
    return table;
}

const Parameter& parameter(int block, int index) {
    return parameters()[std::size_t(block * kValuesPerBlock + index)];
}

QString blockName(int block) {
    switch (block) {
    case 0:
        return QStringLiteral("Oscillators");
    case 1:
        return QStringLiteral("Filter");
    case 2:
        return QStringLiteral("Envelopes");
    default:
        return QString();
    }
}

Values initialValues() {
    return {{
        {0, 2, 100, 1, 2, 64, 0, 0},
        {0, 127, 0, 64, 0, 0, 40, 0},
        {0, 64, 127, 20, 0, 64, 127, 20},
    }};
}

BYTE clampToRange(int block, int index, int value) {
    return BYTE(std::clamp(value, 0, parameter(block, index).maximum));
}

} // namespace demosynth
