// tarvikctl's changing commands, carried out by the running window: the change
// goes into the window's model through the paths a click takes, then the
// window refreshes, sends and saves as after its own change, and answers with
// what tarvikctl prints and its exit code.
#include <QLocalSocket>

#include "app/SingleInstance.h"
#include "commands/CtlCommands.h"
#include "device/DeviceLink.h"
#include "device/MacroUpload.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroLibrary.h"
#include "macro/ui/LibrarySaver.h"
#include "macro/ui/MacroManagerDlg.h"
#include "mainwnd/ProfileNameDlg.h"
#include "mainwnd/TarvikDlg.h"
#include "model/SettingsModel.h"
#include "text/Log.h"

namespace tarvik {

using cli::CtlOutput;
using json = nlohmann::json;

namespace {

// What the model and the library reported while the command ran goes back
// too, as tarvikctl prints it when it runs the command itself.
void AddProblems(CtlOutput& out, const ProblemCollector& problems) {
    std::vector<CtlOutput::Line> lines;
    for (const std::string& p : problems.Problems()) {
        std::string text = "tarvik: ";
        text += p;
        lines.push_back({true, std::move(text)});
    }
    out.lines.insert(out.lines.begin(), lines.begin(), lines.end());
}

} // namespace

bool CTarvikDlg::MacroManagerOpen() const {
    for (const QPointer<QDialog>& d : dialogs_)
        if (d && d->isVisible() && dynamic_cast<const CMacroManagerDlg*>(d.data())) return true;
    return false;
}

void CTarvikDlg::CloseProfileDialogs() {
    ++profileGeneration_;
    CancelWindowTask(mainwnd::kTimerProfileOperation);
    pendingOperation_ = -1;
    // The profile list and its commands menu are pop-ups.
    CloseAllPopups();
    for (const QPointer<QDialog>& d : dialogs_)
        if (d && dynamic_cast<const CProfileNameDlg*>(d.data())) d->reject();
}

void CTarvikDlg::RunCtlCommand(const cli::CtlRequest& request, CtlReply reply) {
    CtlOutput out;
    ProblemCollector problems;
    const auto answer = [&] {
        AddProblems(out, problems);
        reply(out);
    };
    // "Done" means on disk: every changing command has the tables written now
    // (not by the delayed save; `saveNow` false where the model's own operation
    // has already handed its save to the saver), and answers once the saver
    // thread has written them, so that a reading tarvikctl run after this one reads the change,
    // a kill of the window right after the answer loses nothing, and a failed
    // write reaches tarvikctl as exit 1 as well as the window's notice.
    const auto answerAfterWrites = [this](CtlOutput done, CtlReply send, bool saveNow = true) {
        if (saveNow) SaveInBackground();
        saver_->AfterWrites(
            [done = std::move(done), send = std::move(send)](const FileResult& written) mutable {
                if (!written) {
                    std::string why = "the profiles could not be saved: ";
                    why += written.Describe();
                    done.Err(why);
                    done.Fail();
                }
                send(done);
            });
    };
    if (!started_ || ended_) {
        out.Err("the tarvik window is starting or ending; try again");
        out.Fail();
        return answer();
    }
    // The manager edits the library and the buttons' macros and writes the
    // library when it closes: a change beside it would be lost or refer to a
    // macro being edited. The user is at the window; tarvikctl says why.
    if (MacroManagerOpen()) {
        out.Err("the tarvik window has its macro manager open; close it and try again");
        out.Fail();
        return answer();
    }
    const std::string& command = request.command;
    const json& args = request.args;

    if (command == "assign") {
        // As a choice in a button's menu: the listener refreshes the buttons,
        // and the send the edit asks for (none when the rule put the button
        // back) is requested here, once.
        session_.BeginEdit();
        cli::RunAssign(model_, library_, args, out, [this](int slot, const edits::EditResult& r) {
            if (slot == model_.GetCurrentProfile() && !r.send.Empty()) SendRequest(r.send);
            return true;
        });
        session_.EndEdit();
        AddProblems(out, problems);
        if (out.exitCode == kExitUsage) return reply(out);
        return answerAfterWrites(std::move(out), std::move(reply));
    }
    if (command.starts_with("profile ")) {
        // Add, rename and delete save through the saver, as the profile menu's
        // do; the model's notifications repaint what they changed. A
        // selection is an edit: its send is requested once, here.
        const bool select = command == "profile select";
        if (select) session_.BeginEdit();
        cli::RunProfile(model_, command, args, out, [this](SendGroups send) {
            SendRequest(send);
            return FileResult{};
        });
        if (select) session_.EndEdit();
        // A dialog opened for a slot no longer knows which profile it is for.
        if (out.exitCode == kExitOk) CloseProfileDialogs();
        AddProblems(out, problems);
        // Only a selection is not saved by the model's operation.
        return answerAfterWrites(std::move(out), std::move(reply), command == "profile select");
    }
    if (command == "import") {
        // The model's notification repaints an import into the current profile
        // and has it sent: the mouse holds the current profile.
        cli::RunImport(model_, args, out);
        if (out.exitCode == kExitOk) CloseProfileDialogs();
        AddProblems(out, problems);
        // The model's import saved what it changed.
        return answerAfterWrites(std::move(out), std::move(reply), false);
    }
    if (command == "init") {
        // The window's start-up load made the folder ready; its files are
        // written once more from what the window holds.
        AddProblems(out, problems);
        return answerAfterWrites(std::move(out), std::move(reply));
    }
    if (command == "macro import") {
        if (cli::RunMacroImport(library_, libraryPath_, args, out, false) <= 0) return answer();
        // As after the macro manager: the buttons' macros are numbered again
        // from the library and sent; the numbering announces what it changed.
        controller_->RequestResync();
        if (HasMacroButton(Current())) {
            SendRequest(SendGroup::Buttons);
            controller_->ApplyToDevice();
        }
        // The library is written on the library saver's thread, the profiles
        // on the saver's; the answer follows both writes and tells a failure.
        AddProblems(out, problems);
        session_.MacroLibrarySaver().Save(library_, [this, out = std::move(out), reply = std::move(reply),
                                                     answerAfterWrites](const FileResult& written) mutable {
            if (!written) {
                std::string why = "the macro library could not be saved: ";
                why += written.Describe();
                out.Err(why);
                out.Fail();
            }
            if (ended_) return reply(out);
            answerAfterWrites(std::move(out), std::move(reply));
        });
        return;
    }
    if (command == "apply") {
        const auto given = args.find("slot");
        const bool typed = given == args.end() || given->is_number_integer();
        const long long slot = given != args.end() && typed ? given->get<long long>() : -1;
        if (!typed || slot >= kProfileCount || slot < -1) {
            out.Err("a profile slot is 0-4");
            out.Fail(kExitUsage);
            return answer();
        }
        // The send below covers the selection: every group is requested once.
        if (slot >= 0 &&
            RunEdit([this, slot](int) { return edits::SelectProfile(model_, static_cast<int>(slot)); }, false,
                    false)
                .Changed())
            CloseProfileDialogs();
        if (!link_->SendTarget()) {
            out.Err("no mouse found (the tarvik window's device link)");
            out.Fail();
            AddProblems(out, problems);
            // A selected slot is written all the same.
            return answerAfterWrites(std::move(out), std::move(reply));
        }
        // Whatever the caches hold: every group is sent.
        controller_->Cache().Forget();
        SendRequest(SendGroups::All());
        AddProblems(out, problems);
        controller_->ApplyToDevice([this, out = std::move(out), reply = std::move(reply),
                                    answerAfterWrites](const ApplyResult& r) mutable {
            if (!r.ran) {
                out.Err("the tarvik window ended before the send");
                out.Fail();
                return reply(out);
            }
            const std::optional<Identity> target = link_->SendTargetIdentity();
            cli::ReportApply(model_, target ? NameOf(*target) : "no mouse", r, true, out);
            answerAfterWrites(std::move(out), std::move(reply));
        });
        return;
    }
    if (command == "reset") {
        // The factory reset as after its confirmation dialog (tarvikctl was given --yes).
        // Its profile file is written by the saver.
        AddProblems(out, problems);
        controller_->FactoryReset([this, out = std::move(out), reply = std::move(reply),
                                   answerAfterWrites](const ResetResult& r) mutable {
            cli::ReportReset(model_, r, out);
            if (ended_) return reply(out);
            answerAfterWrites(std::move(out), std::move(reply));
        });
        return;
    }
    if (command == "status") {
        // The window's own mouse is asked; a sensor change is applied and
        // saved here, as after the window's own status query.
        const bool asJson = args.value("json", false);
        if (!link_->SendTarget()) {
            out.Err("no mouse found (the tarvik window's device link)");
            out.Fail();
            return answer();
        }
        AddProblems(out, problems);
        controller_->QueryStatus([this, asJson, out = std::move(out), reply = std::move(reply),
                                  answerAfterWrites](const StatusResult& r) mutable {
            cli::ReportStatus(model_, r, controller_->BatteryLevel(), controller_->Charge(), asJson, out);
            if (ended_) return reply(out);
            // A sensor change was saved by the model; a query alone changes nothing.
            answerAfterWrites(std::move(out), std::move(reply), false);
        });
        return;
    }
    std::string why = "the tarvik window does not know the command \"";
    why += command;
    why += "\"";
    out.Err(why);
    out.Fail(kExitUsage);
    answer();
}

void ServeCtlCommands(app::SingleInstance& instance, CTarvikDlg& window) {
    // Handed over in three steps: the command runs only on the client's "go",
    // so it never runs after tarvikctl gave up and said it failed.
    instance.SetCommittedVerbHandler(
        std::string(app::kVerbCtl), [&window](const std::string& args, app::SingleInstance::Reply reply) {
            const auto send = [reply](const CtlOutput& out) {
                std::string line(app::kVerbResult);
                line += ' ';
                line += cli::FormatCtlResult(out);
                if (line.size() > app::kMaxReplyLine) {
                    CtlOutput tooLong;
                    tooLong.exitCode = out.exitCode == kExitOk ? kExitFailed : out.exitCode;
                    tooLong.Err("the tarvik window's answer was too long to pass on");
                    line = app::kVerbResult;
                    line += ' ';
                    line += cli::FormatCtlResult(tooLong);
                }
                reply(line);
            };
            const std::optional<cli::CtlRequest> request = cli::ParseCtlRequest(args);
            if (!request || !cli::IsForwardedCommand(request->command)) {
                CtlOutput out;
                out.Err("the tarvik window cannot read this request");
                out.Fail(kExitUsage);
                return send(out);
            }
            window.RunCtlCommand(*request, send);
        });
}

} // namespace tarvik
