#include "imaging/image_settings.h"

VOID SetImageSettingDefaults(ImageSettings* Settings) {
    *Settings = ImageSettings{};
    Settings->VideoModel = 1;  // upright
    Settings->LightModel = 2;
    Settings->Contrast = 16;   // neutral
    Settings->CrossMid = 1;
    Settings->Saturntion = 8;  // neutral
}
