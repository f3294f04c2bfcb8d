#include "mainwnd/panels/ProfilesPanel.h"

#include <QGuiApplication>
#include <QScreen>

#include <array>

#include "macro/ui/DialogParts.h"
#include "mainwnd/DelayedSaver.h"
#include "mainwnd/ProfileNameDlg.h"
#include "model/ProfileSlots.h"
#include "model/SettingsModel.h"
#include "skin/ImageButton.h"
#include "text/FileResult.h"
#include "text/Notices.h"
#include "widgets/Popups.h"

namespace tarvik::panels {

using namespace mainwnd;

namespace {

// The commands of a profile's menu, as the menu codes them.
enum Operation : int {
    kImport = 0,
    kExport = 1,
    kRename = 2,
    kDelete = 3,
    kAdd = 4,
    kNoFreeSlot = 5,
};

constexpr int kCommandTag = 2049; // the commands menu of slot s is tagged 2049 + s

const QString kProfileFilter = QStringLiteral("psf file(*.psf)");

const PopupResult* ResultOf(LParam l) {
    return reinterpret_cast<const PopupResult*>(l);
}

} // namespace

void ProfilesPanel::Create() {
    button_ = host_.Add<CImageButton>(0, kIdProfileButton, ScaledRect(36, 700, 105, 720), L(1), 1);
    button_->LoadNormalImage(SkinName("skins\\button2_nr.png"));
    button_->LoadHoverImage(SkinName("skins\\button2_ov.png"));
    button_->SetReportsHover(true);
}

void ProfilesPanel::AddMessages(MessageTable& m) {
    m.Add(kIdProfileButton, kIdProfileButton, this, &ProfilesPanel::OnButton);
    m.Add(kMsgProfileChosen, kMsgProfileChosen, this, &ProfilesPanel::OnChosen);
    m.Add(kMsgProfileListClosed, [this](int, WParam, LParam) -> LResult {
        host_.Window().ClosePopup(kSlotProfileList);
        return 0;
    });
    m.Add(kMsgProfileCommand, kMsgProfileCommand, this, &ProfilesPanel::OnCommand);
    m.Add(kMsgProfileCommandClosed, [this](int, WParam, LParam) -> LResult {
        host_.Window().ClosePopup(kSlotProfileCommands);
        if (button_) host_.Window().InvalidateRect(button_->GetRect());
        return 0;
    });
}

void ProfilesPanel::ClosePopups() {
    host_.Window().ClosePopup(kSlotProfileList);
    host_.Window().ClosePopup(kSlotProfileCommands);
}

void ProfilesPanel::ForgetPending() {
    ++generation_;
    host_.CancelWindowTask(kTimerProfileOperation);
    pendingOperation_ = -1;
}

void ProfilesPanel::RunPending() {
    const int code = pendingOperation_;
    pendingOperation_ = -1;
    Run(code, pendingSlot_);
}

LResult ProfilesPanel::OnButton(int, WParam, LParam code) {
    CDlgBase& window = host_.Window();
    if (code == kNotifyHover) {
        // A click on the button while its list is open closes the list (the
        // press closed it) instead of opening it again.
        listWasOpen_ = window.Popup(kSlotProfileList) != nullptr;
        return 0;
    }
    if (code != kNotifyClick) return 0;
    const bool wasOpen = listWasOpen_;
    listWasOpen_ = false;
    if (wasOpen) return 0;
    const SettingsModel& model = host_.Model();
    std::array<QString, ProfileListItem::kShownCount> names;
    const int count = model.GetShowCount();
    const int current = model.GetCurrentProfile();
    int currentPosition = -1;
    for (int i = 0; i < ProfileListItem::kShownCount; ++i) {
        if (i >= count) continue;
        const int slot = model.GetShowList(i);
        names[static_cast<std::size_t>(i)] = QString::fromStdU16String(
            model.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value);
        if (slot == current) currentPosition = i;
    }
    const Rect b = button_->GetRect();
    const double s = UiScale();
    const QPoint at = window.mapToGlobal(QPoint(b.left, static_cast<int>(b.bottom - 201 * s)));
    auto* list = new CComboProfilePopup(names, currentPosition);
    list->Create(&window, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)}, kMsgProfileChosen,
                 kIdProfileButton);
    window.SetPopup(kSlotProfileList, list);
    return 0;
}

LResult ProfilesPanel::OnChosen(int, WParam w, LParam l) {
    const int value = static_cast<int>(l);
    SettingsModel& model = host_.Model();
    if (w == CComboProfilePopup::kClicked) {
        if (value == ProfileListItem::kAdd) {
            // The add entry, run once the list is gone.
            Defer(model.GetShowCount() > 4 ? kNoFreeSlot : kAdd, 0);
            return 0;
        }
        const int position = ProfileListItem::PositionOf(value);
        if (position < 0 || position >= model.GetShowCount()) return 0;
        host_.CloseAllPopups();
        // The selection's notification refreshes the controls; every group is
        // sent: the mouse gets whatever of the profile differs.
        const int slot = model.GetShowList(position);
        static_cast<void>(
            host_.RunEdit([&model, slot](int) { return edits::SelectProfile(model, slot); }, false, true));
        return 0;
    }
    if (w == CComboProfilePopup::kRightClicked && ProfileListItem::IsProfile(value)) {
        const int position = ProfileListItem::PositionOf(value);
        if (position >= model.GetShowCount()) return 0;
        OpenCommands(model.GetShowList(position), ProfileListItem::RowOf(value));
    }
    return 0;
}

void ProfilesPanel::OpenCommands(int slot, int row) {
    CDlgBase& window = host_.Window();
    window.ClosePopup(kSlotProfileCommands);
    const Rect b = button_->GetRect();
    const double s = UiScale();
    const int x = static_cast<int>(b.left + 225 * s);
    int y = static_cast<int>(b.bottom - 201 * s + 25 * row * s);
    // Kept on the screen: a menu that would run off the bottom goes up.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int screenHeight = screen->availableGeometry().bottom() + 1;
        const int top = window.mapToGlobal(QPoint(0, 0)).y();
        if (top + y + static_cast<int>(94 * s) > screenHeight)
            y = screenHeight - top - static_cast<int>(74 * s);
    }
    const QPoint at = window.mapToGlobal(QPoint(x, y));
    auto* menu = new CProfileRKeyPopup();
    menu->Create(&window, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)},
                 kMsgProfileCommand, kCommandTag + slot);
    window.SetPopup(kSlotProfileCommands, menu);
}

LResult ProfilesPanel::OnCommand(int, WParam w, LParam l) {
    const PopupResult* r = ResultOf(l);
    if (!r || r->codeCount < 1) return 0;
    const int slot = static_cast<int>(w) - kCommandTag;
    if (slot < 0 || slot >= kProfileCount) return 0;
    Defer(r->code[0], slot);
    return 0;
}

void ProfilesPanel::Defer(int code, int slot) {
    pendingOperation_ = code;
    pendingSlot_ = slot;
    host_.CloseAllPopups();
    host_.ArmWindowTask(kTimerProfileOperation, kProfileOperationMs);
}

void ProfilesPanel::Run(int code, int slot) {
    if (host_.Ended()) return;
    SettingsModel& model = host_.Model();
    // Each operation below hands its save to the saver thread, which shows a
    // failure; the model's notification repaints what it changed.
    const auto after = [this](const SlotResult& r) {
        if (r.notice != Notice::None) host_.ShowNotice(NoticeString(r.notice));
        if (!r.saved) host_.ShowSaveFailure(r.saved);
    };
    switch (code) {
    case kImport:
        Import(slot);
        break;
    case kExport:
        Export(slot);
        break;
    case kRename: {
        const QString name = QString::fromStdU16String(
            model.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value);
        auto* dialog = new CEditProfileDlg(name, &host_.Window());
        host_.RunDialog(dialog, [this, &model, dialog, slot, after, generation = generation_](int result) {
            if (result == QDialog::Accepted && generation == generation_)
                after(RenameProfile(model, slot, dialog->Name().toStdU16String()));
        });
        break;
    }
    case kDelete:
        after(DeleteProfile(model, slot));
        break;
    case kAdd: {
        auto* dialog = new CAddProfileDlg(&host_.Window());
        host_.RunDialog(dialog, [this, &model, dialog, after, generation = generation_](int result) {
            if (result != QDialog::Accepted || generation != generation_) return;
            after(AddProfile(model, dialog->Name().toStdU16String()));
        });
        break;
    }
    case kNoFreeSlot:
        host_.ShowNotice(NoticeString(Notice::NoFreeProfileSlot));
        break;
    default:
        break;
    }
}

void ProfilesPanel::Import(int slot) {
    FileRequest request{FileRequest::Kind::Open, L(142), kProfileFilter, QStringLiteral("psf")};
    host_.ChooseFile(request, [this, slot, generation = generation_](const QString& path) {
        if (path.isEmpty() || host_.Ended() || generation != generation_) return;
        // The model reads the file aside first (on this thread: one small file,
        // capped in size): a file it refuses changes nothing. The save after it
        // goes to the saver thread. The model's notification repaints an
        // import into the current profile and has it sent.
        const FileResult r = host_.Model().ImportProfile(slot, path.toStdString());
        if (!r)
            host_.ShowNoticeText(
                OwnText(ProgramText::ProfileNotImported).arg(QString::fromStdString(r.Describe())));
    });
}

void ProfilesPanel::Export(int slot) {
    FileRequest request{FileRequest::Kind::Save, L(143), kProfileFilter, QStringLiteral("psf")};
    host_.ChooseFile(request, [this, slot, generation = generation_](const QString& path) {
        if (path.isEmpty() || host_.Ended() || generation != generation_) return;
        // Written from a copy on the saver thread; the reason of a failure is logged.
        host_.Saver().Export(host_.Model(), slot, path.toStdString(), [this](const FileResult& r) {
            if (!r && !host_.Ended()) host_.ShowNotice(NoticeString(Notice::FileNotWritten));
        });
    });
}

} // namespace tarvik::panels
