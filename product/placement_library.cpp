#include "product/placement_library.h"

namespace {

const PlacementLibrary kLibrary = {
    sizeof(PlacementLibrary), AreaRect, DefaultProductSettings, ReadSettingsFileImage,
    FreeProductSettings,
};

}  // namespace

extern "C" const PlacementLibrary* MorvantilePlacementLibrary() { return &kLibrary; }
