// What a window configures for the controls it owns: its radio groups, its
// level buttons, its page tabs, and the command ids whose click repaints the
// whole window. The toolkit's controls read these from their window, so the
// toolkit itself knows no window's ids.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace tarvik {

// A set of command ids, kept as inclusive ranges.
class IdRanges {
public:
    IdRanges() = default;
    IdRanges(std::initializer_list<std::pair<int, int>> ranges) : ranges_(ranges) {}

    void Add(int first, int last) { ranges_.emplace_back(first, last); }
    void Add(int id) { Add(id, id); }
    bool Contains(int id) const;
    bool Empty() const { return ranges_.empty(); }

private:
    std::vector<std::pair<int, int>> ranges_;
};

// Radio groups whose selections live in one 32-bit word. Each group owns one bit
// per member; selecting a member clears the group's bits and sets its own. A
// window keeps its own groups, or uses groups shared with other windows so that
// the selections outlive it.
class RadioGroups {
public:
    // Adds a group whose members take the bits firstBit, firstBit + 1, ... in
    // order. Refused (false, nothing added) when a bit lies outside 0-31 or is
    // taken, or an id is already a member of a group.
    bool AddGroup(int firstBit, std::initializer_list<int> ids);

    std::uint32_t Word() const { return word_; }
    void SetWord(std::uint32_t word) { word_ = word; }

    // Bit of a member, or -1 for an id of no group.
    int Bit(int id) const;
    // All bits of the id's group (0 for an id of no group).
    std::uint32_t GroupMask(int id) const;
    // Clears the id's group and sets its bit; ids of no group change nothing.
    void Select(int id);
    // Clears every bit of the id's group: no member is selected.
    void ClearGroup(int id);
    bool IsSelected(int id) const;
    // The selected member of the group that holds `id`, or 0 when none is.
    int SelectedIn(int id) const;

private:
    struct Member {
        int id;
        int bit;
        int group;
    };
    const Member* Find(int id) const;

    std::vector<Member> members_;
    int groups_ = 0;
    std::uint32_t word_ = 0;
};

// The level buttons of a window: consecutive command ids from `firstId`, one
// per level, sharing the mask of enabled levels (bit k = level k). A click on a
// level enables it and every level below it.
class LevelGroup {
public:
    static constexpr int kLevels = 8;
    static constexpr std::uint8_t kInitialMask = 0x02;

    // The buttons start at `firstId` (level 0's button); -1 while the window has none.
    void PlaceButtons(int firstId) { firstId_ = firstId; }
    int FirstId() const { return firstId_; }
    // The enabled levels, bit k = level k: the profile's, shown on the buttons.
    void SetMask(std::uint8_t mask) { mask_ = mask; }
    std::uint8_t Mask() const { return mask_; }

    // The level a button id stands for (0-7), or -1.
    int LevelOf(int id) const;
    bool IsEnabled(int level) const { return level >= 0 && level < kLevels && (mask_ >> level & 1u) != 0; }
    // A click on level k's button enables levels 0 to k and disables the others.
    void ClickLevel(int level);

private:
    int firstId_ = -1;
    std::uint8_t mask_ = kInitialMask;
};

// The pages of a window and the tabs that switch them. A tab id selects either
// a page or a sub-page value; a click on it stores that value.
class PageTabs {
public:
    // Tabs firstId, firstId + 1, ... select the pages firstPage, firstPage + 1, ...
    void AddPageTabs(int firstId, int lastId, int firstPage);
    // Tabs firstId, firstId + 1, ... select the sub-pages firstSubPage, ...
    void AddSubPageTabs(int firstId, int lastId, int firstSubPage);

    // The page (or sub-page) a tab selects, -1 when it selects none.
    int PageOf(int id) const;
    int SubPageOf(int id) const;

    // A click on tab `id`: stores the page or sub-page it selects (none: nothing).
    void Select(int id);
    void ShowPage(int page) { page_ = page; }
    void ShowSubPage(int subPage) { subPage_ = subPage; }
    int Page() const { return page_; }
    int SubPage() const { return subPage_; }

private:
    struct Tab {
        int id;
        bool subPage;
        int value;
    };
    int Find(int id, bool subPage) const;
    std::vector<Tab> tabs_;
    int page_ = 0;
    int subPage_ = 0;
};

} // namespace tarvik
