#include "camera/StoredSettings.h"

namespace velcor {
namespace {

// A stored value and the object's field that holds it.
template <typename Stored, typename Held>
struct FieldPair {
    int Stored::*stored;
    int Held::*held;
};

using S = settings::AnalogSettings;
using F = settings::FilterSettings;
using G = settings::GraySettings;

constexpr FieldPair<S, AnalogValues> kAnalogFields[] = {
    {&S::globalGain, &AnalogValues::globalGain},
    {&S::colourGainGreen1, &AnalogValues::colourGainGreen1},
    {&S::colourGainRed, &AnalogValues::colourGainRed},
    {&S::colourGainBlue, &AnalogValues::colourGainBlue},
    {&S::colourGainGreen2, &AnalogValues::colourGainGreen2},
    {&S::exposure, &AnalogValues::exposure},
    {&S::mirrorV, &AnalogValues::mirrorV},
    {&S::mirrorH, &AnalogValues::mirrorH},
    {&S::autoIris, &AnalogValues::autoExposureMode},
    {&S::gainMode, &AnalogValues::gainMode},
    {&S::blackLevel, &AnalogValues::blackLevel},
};

constexpr FieldPair<F, FilterValues> kFilterFields[] = {
    {&F::brightness, &FilterValues::brightness},
    {&F::contrast, &FilterValues::contrast},
    {&F::hue, &FilterValues::hue},
    {&F::saturation, &FilterValues::saturation},
    {&F::sharpness, &FilterValues::sharpness},
    {&F::gainRed, &FilterValues::bayerGainRed},
    {&F::gainGreen, &FilterValues::bayerGainGreen},
    {&F::gainBlue, &FilterValues::bayerGainBlue},
    {&F::gamma, &FilterValues::gamma},
    {&F::bayerMode, &FilterValues::bayerMode},
};

constexpr FieldPair<G, FilterValues> kGrayFields[] = {
    {&G::mode, &FilterValues::grayMode},         {&G::gainR1, &FilterValues::grayGainR},
    {&G::gainG1, &FilterValues::grayGainG1},     {&G::gainG2, &FilterValues::grayGainG2},
    {&G::gainB1, &FilterValues::grayGainB},      {&G::offsetR1, &FilterValues::grayOffsetR},
    {&G::offsetG1, &FilterValues::grayOffsetG1}, {&G::offsetG2, &FilterValues::grayOffsetG2},
    {&G::offsetB1, &FilterValues::grayOffsetB},
};

template <typename Stored, typename Held, size_t N>
Stored ToStoredWith(const FieldPair<Stored, Held> (&fields)[N], const Held& held) {
    Stored stored;
    for (const auto& field : fields)
        stored.*field.stored = held.*field.held;
    return stored;
}

template <typename Stored, typename Held, size_t N>
void FromStoredWith(const FieldPair<Stored, Held> (&fields)[N], const Stored& stored, Held& held) {
    for (const auto& field : fields)
        held.*field.held = stored.*field.stored;
}

}  // namespace

settings::AnalogSettings ToStored(const AnalogValues& analog) {
    settings::AnalogSettings s = ToStoredWith(kAnalogFields, analog);
    s.exposureSeconds = analog.exposureSeconds;
    return s;
}

settings::FilterSettings ToStoredFilters(const FilterValues& filters) {
    return ToStoredWith(kFilterFields, filters);
}

settings::GraySettings ToStoredGray(const FilterValues& filters) {
    return ToStoredWith(kGrayFields, filters);
}

void FromStored(const settings::AnalogSettings& stored, AnalogValues& analog) {
    FromStoredWith(kAnalogFields, stored, analog);
    analog.exposureSeconds = stored.exposureSeconds;
}

void FromStored(const settings::FilterSettings& stored, FilterValues& filters) {
    FromStoredWith(kFilterFields, stored, filters);
}

void FromStored(const settings::GraySettings& stored, FilterValues& filters) {
    FromStoredWith(kGrayFields, stored, filters);
}

}  // namespace velcor
