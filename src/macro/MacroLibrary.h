// The macro library: a tree of folders and macros, three levels deep, with 60
// fixed entries per sibling list (60 / 60×60 / 60×60×60 addresses), and its
// text file (.mlf; the .mkf and .mbf export files use the same format).
//
// Only occupied entries are stored (a map keyed by location), so an empty
// library costs nothing and each macro costs about its own 1.4 kB.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/MacroRecords.h"
#include "text/FileResult.h"

namespace tarvik {

class CStdioFileEx;

// The address of a node: stage 0–2 (-1 = no node) and an index 0–59 per level;
// the indices of levels below the node's own are 0.
struct MacroLocation {
    int stage = -1;
    int stage0Index = 0;
    int stage1Index = 0;
    int stage2Index = 0;

    static MacroLocation None() { return {}; }
    static MacroLocation At(int s0) { return {0, s0, 0, 0}; }
    static MacroLocation At(int s0, int s1) { return {1, s0, s1, 0}; }
    static MacroLocation At(int s0, int s1, int s2) { return {2, s0, s1, s2}; }

    // Stage 0–2 with the indices it uses inside 0–59.
    bool IsNode() const;
    // The index within its own sibling list.
    int Index() const;
    // The folder holding it (None() for a stage-0 node).
    MacroLocation Parent() const;
    // Entry i of the same sibling list.
    MacroLocation Sibling(int i) const;
    // Entry i of this node's children (the top level for None()).
    MacroLocation Child(int i) const;

    friend bool operator==(const MacroLocation&, const MacroLocation&) = default;
};

// One node. A free entry is simply not stored.
struct MacroItem {
    std::u16string Name;
    std::unique_ptr<MacroKey> Macro; // present exactly for a macro node
    bool IsFolder = false;
    bool FolderIsOpen = false;
};

class MacroLibrary {
public:
    static constexpr int kEntries = 60;

    enum class AddResult {
        Added,
        NameConflict, // a sibling at the destination has this name
        Full,         // all 60 entries of the destination are taken
        NotAllowed,   // a folder inside a second-level folder
        InvalidName,  // empty, or holds a line feed (the file could not keep it)
        NoIndex,      // NextMacroKeyIndex ran out (0 after wrapping)
    };

    MacroLibrary() = default;
    MacroLibrary(const MacroLibrary&) = delete;
    MacroLibrary& operator=(const MacroLibrary&) = delete;
    MacroLibrary(MacroLibrary&&) = default;
    MacroLibrary& operator=(MacroLibrary&&) = default;
    // A copy of every node and of NextMacroKeyIndex (copies are explicit: a
    // library owns its macros). A window saving on another thread writes one.
    MacroLibrary Clone() const;

    // The number the next new macro receives; only grows.
    std::uint32_t NextMacroKeyIndex = 1;

    const MacroItem* NodeAt(const MacroLocation& at) const;
    // A writable look-up counts as a change of the tree (the caller may open or
    // close the folder through it), so the tree rows are listed anew afterwards.
    MacroItem* NodeAt(const MacroLocation& at);
    const MacroKey* MacroAt(const MacroLocation& at) const;
    MacroKey* MacroAt(const MacroLocation& at);

    // New macro under a selected stage-0 or stage-1 folder, else at the top
    // level, in the first free entry; on success `selection` becomes the new node.
    AddResult AddMacro(std::u16string_view name, MacroLocation& selection);
    // New folder under a selected stage-0 folder (NotAllowed for a stage-1
    // folder), else at the top level; on success `selection` becomes it.
    AddResult AddFolder(std::u16string_view name, MacroLocation& selection);
    // Adds under `parent` (None() = top level) without the selection rules.
    AddResult AddChild(const MacroLocation& parent, std::u16string_view name, bool folder,
                       MacroLocation* added);
    // Where AddMacro / AddFolder would put a node for this selection.
    MacroLocation MacroParentFor(const MacroLocation& selection) const;
    // False when AddFolder refuses the selection.
    bool FolderParentFor(const MacroLocation& selection, MacroLocation& parent) const;

    // Renames a node: NameConflict when a sibling has the name. The node's
    // macro takes the name too, so a copy bound to a button before the library
    // file is next read does not carry the old name (the file keeps only the
    // node's name, and reading it gives the macro that name anyway).
    AddResult Rename(const MacroLocation& at, std::u16string_view name);

    // Removes the node with everything below it; later siblings move one entry
    // down with their whole subtrees. False when the entry is free.
    bool Delete(const MacroLocation& at);
    // Removes every node (NextMacroKeyIndex stays). Every node, not only the
    // top-level run from entry 0: a file with gaps would otherwise leave nodes
    // behind that the next load or import mixes into its own.
    void Clear();
    // FolderIsOpen = 0 on every stage-0 and stage-1 node reached by scanning each
    // sibling list up to its first free entry.
    void CloseAllFolders();

    // True when the node is the macro numbered `index`, or a folder with such a
    // macro among its descendants.
    bool ContainsMacro(const MacroLocation& at, std::uint32_t index) const;
    // The first macro numbered `index`: stage 0, then stage 1 parent by parent,
    // then stage 2, each sibling list up to its first free entry. None() if absent.
    MacroLocation FindByIndex(std::uint32_t index) const;

    // True when any child of `parent` (None() = top level) is named `name`.
    bool HasChildNamed(const MacroLocation& parent, std::u16string_view name) const;
    // The children of `parent` from entry 0 up to the first free entry.
    std::vector<MacroLocation> ChildRun(const MacroLocation& parent) const;
    // `first` and its later siblings up to the first free entry.
    std::vector<MacroLocation> SiblingRunFrom(const MacroLocation& first) const;

    // The tree list: stage-0 nodes, each followed, when it is an open folder, by
    // its children, each followed in the same way by its own. The list is kept
    // and made anew only after the tree changed (a node added, removed or read,
    // folders closed, or a writable look-up), so painting a list is cheap. As the
    // kept list is updated from these const calls, a library must not be read
    // from two threads at once.
    std::vector<MacroLocation> Rows() const { return RowList(); }
    int RowCount() const;
    MacroLocation LocationOfRow(int row) const;       // None() past the end
    int RowOfLocation(const MacroLocation& at) const; // -1 when not shown

    std::size_t NodeCount() const { return nodes_.size(); }
    std::size_t MacroCount() const;
    bool Empty() const { return nodes_.empty(); }

    // Visits every stored node in file order (level by level, by indices).
    void ForEach(const std::function<void(const MacroLocation&, const MacroItem&)>& fn) const;

    // Reads a library file. Unopenable (Missing, Unreadable): the library stays
    // as it was. Otherwise it is cleared and filled record by record; a bad line
    // ends the load as Damaged (with the line) and keeps the records before it.
    // With `selection`, the file's "Select Locaton" line is stored there.
    FileResult Load(const std::filesystem::path& path, MacroLocation* selection = nullptr);
    // The same on the bytes of a whole file (byte-order mark included).
    FileResult LoadData(std::string_view bytes, MacroLocation* selection = nullptr);
    // Writes the library with `selection` on its third line. A failure is
    // reported once and leaves the old file as it was.
    FileResult Save(const std::filesystem::path& path,
                    const MacroLocation& selection = MacroLocation::None()) const;
    // The file text Save writes (without the byte-order mark).
    std::u16string ToText(const MacroLocation& selection) const;

private:
    FileResult Read(CStdioFileEx& file, MacroLocation* selection);
    FileResult ReadLines(CStdioFileEx& file, MacroLocation* selection);

    const std::vector<MacroLocation>& RowList() const;
    void TreeChanged() { rowsValid_ = false; }

    std::map<std::uint32_t, MacroItem> nodes_;
    mutable std::vector<MacroLocation> rows_;
    mutable bool rowsValid_ = false;
};

// The start-up (and manager-close) load of the main library from `path`. A
// missing file leaves an empty library (Missing, nothing reported). A damaged
// one loads up to its first bad line; the file is then kept as <path>.bak,
// since the next save replaces it (Replaced), and the reason is reported once,
// as for a file that cannot be read (Unreadable).
LoadOutcome LoadMainLibrary(MacroLibrary& library, const std::filesystem::path& path);

// Parses a library file (.mlf, .mkf, .mbf) without keeping it, for `tarvikctl check`.
FileResult CheckLibraryFile(const std::filesystem::path& path);

} // namespace tarvik
