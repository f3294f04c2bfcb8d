#include "macro/MacroFiles.h"

#include <utility>

#include "text/Language.h"

namespace tarvik {

namespace {

// Everything but the name and the number: loop settings, counts and steps.
void CopyMacroBody(MacroKey& to, const MacroKey& from) {
    to.MacroKeyLoopType = from.MacroKeyLoopType;
    to.MacroKeyLoopNum = from.MacroKeyLoopNum;
    to.MacroCommandActionNum = from.MacroCommandActionNum;
    to.MacroActionNum = from.MacroActionNum;
    to.AllAction = from.AllAction;
}

// Adds a copy of staging node `src` under `parent`; false when refused.
bool CopyNode(MacroLibrary& main, const MacroItem& src, const MacroLocation& parent, MacroLocation& added) {
    if (main.AddChild(parent, src.Name, src.IsFolder, &added) != MacroLibrary::AddResult::Added) return false;
    if (!src.IsFolder && src.Macro) CopyMacroBody(*main.MacroAt(added), *src.Macro);
    return true;
}

// The macro import once the file was read into `staging`.
ImportResult MergeMacro(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection, FileResult load,
                        const MacroLocation& fileSelection) {
    ImportResult r;
    r.load = std::move(load);
    if (const MacroItem* m = staging.NodeAt(fileSelection)) {
        MacroLocation at = selection;
        switch (main.AddMacro(m->Name, at)) {
        case MacroLibrary::AddResult::Added:
            if (m->Macro) CopyMacroBody(*main.MacroAt(at), *m->Macro);
            selection = at;
            r.created = 1;
            break;
        case MacroLibrary::AddResult::NameConflict:
            r.notice = Notice::NameTaken;
            break;
        default:
            break; // a full destination takes nothing
        }
        // A name conflict changes nothing, not even the folder's open state.
        if (r.notice == Notice::None)
            if (MacroItem* sel = main.NodeAt(selection); sel && sel->IsFolder) sel->FolderIsOpen = true;
    }
    staging.Clear();
    return r;
}

// The library import once the file was read into `staging`.
ImportResult MergeLibrary(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                          FileResult load, const MacroLocation& s) {
    ImportResult r;
    r.load = std::move(load);
    const MacroLocation dest = main.MacroParentFor(selection);
    const bool intoFolder = dest.stage != -1;

    std::vector<MacroLocation> sources;
    const MacroItem* sNode = staging.NodeAt(s);
    if (!s.IsNode()) {
        sources = staging.ChildRun(MacroLocation::None());
    } else if (sNode && (intoFolder || !sNode->IsFolder)) {
        sources = staging.SiblingRunFrom(s);
    } else if (sNode) {
        sources = {s};
    }

    for (const MacroLocation& src : sources) {
        if (main.HasChildNamed(dest, staging.NodeAt(src)->Name)) {
            r.notice = Notice::NameTaken;
            staging.Clear();
            return r;
        }
    }

    MacroLocation last = MacroLocation::None();
    auto copy = [&](const MacroItem& item, const MacroLocation& parent, MacroLocation& added) {
        if (!CopyNode(main, item, parent, added)) return false;
        last = added;
        ++r.created;
        return true;
    };
    for (const MacroLocation& src : sources) {
        const MacroItem& item = *staging.NodeAt(src);
        MacroLocation added;
        if (!item.IsFolder) {
            copy(item, dest, added);
            continue;
        }
        // Into a folder only a top-level folder takes a sub-folder, and then only
        // with its macros; at the top level a folder keeps two levels.
        if (intoFolder && dest.stage != 0) continue;
        if (!copy(item, dest, added)) continue;
        const MacroLocation folder = added;
        for (const MacroLocation& child : staging.ChildRun(src)) {
            const MacroItem& c = *staging.NodeAt(child);
            if (!c.IsFolder) {
                copy(c, folder, added);
            } else if (!intoFolder && copy(c, folder, added)) {
                const MacroLocation sub = added;
                for (const MacroLocation& grandchild : staging.ChildRun(child)) {
                    const MacroItem& g = *staging.NodeAt(grandchild);
                    if (!g.IsFolder) copy(g, sub, added);
                }
            }
        }
    }
    if (intoFolder) main.NodeAt(dest)->FolderIsOpen = true;
    if (last.IsNode()) selection = last;
    staging.Clear();
    return r;
}

} // namespace

FileResult ExportMacro(const MacroLibrary& library, const MacroLocation& selection,
                       const std::filesystem::path& path) {
    if (!library.MacroAt(selection))
        return FileResult::Failure(FileError::NotWritten, "no macro is selected");
    return library.Save(path, selection);
}

FileResult ExportLibrary(const MacroLibrary& library, const MacroLocation& selection,
                         const std::filesystem::path& path) {
    return library.Save(path, selection);
}

namespace {
// A node's name as one file name: "/" (and a backslash) would name a folder and a
// NUL would end the name, so each becomes "_".
std::u16string FileNameOf(std::u16string name) {
    for (char16_t& c : name)
        if (c == u'/' || c == u'\\' || c == u'\0') c = u'_';
    return name;
}
} // namespace

std::u16string ProposedMacroFileName(const MacroLibrary& library, const MacroLocation& selection) {
    const MacroItem* node = library.NodeAt(selection);
    return FileNameOf(node ? node->Name : std::u16string()) + u".mkf";
}

std::u16string ProposedLibraryFileName(const MacroLibrary& library, const MacroLocation& selection) {
    const MacroItem* node = library.NodeAt(selection);
    return node ? FileNameOf(node->Name) + u".mbf" : u"AllMacroKey.mbf";
}

ImportResult ImportMacroFile(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                             const std::filesystem::path& path) {
    MacroLocation fileSelection;
    FileResult load = staging.Load(path, &fileSelection);
    return MergeMacro(main, staging, selection, std::move(load), fileSelection);
}

ImportResult ImportMacroData(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                             std::string_view bytes) {
    MacroLocation fileSelection;
    FileResult load = staging.LoadData(bytes, &fileSelection);
    return MergeMacro(main, staging, selection, std::move(load), fileSelection);
}

ImportResult ImportLibraryFile(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                               const std::filesystem::path& path) {
    MacroLocation fileSelection;
    FileResult load = staging.Load(path, &fileSelection);
    return MergeLibrary(main, staging, selection, std::move(load), fileSelection);
}

ImportResult ImportLibraryData(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                               std::string_view bytes) {
    MacroLocation fileSelection;
    FileResult load = staging.LoadData(bytes, &fileSelection);
    return MergeLibrary(main, staging, selection, std::move(load), fileSelection);
}

MacroSelectResult ChooseMacro(const MacroLibrary& library, const MacroLocation& selection) {
    MacroSelectResult r;
    const MacroItem* node = library.NodeAt(selection);
    if (!node || !node->Macro) {
        r.notice = Notice::NoMacroSelected;
        return r;
    }
    if (!node->Macro->FitsMouse()) {
        r.tooLongSteps = node->Macro->MacroCommandActionNum;
        return r;
    }
    r.choice = ButtonChoice{LanguageString(190) + node->Name, KeyAction{kFnMacro, 0, 0}};
    r.macro = node->Macro.get();
    return r;
}

MacroLocation FindByPath(const MacroLibrary& library, std::u16string_view path) {
    MacroLocation parent = MacroLocation::None();
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find(u'/', start);
        const std::u16string_view part = path.substr(
            start, slash == std::u16string_view::npos ? std::u16string_view::npos : slash - start);
        if (parent.stage >= 2) return MacroLocation::None();
        MacroLocation found = MacroLocation::None();
        for (int i = 0; i < MacroLibrary::kEntries && !found.IsNode(); ++i) {
            const MacroItem* n = library.NodeAt(parent.Child(i));
            if (n && n->Name == part) found = parent.Child(i);
        }
        if (!found.IsNode()) return found;
        if (slash == std::u16string_view::npos) return found;
        parent = found;
        start = slash + 1;
    }
}

std::u16string PathOf(const MacroLibrary& library, const MacroLocation& at) {
    std::u16string path;
    for (MacroLocation l = at; l.IsNode(); l = l.Parent()) {
        const MacroItem* n = library.NodeAt(l);
        const std::u16string name = n ? n->Name : u"";
        path = path.empty() ? name : name + u"/" + path;
    }
    return path;
}

} // namespace tarvik
