#include "macro/MacroLibrary.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

#include "text/Log.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

// ---- MacroLocation

namespace {
bool InRange(int i) {
    return i >= 0 && i < MacroLibrary::kEntries;
}
} // namespace

bool MacroLocation::IsNode() const {
    switch (stage) {
    case 0:
        return InRange(stage0Index);
    case 1:
        return InRange(stage0Index) && InRange(stage1Index);
    case 2:
        return InRange(stage0Index) && InRange(stage1Index) && InRange(stage2Index);
    default:
        return false;
    }
}

int MacroLocation::Index() const {
    switch (stage) {
    case 0:
        return stage0Index;
    case 1:
        return stage1Index;
    case 2:
        return stage2Index;
    default:
        return -1;
    }
}

MacroLocation MacroLocation::Parent() const {
    switch (stage) {
    case 1:
        return At(stage0Index);
    case 2:
        return At(stage0Index, stage1Index);
    default:
        return None();
    }
}

MacroLocation MacroLocation::Sibling(int i) const {
    MacroLocation l = *this;
    switch (stage) {
    case 0:
        l.stage0Index = i;
        break;
    case 1:
        l.stage1Index = i;
        break;
    case 2:
        l.stage2Index = i;
        break;
    default:
        break;
    }
    return l;
}

MacroLocation MacroLocation::Child(int i) const {
    switch (stage) {
    case -1:
        return At(i);
    case 0:
        return At(stage0Index, i);
    case 1:
        return At(stage0Index, stage1Index, i);
    default:
        return None();
    }
}

// ---- keys: stage, then the three indices, so map order is file order

namespace {

constexpr std::uint32_t Key(int stage, int s0, int s1, int s2) {
    return (static_cast<std::uint32_t>(stage) << 18) | (static_cast<std::uint32_t>(s0) << 12) |
           (static_cast<std::uint32_t>(s1) << 6) | static_cast<std::uint32_t>(s2);
}

std::uint32_t KeyOf(const MacroLocation& l) {
    return Key(l.stage, l.stage0Index, l.stage >= 1 ? l.stage1Index : 0, l.stage == 2 ? l.stage2Index : 0);
}

MacroLocation LocationOf(std::uint32_t k) {
    return {static_cast<int>(k >> 18), static_cast<int>((k >> 12) & 63), static_cast<int>((k >> 6) & 63),
            static_cast<int>(k & 63)};
}

// Key range [first, last] of the children of `parent` (None() = top level).
std::pair<std::uint32_t, std::uint32_t> ChildRange(const MacroLocation& parent) {
    const int last = MacroLibrary::kEntries - 1;
    switch (parent.stage) {
    case -1:
        return {Key(0, 0, 0, 0), Key(0, last, 0, 0)};
    case 0:
        return {Key(1, parent.stage0Index, 0, 0), Key(1, parent.stage0Index, last, 0)};
    default:
        return {Key(2, parent.stage0Index, parent.stage1Index, 0),
                Key(2, parent.stage0Index, parent.stage1Index, last)};
    }
}

bool ValidName(std::u16string_view name) {
    return !name.empty() && !HasLineBreak(name);
}

} // namespace

// ---- access

const MacroItem* MacroLibrary::NodeAt(const MacroLocation& at) const {
    if (!at.IsNode()) return nullptr;
    auto it = nodes_.find(KeyOf(at));
    return it == nodes_.end() ? nullptr : &it->second;
}

MacroItem* MacroLibrary::NodeAt(const MacroLocation& at) {
    TreeChanged();
    return const_cast<MacroItem*>(std::as_const(*this).NodeAt(at));
}

const MacroKey* MacroLibrary::MacroAt(const MacroLocation& at) const {
    const MacroItem* n = NodeAt(at);
    return n ? n->Macro.get() : nullptr;
}

MacroKey* MacroLibrary::MacroAt(const MacroLocation& at) {
    MacroItem* n = NodeAt(at);
    return n ? n->Macro.get() : nullptr;
}

std::size_t MacroLibrary::MacroCount() const {
    return static_cast<std::size_t>(std::count_if(nodes_.begin(), nodes_.end(),
                                                  [](const auto& kv) { return kv.second.Macro != nullptr; }));
}

void MacroLibrary::ForEach(const std::function<void(const MacroLocation&, const MacroItem&)>& fn) const {
    for (const auto& [k, item] : nodes_) fn(LocationOf(k), item);
}

// ---- adding

bool MacroLibrary::HasChildNamed(const MacroLocation& parent, std::u16string_view name) const {
    auto [first, last] = ChildRange(parent);
    for (auto it = nodes_.lower_bound(first); it != nodes_.end() && it->first <= last; ++it)
        if (it->second.Name == name) return true;
    return false;
}

MacroLocation MacroLibrary::MacroParentFor(const MacroLocation& selection) const {
    const MacroItem* sel = NodeAt(selection);
    if (sel && sel->IsFolder && (selection.stage == 0 || selection.stage == 1)) return selection;
    return MacroLocation::None();
}

bool MacroLibrary::FolderParentFor(const MacroLocation& selection, MacroLocation& parent) const {
    const MacroItem* sel = NodeAt(selection);
    parent = MacroLocation::None();
    if (sel && sel->IsFolder && selection.stage == 1) return false;
    if (sel && sel->IsFolder && selection.stage == 0) parent = selection;
    return true;
}

MacroLibrary::AddResult MacroLibrary::AddChild(const MacroLocation& parent, std::u16string_view name,
                                               bool folder, MacroLocation* added) {
    if (!ValidName(name)) return AddResult::InvalidName;
    if (parent.stage != -1 && (!parent.IsNode() || parent.stage > 1)) return AddResult::NotAllowed;
    if (HasChildNamed(parent, name)) return AddResult::NameConflict;
    int free = -1;
    for (int i = 0; i < kEntries && free < 0; ++i)
        if (!nodes_.contains(KeyOf(parent.Child(i)))) free = i;
    if (free < 0) return AddResult::Full;
    if (!folder && NextMacroKeyIndex == 0) return AddResult::NoIndex;
    const MacroLocation at = parent.Child(free);
    MacroItem item;
    item.Name = std::u16string(name);
    item.IsFolder = folder;
    if (!folder) {
        item.Macro = std::make_unique<MacroKey>(item.Name);
        item.Macro->MacroKeyIndex = NextMacroKeyIndex++;
    }
    nodes_.emplace(KeyOf(at), std::move(item));
    TreeChanged();
    if (added) *added = at;
    return AddResult::Added;
}

MacroLibrary::AddResult MacroLibrary::AddMacro(std::u16string_view name, MacroLocation& selection) {
    MacroLocation added;
    AddResult r = AddChild(MacroParentFor(selection), name, false, &added);
    if (r == AddResult::Added) selection = added;
    return r;
}

MacroLibrary::AddResult MacroLibrary::AddFolder(std::u16string_view name, MacroLocation& selection) {
    MacroLocation parent;
    if (!FolderParentFor(selection, parent)) return AddResult::NotAllowed;
    MacroLocation added;
    AddResult r = AddChild(parent, name, true, &added);
    if (r == AddResult::Added) selection = added;
    return r;
}

MacroLibrary::AddResult MacroLibrary::Rename(const MacroLocation& at, std::u16string_view name) {
    MacroItem* node = NodeAt(at);
    if (!node || !ValidName(name)) return AddResult::InvalidName;
    if (node->Name == name) return AddResult::Added;
    if (HasChildNamed(at.Parent(), name)) return AddResult::NameConflict;
    node->Name = std::u16string(name);
    if (node->Macro) node->Macro->Name = node->Name;
    return AddResult::Added;
}

// ---- removing

bool MacroLibrary::Delete(const MacroLocation& at) {
    if (!NodeAt(at)) return false;
    const int i = at.Index();
    const int s0 = at.stage0Index;
    const int s1 = at.stage1Index;
    // Everything stored at or below the node's entry, and at or below later
    // entries of its sibling list (the subtrees that move down).
    auto inSubtreeOf = [&](const MacroLocation& l, bool later) {
        auto indexOk = [&](int idx) { return later ? idx > i : idx == i; };
        switch (at.stage) {
        case 0:
            return indexOk(l.stage0Index);
        case 1:
            return l.stage >= 1 && l.stage0Index == s0 && indexOk(l.stage1Index);
        default:
            return l.stage == 2 && l.stage0Index == s0 && l.stage1Index == s1 && indexOk(l.stage2Index);
        }
    };
    std::vector<std::map<std::uint32_t, MacroItem>::node_type> moving;
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        const MacroLocation l = LocationOf(it->first);
        if (inSubtreeOf(l, false)) {
            it = nodes_.erase(it);
        } else if (inSubtreeOf(l, true)) {
            auto next = std::next(it);
            moving.push_back(nodes_.extract(it));
            it = next;
        } else {
            ++it;
        }
    }
    for (auto& nh : moving) {
        MacroLocation l = LocationOf(nh.key());
        if (at.stage == 0)
            --l.stage0Index;
        else if (at.stage == 1)
            --l.stage1Index;
        else
            --l.stage2Index;
        nh.key() = KeyOf(l);
        nodes_.insert(std::move(nh));
    }
    TreeChanged();
    return true;
}

MacroLibrary MacroLibrary::Clone() const {
    MacroLibrary copy;
    copy.NextMacroKeyIndex = NextMacroKeyIndex;
    for (const auto& [key, item] : nodes_) {
        MacroItem& to = copy.nodes_[key];
        to.Name = item.Name;
        to.IsFolder = item.IsFolder;
        to.FolderIsOpen = item.FolderIsOpen;
        if (item.Macro) to.Macro = std::make_unique<MacroKey>(*item.Macro);
    }
    return copy;
}

void MacroLibrary::Clear() {
    nodes_.clear();
    TreeChanged();
}

// ---- scans

namespace {
// Calls fn for every node reached by scanning each sibling list from entry 0 up
// to its first free entry, in file order.
template <typename Map, typename Fn> void ForEachReachable(Map& nodes, Fn fn) {
    std::uint32_t list = std::numeric_limits<std::uint32_t>::max();
    int expected = 0;
    for (auto& [k, item] : nodes) {
        const MacroLocation l = LocationOf(k);
        const std::uint32_t thisList = KeyOf(l.Sibling(0));
        if (thisList != list) {
            list = thisList;
            expected = 0;
        }
        if (l.Index() != expected) continue; // behind a free entry
        ++expected;
        if (fn(l, item)) return;
    }
}
} // namespace

void MacroLibrary::CloseAllFolders() {
    TreeChanged();
    ForEachReachable(nodes_, [](const MacroLocation& l, MacroItem& item) {
        if (l.stage <= 1) item.FolderIsOpen = false;
        return false;
    });
}

bool MacroLibrary::ContainsMacro(const MacroLocation& at, std::uint32_t index) const {
    const MacroItem* node = NodeAt(at);
    if (!node) return false;
    if (node->Macro) return node->Macro->MacroKeyIndex == index;
    if (!node->IsFolder) return false;
    for (const auto& [k, item] : nodes_) {
        const MacroLocation l = LocationOf(k);
        const bool below = (at.stage == 0 && l.stage > 0 && l.stage0Index == at.stage0Index) ||
                           (at.stage == 1 && l.stage == 2 && l.stage0Index == at.stage0Index &&
                            l.stage1Index == at.stage1Index);
        if (below && item.Macro && item.Macro->MacroKeyIndex == index) return true;
    }
    return false;
}

MacroLocation MacroLibrary::FindByIndex(std::uint32_t index) const {
    MacroLocation found;
    ForEachReachable(nodes_, [&](const MacroLocation& l, const MacroItem& item) {
        if (item.Macro && item.Macro->MacroKeyIndex == index) {
            found = l;
            return true;
        }
        return false;
    });
    return found;
}

std::vector<MacroLocation> MacroLibrary::SiblingRunFrom(const MacroLocation& first) const {
    std::vector<MacroLocation> run;
    if (!first.IsNode()) return run;
    for (int i = first.Index(); i < kEntries && NodeAt(first.Sibling(i)); ++i)
        run.push_back(first.Sibling(i));
    return run;
}

std::vector<MacroLocation> MacroLibrary::ChildRun(const MacroLocation& parent) const {
    if (parent.stage >= 2) return {};
    return SiblingRunFrom(parent.Child(0));
}

// ---- tree rows

const std::vector<MacroLocation>& MacroLibrary::RowList() const {
    if (rowsValid_) return rows_;
    rows_.clear();
    std::function<void(const MacroLocation&)> add = [&](const MacroLocation& parent) {
        auto [first, last] = ChildRange(parent);
        for (auto it = nodes_.lower_bound(first); it != nodes_.end() && it->first <= last; ++it) {
            const MacroLocation l = LocationOf(it->first);
            rows_.push_back(l);
            if (it->second.IsFolder && it->second.FolderIsOpen && l.stage < 2) add(l);
        }
    };
    add(MacroLocation::None());
    rowsValid_ = true;
    return rows_;
}

int MacroLibrary::RowCount() const {
    return static_cast<int>(RowList().size());
}

MacroLocation MacroLibrary::LocationOfRow(int row) const {
    const auto& rows = RowList();
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return MacroLocation::None();
    return rows[static_cast<std::size_t>(row)];
}

int MacroLibrary::RowOfLocation(const MacroLocation& at) const {
    if (!at.IsNode()) return -1;
    const auto& rows = RowList();
    const std::uint32_t key = KeyOf(at);
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (KeyOf(rows[r]) == key) return static_cast<int>(r);
    return -1;
}

// ---- file

namespace {

// The text after the first "=", or nullopt when there is none or it is empty.
std::optional<std::u16string_view> ValueOf(std::u16string_view line) {
    std::size_t p = line.find(u'=');
    if (p == std::u16string_view::npos || p + 1 >= line.size()) return std::nullopt;
    return line.substr(p + 1);
}

// Leading decimal digits, 0 when there are none; kept modulo 2^32 so each
// field keeps the low bits of the number.
std::uint32_t LeadingDigits(std::u16string_view s) {
    std::uint32_t v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') break;
        v = v * 10 + static_cast<std::uint32_t>(c - u'0');
    }
    return v;
}

int ToInt(std::int64_t v) {
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// "...stage=S;stage0Index=A;stage1Index=B;stage2Index=C;": four numbers, each the
// text after the next "=" up to the next ";".
bool ParseLocation(std::u16string_view line, MacroLocation& loc) {
    int v[4];
    std::size_t pos = 0;
    for (int& n : v) {
        std::size_t eq = line.find(u'=', pos);
        if (eq == std::u16string_view::npos) return false;
        std::size_t semi = line.find(u';', eq + 1);
        if (semi == std::u16string_view::npos) return false;
        n = ToInt(ParseDec(line.substr(eq + 1, semi - eq - 1)));
        pos = semi + 1;
    }
    loc = {v[0], v[1], v[2], v[3]};
    return true;
}

bool RecordLocationValid(const MacroLocation& l) {
    return l.stage >= 0 && l.stage <= 2 && InRange(l.stage0Index) && InRange(l.stage1Index) &&
           InRange(l.stage2Index);
}

void AppendLocation(std::u16string& out, const MacroLocation& l) {
    out += u"stage=";
    out += Dec(l.stage);
    out += u";stage0Index=";
    out += Dec(l.stage0Index);
    out += u";stage1Index=";
    out += Dec(l.stage1Index);
    out += u";stage2Index=";
    out += Dec(l.stage2Index);
    out += u';';
}

// A record while it is read: the node, where it goes, and its folder flags.
struct Record {
    MacroItem item;
    MacroLocation at;
    std::uint32_t isFolder = 0;
    std::uint32_t isOpen = 0;
};

// The lines every record has. `key` is what the writer puts before the value;
// the reader takes each line by its place and reads only after the first "=".
struct ItemLine {
    const char16_t* key;
    void (*write)(std::u16string& out, const MacroLocation& at, const MacroItem& item);
    bool (*read)(std::u16string_view line, Record& rec); // false: the line is refused
    const char* problem;
};

constexpr ItemLine kItemLines[] = {
    {u"++++++++MacroItemName=",
     [](std::u16string& out, const MacroLocation&, const MacroItem& item) { out += item.Name; },
     [](std::u16string_view line, Record& rec) {
         const auto v = ValueOf(line);
         if (v) rec.item.Name = *v;
         return v.has_value();
     },
     "no item name after \"=\""},
    {u"MacroItemLocation:",
     [](std::u16string& out, const MacroLocation& at, const MacroItem&) { AppendLocation(out, at); },
     [](std::u16string_view line, Record& rec) {
         return ValueOf(line) && ParseLocation(line, rec.at) && RecordLocationValid(rec.at);
     },
     "bad or missing item location"},
    {u"MacroItemIsFolder=",
     [](std::u16string& out, const MacroLocation&, const MacroItem& item) {
         out += item.IsFolder ? u'1' : u'0';
     },
     [](std::u16string_view line, Record& rec) {
         const auto v = ValueOf(line);
         if (v) rec.isFolder = LeadingDigits(*v);
         return v.has_value();
     },
     "bad or missing folder flags"},
    {u"MacroItemFolderIsOpen=",
     [](std::u16string& out, const MacroLocation&, const MacroItem& item) {
         out += item.FolderIsOpen ? u'1' : u'0';
     },
     [](std::u16string_view line, Record& rec) {
         const auto v = ValueOf(line);
         if (v) rec.isOpen = LeadingDigits(*v);
         return v.has_value();
     },
     "bad or missing folder flags"},
};

// The lines that follow for a macro. The reader needs a non-empty value after
// the first "="; numbers are leading decimal digits, bytes keep the low 8 bits.
struct MacroLine {
    const char16_t* key;
    void (*write)(std::u16string& out, const MacroKey& m);
    bool (*read)(std::u16string_view value, MacroKey& m); // false: the value is refused
    const char* problem;
};

template <auto M> constexpr MacroLine Number(const char16_t* key) {
    return {key, [](std::u16string& out, const MacroKey& m) { out += Dec(m.*M); },
            [](std::u16string_view v, MacroKey& m) {
                m.*M = static_cast<std::remove_reference_t<decltype(m.*M)>>(LeadingDigits(v));
                return true;
            },
            "bad or missing macro numbers"};
}

constexpr MacroLine kMacroLines[] = {
    Number<&MacroKey::MacroKeyIndex>(u"MacroKeyIndex="),
    Number<&MacroKey::MacroKeyLoopType>(u"MacroKeyLoopType="),
    Number<&MacroKey::MacroKeyLoopNum>(u"MacroKeyLoopNum="),
    Number<&MacroKey::MacroActionNum>(u"MacroActionNum="),
    Number<&MacroKey::MacroCommandActionNum>(u"MacroCommandActionNum="),
    {u"AllAction=", [](std::u16string& out, const MacroKey& m) { AppendStepDigits(out, m.AllAction); },
     [](std::u16string_view v, MacroKey& m) { return ReadStepDigits(v, m.AllAction); },
     "the step line does not hold 2688 hexadecimal digits"},
};

class Reader {
public:
    explicit Reader(CStdioFileEx& f) : f_(f) {}
    // The next line; false at the end of the file.
    bool Next(std::u16string& line) {
        ++line_;
        return f_.ReadLine(line);
    }
    int Line() const { return line_; }

private:
    CStdioFileEx& f_;
    int line_ = 0;
};

} // namespace

std::u16string MacroLibrary::ToText(const MacroLocation& selection) const {
    std::u16string out;
    out.reserve(128 + nodes_.size() * 300 + MacroCount() * (kStepDigits + 200));
    out += u"[MacroLibrary]\nMacroKeyIndex=";
    out += Dec(NextMacroKeyIndex);
    out += u"\nSelect Locaton:";
    AppendLocation(out, selection);
    out += u'\n';
    for (const auto& [k, item] : nodes_) {
        const MacroLocation l = LocationOf(k);
        const std::u16string_view tabs =
            std::u16string_view(u"\t\t").substr(0, static_cast<std::size_t>(l.stage));
        for (const ItemLine& line : kItemLines) {
            out += tabs;
            out += line.key;
            line.write(out, l, item);
            out += u'\n';
        }
        if (!item.Macro) continue;
        for (const MacroLine& line : kMacroLines) {
            out += tabs;
            out += line.key;
            line.write(out, *item.Macro);
            out += u'\n';
        }
    }
    return out;
}

FileResult MacroLibrary::Save(const std::filesystem::path& path, const MacroLocation& selection) const {
    if (leftAlone_ && leftAlone_->path == path) {
        if (ToText(MacroLocation::None()) == leftAlone_->loaded) return {}; // nothing to save, nothing lost
        std::string reason = "not saved: ";
        reason += leftAlone_->why;
        reason += "; the file is left as it is in this run";
        if (!leftAlone_->reported) {
            leftAlone_->reported = true;
            std::string message = "macro library ";
            message += path.string();
            message += ": ";
            message += reason;
            ReportProblem(message);
        }
        return FileResult::Failure(FileError::NotWritten, std::move(reason));
    }
    return WriteUnicodeFile(path, ToText(selection), "macro library file");
}

void MacroLibrary::LeaveFileAlone(const std::filesystem::path& path, std::string why) {
    leftAlone_ = std::make_unique<LeftAlone>(LeftAlone{path, ToText(MacroLocation::None()), std::move(why)});
}

FileResult MacroLibrary::Load(const std::filesystem::path& path, MacroLocation* selection) {
    CStdioFileEx f;
    if (FileResult opened = OpenForReading(f, path, kMaxLibraryFileBytes); !opened) return opened;
    return Read(f, selection);
}

FileResult MacroLibrary::LoadData(std::string_view bytes, MacroLocation* selection) {
    CStdioFileEx f;
    f.OpenBuffer(bytes);
    return Read(f, selection);
}

FileResult MacroLibrary::ReadLines(CStdioFileEx& f, MacroLocation* selection) {
    Clear();
    Reader in(f);
    std::u16string line;
    auto fail = [&](const char* why) { return FileResult::Failure(FileError::Damaged, why, in.Line()); };

    if (!in.Next(line) || line != u"[MacroLibrary]") return fail("the first line is not [MacroLibrary]");
    if (!in.Next(line)) return fail("the file ends before the macro number");
    auto next = ValueOf(line);
    if (!next) return fail("no macro number after \"=\"");
    NextMacroKeyIndex = LeadingDigits(*next);
    if (!in.Next(line)) return fail("the file ends before the selection line");
    MacroLocation sel;
    if (!ParseLocation(line, sel)) return fail("the selection line is not a location");
    if (selection) *selection = sel;

    // Records one after the other; the file may end only between two.
    while (in.Next(line)) {
        Record rec;
        bool first = true;
        for (const ItemLine& row : kItemLines) {
            if (!first && !in.Next(line)) return fail("the file ends inside a record");
            first = false;
            if (!row.read(line, rec)) return fail(row.problem);
        }
        rec.item.IsFolder = rec.isFolder != 0;
        if (rec.item.IsFolder) {
            rec.item.FolderIsOpen = rec.isOpen != 0;
        } else {
            auto m = std::make_unique<MacroKey>(rec.item.Name);
            for (const MacroLine& row : kMacroLines) {
                if (!in.Next(line)) return fail("the file ends inside a record");
                const auto value = ValueOf(line);
                if (!value || !row.read(*value, *m)) return fail(row.problem);
            }
            rec.item.Macro = std::move(m);
        }
        nodes_.insert_or_assign(KeyOf(rec.at), std::move(rec.item));
        TreeChanged();
    }
    return {};
}

FileResult MacroLibrary::Read(CStdioFileEx& f, MacroLocation* selection) {
    FileResult r = ReadLines(f, selection);
    // A counter at or below a stored number (a hand-edited or damaged file) would
    // hand that number out again and bind buttons to the wrong macro; 0 is no
    // macro at all.
    std::uint32_t highest = 0;
    for (const auto& [k, item] : nodes_)
        if (item.Macro) highest = std::max(highest, item.Macro->MacroKeyIndex);
    if (NextMacroKeyIndex <= highest && highest != std::numeric_limits<std::uint32_t>::max())
        NextMacroKeyIndex = highest + 1;
    return r;
}

LoadOutcome LoadMainLibrary(MacroLibrary& library, const std::filesystem::path& path, bool repairs,
                            const std::string& noRepairs) {
    LoadOutcome out;
    out.read = library.Load(path);
    if (out.read) return out;
    out.state = StateAfter(out.read);
    if (out.state == LoadState::Missing) return out; // a first start: nothing to tell
    std::string msg = "macro library ";
    msg += path.string();
    msg += ": ";
    msg += out.read.Describe();
    std::string why;
    if (out.state == LoadState::Unreadable) {
        why = "it could not be read at start-up (";
        why += out.read.reason;
        why += ')';
        msg += "; the library is empty in memory and the file is not saved over";
    } else if (!repairs) {
        out.state = LoadState::Kept;
        why = "it is damaged and was not replaced: ";
        why += noRepairs;
        msg += "; the file is left as it is: ";
        msg += noRepairs;
    } else {
        // The next save replaces the file: what it held is kept beside it first.
        Backup kept = KeepBackup(path, kMaxLibraryFileBytes);
        if (!kept.result) {
            out.state = LoadState::Kept;
            why = "it is damaged, and ";
            why += kept.result.reason;
            msg += "; ";
            msg += kept.result.reason;
            msg += ", so the file is left as it is";
        } else {
            out.backup = kept.path;
            msg += kept.moved ? "; moved to " : "; kept as ";
            msg += kept.path.string();
        }
    }
    if (!why.empty()) library.LeaveFileAlone(path, std::move(why));
    ReportProblem(msg);
    return out;
}

FileResult CheckLibraryFile(const std::filesystem::path& path) {
    MacroLibrary scratch;
    return scratch.Load(path);
}

} // namespace tarvik
