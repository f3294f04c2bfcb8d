#include "mainwnd/panels/PointerPanel.h"

#include "app/MouseSettings.h"
#include "macro/ui/DialogParts.h"
#include "skin/ImageButton.h"

namespace tarvik::panels {

using namespace mainwnd;

void PointerPanel::Create() {
    settings_ =
        host_.Add<CImageButton>(3, kIdMouseSettings, BodyRect(0, 20, 30, 235, 75), QString(), 1, false);
    settings_->LoadNormalImage(SkinName("skins\\button4_nr.png"));
    settings_->LoadHoverImage(SkinName("skins\\button4_nr.png"));
    host_.PlaceInBody(settings_, Panel::Pointer, 20, 30, 235, 75);
}

void PointerPanel::AddMessages(MessageTable& m) {
    m.Add(kIdMouseSettings, kIdMouseSettings, this, &PointerPanel::OnMouseSettings);
}

LResult PointerPanel::OnMouseSettings(int, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    if (app::OpenDesktopMouseSettings() == app::SettingsLaunch::NoneFound)
        host_.ShowNoticeText(OwnText(ProgramText::NoMouseSettings));
    return 0;
}

} // namespace tarvik::panels
