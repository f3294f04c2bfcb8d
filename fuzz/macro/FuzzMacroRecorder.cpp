// The macro manager's recorder and step editing fed arbitrary streams of key
// messages and commands: no crash, and the counts stay within their limits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "macro/MacroEditor.h"
#include "text/U16.h"

#include "FuzzCheck.h"

using namespace tarvik;

namespace {

struct Stream {
    const std::uint8_t* p;
    std::size_t n;
    bool Empty() const { return n == 0; }
    std::uint8_t U8() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | U8();
        return v;
    }
};

// The properties of a macro recorded from scratch with nothing else done to it.
void CheckPureRecording(const MacroKey& m, bool delays) {
    std::size_t keys = 0;
    bool previousDelay = true; // no delay may come first
    for (std::size_t i = 0; i < m.ValidCount(); ++i) {
        const MacroAction s = m.GetAction(i);
        if (s.IsDelay()) {
            CHECK(delays && !previousDelay);
            CHECK(s.b[0] == 3 && s.DelayMs() <= kMaxRecordedDelayMs);
            previousDelay = true;
        } else {
            // Any code above 7 is recorded as it comes (0xE5–0xE7 then read as moves of 0).
            CHECK(s.b[0] > 7 && s.b[2] == 0 && s.b[3] == 0 && (s.b[1] == 0 || s.b[1] == 0x80));
            ++keys;
            previousDelay = false;
        }
    }
    CHECK(keys == m.MacroCommandActionNum);
    if (!delays) CHECK(m.MacroActionNum == keys);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MacroLibrary lib;
    MacroEditor editor(lib);
    editor.Open();
    CHECK(editor.NewMacro(u"m") == Notice::None);
    Stream in{data, size};
    editor.SetRecordDelays(in.U8() & 1);
    bool pure = false;

    StepDialogs dialogs;
    dialogs.key = [&](const MacroAction&) -> std::optional<std::uint8_t> {
        const std::uint8_t c = in.U8();
        if (c == 0xFF) return std::nullopt;
        return c;
    };
    // Delays typed into the editor stay at or below 127 ms here, so only the
    // limited insertions raise the count.
    dialogs.delay = [&](const MacroAction&) -> std::optional<std::u16string> {
        const std::uint8_t c = in.U8();
        if (c == 0xFF) return std::nullopt;
        return Dec(c & 0x7F);
    };
    dialogs.move = [&](const MacroAction&, int) -> std::optional<std::u16string> {
        const std::uint32_t v = in.U32();
        if (v == 0xFFFFFFFF) return std::nullopt;
        return Dec(v);
    };

    while (!in.Empty()) {
        const std::uint8_t op = in.U8();
        MacroKey& m = *editor.CurrentMacro();
        if (op < 0xC0) {
            const std::uint32_t w = in.U8();
            const std::uint32_t l = in.U32();
            const std::uint8_t countBefore = m.MacroCommandActionNum;
            const bool recording = editor.Recording();
            const auto r = editor.OnKeyMessage(w, l);
            if (r.stopped)
                CHECK(recording && !editor.Recording() && r.notice == Notice::RecordingLimit &&
                      countBefore >= 168 && !r.saved); // an editor without a library path saves nothing
            if (r.added) CHECK(recording && m.MacroCommandActionNum == countBefore + 1);
            if (!recording) CHECK(!r.added);
        } else if (op < 0xD0) {
            if (!editor.Recording()) {
                editor.SetRecordDelays(op & 1);
                CHECK(editor.StartRecording() == Notice::None);
                CHECK(m.MacroActionNum == 0 && m.MacroCommandActionNum == 0);
                pure = true;
            }
        } else if (op < 0xD8) {
            const bool wasRecording = editor.Recording();
            const FileResult stopped = editor.StopRecording();
            CHECK(!editor.Recording() && stopped.ok() == !wasRecording);
        } else if (op < 0xE8) {
            const Notice notice = editor.InsertStep(op - 0xD8, dialogs); // kinds 0–15; 9–15 do nothing
            CHECK(notice == Notice::None || notice == Notice::StepLimit);
            pure = false;
        } else if (op < 0xF0) {
            editor.SelectStep(static_cast<int>(in.U8()) * 2 - 10);
        } else if (op < 0xF8) {
            editor.DeleteStep();
            pure = false;
        } else {
            editor.EditStep(dialogs);
            pure = false;
        }
        CHECK(m.MacroActionNum <= MacroKey::kMaxActions);
        CHECK(m.MacroCommandActionNum <= MacroKey::kMaxCommandActions);
        CHECK(editor.SelectedStep() < static_cast<int>(m.ValidCount()));
        if (pure) CheckPureRecording(m, editor.RecordsDelays());
    }
    return 0;
}
