#include "mainwnd/panels/PanelHost.h"

#include "skin/RadioButton.h"
#include "skin/StaticControls.h"

namespace tarvik::panels {

CStaticText* AddBodyText(PanelHost& host, int group, mainwnd::Panel panel, int id, int l, int t, int r, int b,
                         const QString& text, unsigned format) {
    auto* c = Passive(host.Add<CStaticText>(group, id, BodyRect(0, l, t, r, b), text, kGrey, format, false));
    host.PlaceInBody(c, panel, l, t, r, b);
    return c;
}

CRadioButton* AddBodyRadio(PanelHost& host, int group, mainwnd::Panel panel, int id, int l, int t, int r,
                           int b, const QString& normal, const QString& hover, const QString& selected) {
    auto* c = host.Add<CRadioButton>(group, id, BodyRect(0, l, t, r, b), QString(), false);
    c->LoadNormalImage(normal);
    c->LoadHoverImage(hover);
    c->LoadSelectedImage(selected);
    host.PlaceInBody(c, panel, l, t, r, b);
    return c;
}

} // namespace tarvik::panels
