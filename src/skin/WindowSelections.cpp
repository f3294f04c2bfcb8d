#include "skin/WindowSelections.h"

namespace tarvik {

bool IdRanges::Contains(int id) const {
    for (const auto& [first, last] : ranges_)
        if (id >= first && id <= last) return true;
    return false;
}

// ---- RadioGroups ------------------------------------------------------------------------

bool RadioGroups::AddGroup(int firstBit, std::initializer_list<int> ids) {
    std::uint32_t taken = 0;
    for (const Member& m : members_) taken |= 1u << m.bit;
    int bit = firstBit;
    for (int id : ids) {
        if (bit < 0 || bit > 31 || (taken >> bit & 1u) != 0 || Find(id)) return false;
        ++bit;
    }
    bit = firstBit;
    for (int id : ids) members_.push_back({id, bit++, groups_});
    ++groups_;
    return true;
}

const RadioGroups::Member* RadioGroups::Find(int id) const {
    for (const Member& m : members_)
        if (m.id == id) return &m;
    return nullptr;
}

int RadioGroups::Bit(int id) const {
    const Member* m = Find(id);
    return m ? m->bit : -1;
}

std::uint32_t RadioGroups::GroupMask(int id) const {
    const Member* m = Find(id);
    if (!m) return 0;
    std::uint32_t mask = 0;
    for (const Member& o : members_)
        if (o.group == m->group) mask |= 1u << o.bit;
    return mask;
}

void RadioGroups::Select(int id) {
    const Member* m = Find(id);
    if (m) word_ = (word_ & ~GroupMask(id)) | (1u << m->bit);
}

void RadioGroups::ClearGroup(int id) {
    word_ &= ~GroupMask(id);
}

bool RadioGroups::IsSelected(int id) const {
    const Member* m = Find(id);
    return m && (word_ >> m->bit & 1u) != 0;
}

int RadioGroups::SelectedIn(int id) const {
    const Member* m = Find(id);
    if (!m) return 0;
    for (const Member& o : members_)
        if (o.group == m->group && (word_ >> o.bit & 1u) != 0) return o.id;
    return 0;
}

// ---- LevelGroup ---------------------------------------------------------------------------

int LevelGroup::LevelOf(int id) const {
    if (firstId_ < 0) return -1;
    const int k = id - firstId_;
    return k >= 0 && k < kLevels ? k : -1;
}

void LevelGroup::ClickLevel(int level) {
    if (level >= 0 && level < kLevels) mask_ = static_cast<std::uint8_t>((1u << (level + 1)) - 1u);
}

// ---- PageTabs -------------------------------------------------------------------------------

void PageTabs::Select(int id) {
    if (const int page = PageOf(id); page >= 0) page_ = page;
    if (const int sub = SubPageOf(id); sub >= 0) subPage_ = sub;
}

void PageTabs::AddPageTabs(int firstId, int lastId, int firstPage) {
    for (int id = firstId; id <= lastId; ++id) tabs_.push_back({id, false, firstPage + (id - firstId)});
}

void PageTabs::AddSubPageTabs(int firstId, int lastId, int firstSubPage) {
    for (int id = firstId; id <= lastId; ++id) tabs_.push_back({id, true, firstSubPage + (id - firstId)});
}

int PageTabs::Find(int id, bool subPage) const {
    for (const Tab& t : tabs_)
        if (t.id == id && t.subPage == subPage) return t.value;
    return -1;
}

int PageTabs::PageOf(int id) const {
    return Find(id, false);
}

int PageTabs::SubPageOf(int id) const {
    return Find(id, true);
}

} // namespace tarvik
