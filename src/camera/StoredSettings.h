// The camera object's settings as the settings store keeps them, and back.
#pragma once

#include "camera/SettingsModel.h"
#include "settings/SettingsStore.h"

namespace velcor {

settings::AnalogSettings ToStored(const AnalogValues& analog);
settings::FilterSettings ToStoredFilters(const FilterValues& filters);
settings::GraySettings ToStoredGray(const FilterValues& filters);

// Copies the stored values over the object's; the values the store does not keep stay.
void FromStored(const settings::AnalogSettings& stored, AnalogValues& analog);
void FromStored(const settings::FilterSettings& stored, FilterValues& filters);
void FromStored(const settings::GraySettings& stored, FilterValues& filters);

}  // namespace velcor
