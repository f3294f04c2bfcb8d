// tarvikctl's changing commands, carried out by the running window: the change
// goes into the window's model through the paths a click takes, then the
// window refreshes, sends and saves as after its own change, and answers with
// what tarvikctl prints and its exit code.

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
using CtlReply = CTarvikDlg::CtlReply;
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
    profiles_.ForgetPending();
    // The profile list and its commands menu are pop-ups.
    CloseAllPopups();
    for (const QPointer<QDialog>& d : dialogs_)
        if (d && dynamic_cast<const CProfileNameDlg*>(d.data())) d->reject();
}

// One forwarded command while it runs: the window, the command's arguments,
// what tarvikctl will print, the problems reported meanwhile and the way back.
struct CtlCall {
    CTarvikDlg& window;
    const json& args;
    const std::string& command;
    ProblemCollector& problems;
    CtlReply reply;
    CtlOutput out;

    // Answers now, with the problems reported so far.
    void Answer() {
        AddProblems(out, problems);
        reply(out);
    }
    // Refuses the command: `why` on stderr and exit code `code`.
    void Refuse(std::string_view why, int code = kExitFailed) {
        out.Err(why);
        out.Fail(code);
        Answer();
    }
};

// The handlers of the forwarded commands, one each; they reach the window's
// session, model and device as its own messages do.
struct CtlHandlers {
    static void Assign(CtlCall& c);
    static void Profile(CtlCall& c);
    static void Import(CtlCall& c);
    static void Init(CtlCall& c);
    static void MacroImport(CtlCall& c);
    static void Apply(CtlCall& c);
    static void Reset(CtlCall& c);
    static void Status(CtlCall& c);

    // "Done" means on disk: every changing command has the tables written now
    // (not by the delayed save; `saveNow` false where the model's own
    // operation has already handed its save to the saver), and answers once
    // the saver thread has written them, so that a reading tarvikctl run
    // after this one reads the change, a kill of the window right after the
    // answer loses nothing, and a failed write reaches tarvikctl as exit 1 as
    // well as the window's notice.
    static void AnswerAfterWrites(CTarvikDlg& w, CtlOutput done, CtlReply send, bool saveNow = true) {
        if (saveNow) w.SaveInBackground();
        w.saver_->AfterWrites(
            [done = std::move(done), send = std::move(send)](const FileResult& written) mutable {
                if (!written) {
                    std::string why = "the profiles could not be saved: ";
                    why += written.Describe();
                    done.Err(why);
                    done.Fail();
                }
                send(done);
            });
    }
    // The problems so far go with the output; the answer follows the writes.
    static void Finish(CtlCall& c, bool saveNow = true) {
        AddProblems(c.out, c.problems);
        AnswerAfterWrites(c.window, std::move(c.out), std::move(c.reply), saveNow);
    }
};

namespace {

struct CtlCommand {
    std::string_view name;
    void (*run)(CtlCall& call);
};

// The forwarded commands (cli::IsForwardedCommand) and their handlers.
constexpr CtlCommand kCtlCommands[] = {
    {"assign", &CtlHandlers::Assign},
    {"profile add", &CtlHandlers::Profile},
    {"profile rename", &CtlHandlers::Profile},
    {"profile delete", &CtlHandlers::Profile},
    {"profile select", &CtlHandlers::Profile},
    {"import", &CtlHandlers::Import},
    {"init", &CtlHandlers::Init},
    {"macro import", &CtlHandlers::MacroImport},
    {"apply", &CtlHandlers::Apply},
    {"reset", &CtlHandlers::Reset},
    {"status", &CtlHandlers::Status},
};

} // namespace

void CTarvikDlg::RunCtlCommand(const cli::CtlRequest& request, CtlReply reply) {
    ProblemCollector problems;
    CtlCall call{*this, request.args, request.command, problems, std::move(reply), {}};
    if (!started_ || ended_) return call.Refuse("the tarvik window is starting or ending; try again");
    // The manager edits the library and the buttons' macros and writes the
    // library when it closes: a change beside it would be lost or refer to a
    // macro being edited. The user is at the window; tarvikctl says why.
    if (MacroManagerOpen())
        return call.Refuse("the tarvik window has its macro manager open; close it and try again");
    for (const CtlCommand& command : kCtlCommands)
        if (command.name == request.command) return command.run(call);
    std::string why = "the tarvik window does not know the command \"";
    why += request.command;
    why += "\"";
    call.Refuse(why, kExitUsage);
}

void CtlHandlers::Assign(CtlCall& c) {
    // As a choice in a button's menu: the listener refreshes the buttons, and
    // the send the edit asks for (none when the rule put the button back) is
    // requested here, once.
    CTarvikDlg& w = c.window;
    w.session_.BeginEdit();
    cli::RunAssign(w.model_, w.library_, c.args, c.out, [&w](int slot, const edits::EditResult& r) {
        if (slot == w.model_.GetCurrentProfile() && !r.send.Empty()) w.SendRequest(r.send);
        return true;
    });
    w.session_.EndEdit();
    if (c.out.exitCode == kExitUsage) return c.Answer();
    Finish(c);
}

void CtlHandlers::Profile(CtlCall& c) {
    // Add, rename and delete save through the saver, as the profile menu's
    // do; the model's notifications repaint what they changed. A selection is
    // an edit: its send is requested once, here.
    CTarvikDlg& w = c.window;
    const bool select = c.command == "profile select";
    if (select) w.session_.BeginEdit();
    cli::RunProfile(w.model_, c.command, c.args, c.out, [&w](SendGroups send) {
        w.SendRequest(send);
        return FileResult{};
    });
    if (select) w.session_.EndEdit();
    // A dialog opened for a slot no longer knows which profile it is for.
    if (c.out.exitCode == kExitOk) w.CloseProfileDialogs();
    // Only a selection is not saved by the model's operation.
    Finish(c, select);
}

void CtlHandlers::Import(CtlCall& c) {
    // The model's notification repaints an import into the current profile
    // and has it sent: the mouse holds the current profile.
    cli::RunImport(c.window.model_, c.args, c.out);
    if (c.out.exitCode == kExitOk) c.window.CloseProfileDialogs();
    // The model's import saved what it changed.
    Finish(c, false);
}

void CtlHandlers::Init(CtlCall& c) {
    // The window's start-up load made the folder ready; its files are written
    // once more from what the window holds.
    Finish(c);
}

void CtlHandlers::MacroImport(CtlCall& c) {
    CTarvikDlg& w = c.window;
    if (cli::RunMacroImport(w.library_, w.libraryPath_, c.args, c.out, false) <= 0) return c.Answer();
    // As after the macro manager: the buttons' macros are numbered again from
    // the library and sent; the numbering announces what it changed.
    w.controller_->RequestResync();
    if (HasMacroButton(w.Current())) {
        w.SendRequest(SendGroup::Buttons);
        w.controller_->ApplyToDevice();
    }
    // The library is written on the library saver's thread, the profiles on
    // the saver's; the answer follows both writes and tells a failure.
    AddProblems(c.out, c.problems);
    w.session_.MacroLibrarySaver().Save(w.library_, [&w, out = std::move(c.out), reply = std::move(c.reply)](
                                                        const FileResult& written) mutable {
        if (!written) {
            std::string why = "the macro library could not be saved: ";
            why += written.Describe();
            out.Err(why);
            out.Fail();
        }
        if (w.ended_) return reply(out);
        AnswerAfterWrites(w, std::move(out), std::move(reply));
    });
}

void CtlHandlers::Apply(CtlCall& c) {
    CTarvikDlg& w = c.window;
    const auto given = c.args.find("slot");
    const bool typed = given == c.args.end() || given->is_number_integer();
    const long long slot = given != c.args.end() && typed ? given->get<long long>() : -1;
    if (!typed || slot >= kProfileCount || slot < -1) return c.Refuse("a profile slot is 0-4", kExitUsage);
    // The send below covers the selection: every group is requested once.
    if (slot >= 0 &&
        w.RunEdit([&w, slot](int) { return edits::SelectProfile(w.model_, static_cast<int>(slot)); }, false,
                  false)
            .Changed())
        w.CloseProfileDialogs();
    if (!w.link_->SendTarget()) {
        c.out.Err("no mouse found (the tarvik window's device link)");
        c.out.Fail();
        // A selected slot is written all the same.
        return Finish(c);
    }
    // Whatever the caches hold: every group is sent.
    w.controller_->Cache().Forget();
    w.SendRequest(SendGroups::All());
    AddProblems(c.out, c.problems);
    w.controller_->ApplyToDevice(
        [&w, out = std::move(c.out), reply = std::move(c.reply)](const ApplyResult& r) mutable {
            if (!r.ran) {
                out.Err("the tarvik window ended before the send");
                out.Fail();
                return reply(out);
            }
            const std::optional<Identity> target = w.link_->SendTargetIdentity();
            cli::ReportApply(w.model_, target ? NameOf(*target) : "no mouse", r, true, out);
            AnswerAfterWrites(w, std::move(out), std::move(reply));
        });
}

void CtlHandlers::Reset(CtlCall& c) {
    // The factory reset as after its confirmation dialog (tarvikctl was given
    // --yes). Its profile file is written by the saver.
    CTarvikDlg& w = c.window;
    AddProblems(c.out, c.problems);
    w.controller_->FactoryReset(
        [&w, out = std::move(c.out), reply = std::move(c.reply)](const ResetResult& r) mutable {
            cli::ReportReset(w.model_, r, out);
            if (w.ended_) return reply(out);
            AnswerAfterWrites(w, std::move(out), std::move(reply));
        });
}

void CtlHandlers::Status(CtlCall& c) {
    // The window's own mouse is asked; a sensor change is applied and saved
    // here, as after the window's own status query.
    CTarvikDlg& w = c.window;
    const bool asJson = c.args.value("json", false);
    if (!w.link_->SendTarget()) return c.Refuse("no mouse found (the tarvik window's device link)");
    AddProblems(c.out, c.problems);
    w.controller_->QueryStatus([&w, asJson, out = std::move(c.out),
                                reply = std::move(c.reply)](const StatusResult& r) mutable {
        cli::ReportStatus(w.model_, r, w.controller_->BatteryLevel(), w.controller_->Charge(), asJson, out);
        if (w.ended_) return reply(out);
        // A sensor change was saved by the model; a query alone changes nothing.
        AnswerAfterWrites(w, std::move(out), std::move(reply), false);
    });
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
