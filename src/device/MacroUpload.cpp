#include "device/MacroUpload.h"

#include <algorithm>

#include "macro/KeyCodes.h"
#include "macro/MacroLibrary.h"

namespace tarvik {

ButtonPage BuildButtonPage(const ProfileRecord& rec) {
    ButtonPage page{};
    for (int position = 0; position < kKeyCount; ++position) {
        const KeyAction& a = rec.Keys[kProfileButtonOfPosition[position]].Action;
        page[2 + 3 * position] = a.Function;
        page[3 + 3 * position] = a.Data1;
        page[4 + 3 * position] = a.Data2;
    }
    return page;
}

FeatureReport ButtonReport(std::uint8_t sequence, int position, std::span<const std::uint8_t, 3> action) {
    const std::uint8_t payload[] = {static_cast<std::uint8_t>(position), action[0], action[1], action[2]};
    return FeatureReport::Write(kCmdSetButton, sequence, payload);
}

MacroFinder LibraryFinder(const MacroLibrary& library) {
    return [&library](std::uint32_t index) { return library.MacroAt(library.FindByIndex(index)); };
}

NumberingResult AssignMacroNumbers(ProfileRecord& rec, const MacroFinder& finder, bool resync,
                                   const std::u16string& disabledName) {
    NumberingResult result;
    // Library node -> number, handed out afresh in button order.
    std::vector<std::pair<const MacroKey*, std::uint8_t>> given;
    std::uint8_t next = 1;
    for (int k = 0; k < kKeyCount; ++k) {
        KeySlot& slot = rec.Keys[k];
        if (slot.Action.Function != kMacroFunction) continue;
        const MacroKey* source = (slot.MacroKeyIndex != 0 && finder) ? finder(slot.MacroKeyIndex) : nullptr;
        if (!source || !source->FitsMouse()) {
            // The mouse would play whatever it holds under the number: the
            // button is switched off instead.
            if (source)
                result.tooLong.push_back(
                    {k, source->Name, slot.MacroKeyIndex, source->MacroCommandActionNum});
            slot.Name = disabledName;
            slot.Action = KeyAction{};
            result.disabled.push_back(k);
            continue;
        }
        auto it = std::find_if(given.begin(), given.end(), [&](const auto& e) { return e.first == source; });
        std::uint8_t number;
        if (it != given.end()) {
            number = it->second;
        } else {
            number = next++;
            given.emplace_back(source, number);
        }
        if (resync) {
            slot.AssignMacro(source);
        } else {
            // The profile file keeps only the steps; the header fields the mouse
            // needs come from the library macro.
            slot.Macro.MacroCommandActionNum = source->MacroCommandActionNum;
            slot.Macro.MacroKeyLoopType = source->MacroKeyLoopType;
            slot.Macro.MacroKeyLoopNum = source->MacroKeyLoopNum;
        }
        slot.Action.Function = kMacroFunction;
        slot.Action.Data1 = static_cast<std::uint8_t>((source->MacroKeyLoopType << 4) | (number & 0x0F));
        slot.Action.Data2 = source->MacroKeyLoopType == 2 ? source->MacroKeyLoopNum : 0;
        result.numbers[k] = number;
    }
    return result;
}

bool HasMacroButton(const ProfileRecord& rec) {
    return std::any_of(rec.Keys.begin(), rec.Keys.end(),
                       [](const KeySlot& s) { return s.Action.Function == kMacroFunction; });
}

std::array<std::uint8_t, 3> DeviceStep(const MacroAction& action, std::uint32_t delayMs) {
    const std::uint8_t c = KeyCodeToHid()[action.b[0]];
    std::uint8_t kind = 0;
    std::uint8_t value = c;
    if (c <= 0x90) {
        kind = 3; // keyboard key
    } else if (c <= 0xE7) {
        kind = 2; // keyboard modifier bit
        value = static_cast<std::uint8_t>(1u << (c & 7));
    } else if (c >= 0xF0 && c <= 0xF4) {
        kind = 1; // mouse button bit
        value = static_cast<std::uint8_t>(1u << (c & 7));
    } else if (c == 0xF5) {
        kind = 4; // X movement
        value = action.b[3];
    } else if (c == 0xF6) {
        kind = 5; // Y movement
        value = action.b[3];
    } else if (c == 0xF7) {
        kind = 6; // wheel
        value = action.b[3];
    }
    const std::uint32_t delay = std::min(delayMs, kMaxStepDelay);
    return {static_cast<std::uint8_t>((action.b[1] & 0x80) | (kind << 4) | ((delay >> 8) & 0x0F)),
            static_cast<std::uint8_t>(delay & 0xFF), value};
}

MacroImage BuildMacroImage(const MacroKey& macro, std::uint8_t number) {
    MacroImage image{};
    image[0] = 0x09;
    image[1] = 0x90;
    image[2] = number;
    image[3] = macro.MacroCommandActionNum;
    std::size_t at = kMacroHeaderSize;
    const std::size_t count = macro.ValidCount();
    for (std::size_t i = 0; i < count && at + 3 <= image.size(); ++i) {
        const MacroAction& a = macro.AllAction[i];
        if (a.IsDelay()) continue; // lends its value to the step before it
        std::uint32_t delay = 0;
        if (i + 1 < count && macro.AllAction[i + 1].IsDelay()) delay = macro.AllAction[i + 1].DelayMs();
        const auto step = DeviceStep(a, delay);
        std::copy(step.begin(), step.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
        at += 3;
    }
    return image;
}

int MacroChunkCount(std::uint8_t commandActionNum) {
    const int total = commandActionNum * 3;
    const int chunks = (total + static_cast<int>(kChunkData) - 1) / static_cast<int>(kChunkData);
    return chunks == 0 ? 1 : chunks;
}

FeatureReport MacroChunk(const MacroImage& image, std::uint8_t commandActionNum, int index,
                         std::uint8_t sequence) {
    const int total = commandActionNum * 3;
    const int chunks = MacroChunkCount(commandActionNum);
    const int remaining = total - static_cast<int>(kChunkData) * index;
    const auto length =
        static_cast<std::uint8_t>(remaining > static_cast<int>(kChunkData) ? 26 : remaining + 1);
    std::array<std::uint8_t, kChunkData + 1> payload{};
    payload[0] = image[2];
    const std::size_t from = kMacroHeaderSize + kChunkData * static_cast<std::size_t>(index);
    if (from < image.size()) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from),
                    std::min(kChunkData, image.size() - from), payload.begin() + 1);
    }
    const auto byte5 = static_cast<std::uint8_t>(((index & 0x0F) << 4) | (chunks & 0x0F));
    return FeatureReport::Make(kCmdMacroChunk, sequence, byte5, length, payload);
}

} // namespace tarvik
