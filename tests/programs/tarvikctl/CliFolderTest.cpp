// tarvikctl on hostile and unlucky data folders, and with writers at work at
// the same time: no command may lose or leak a file, hang, or report success
// for a save that did not happen.
#include "model/ModelFixture.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>

#include "macro/MacroLibrary.h"
#include "model/FolderLock.h"
#include "support/RunCtl.h"

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& p) {
    std::string s = "'";
    s += p.string();
    s += "'";
    return s;
}

// Every file below `folder` with its bytes (a link as "-> target").
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        if (fs::is_symlink(it->symlink_status()))
            files[p.string()] = "-> " + fs::read_symlink(p).string();
        else if (fs::is_regular_file(it->symlink_status()))
            files[p.string()] = ReadBytes(p);
    }
    return files;
}

bool AnyTemporaryFile(const fs::path& folder) {
    for (const auto& [name, bytes] : Snapshot(folder))
        if (fs::path(name).filename().string().find(".tmp") != std::string::npos) return true;
    return false;
}

// A small tmpfs for the rows that need a read-only or full file system; only
// root may mount one, and the row skips itself otherwise.
class Mount {
public:
    explicit Mount(fs::path at) : at_(std::move(at)) {}
    ~Mount() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool Make(const char* options) {
        fs::create_directories(at_);
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", at_.c_str(), "tmpfs", 0, options) == 0;
        return mounted_;
    }
    bool ReadOnly() { return ::mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    fs::path at_;
    bool mounted_ = false;
};

// The commands that change the data folder (apply through the in-process mouse).
const char* const kChanging[] = {
    "profile add Extra", "profile rename 1 Renamed", "profile delete 1",
    "profile select 2",  "assign --button 2 dpi-up", "--hid sim apply --slot 2",
};

struct Folder {
    fs::path base;   // a private folder of the row
    fs::path data;   // the data folder the commands get
    std::string run; // shell words before tarvikctl (variables, cd)
    std::string dataArg;
    std::unique_ptr<Mount> mount;

    CtlResult Ctl(const std::string& args) const { return RunTarvikctlLine(run, dataArg + " " + args); }
};

struct Hostile {
    const char* what;
    // Makes the folder; returns why the row cannot run here, or "".
    std::function<std::string(Folder&)> prepare;
    int initExit; // what init answers; every changing command exits 1 and changes nothing
};

TEST(CliFolder, ChangingCommandsFailAndChangeNothingWhereTheyCannotSave) {
    TempDir dir;
    const auto initialised = [](Folder& f) {
        f.dataArg = "--data-dir " + Quoted(f.data);
        return f.Ctl("init").status == 0 ? std::string() : std::string("init failed");
    };
    const Hostile rows[] = {
        {"data folder that is a file",
         [](Folder& f) {
             WriteBytes(f.data, "a regular file");
             f.dataArg = "--data-dir " + Quoted(f.data);
             return std::string();
         },
         1},
        {"/dev/null as data folder",
         [](Folder& f) {
             f.data = "/dev/null";
             f.dataArg = "--data-dir /dev/null";
             return std::string();
         },
         1},
        {"a home folder that cannot be made",
         [](Folder& f) {
             f.data = "/proc/tarvik-no-home";
             f.run = "env -u TARVIK_DATA_DIR -u XDG_CONFIG_HOME HOME=/proc/tarvik-no-home";
             return std::string();
         },
         1},
        {"a folder name over the length limit",
         [](Folder& f) {
             f.data = f.base / std::string(300, 'z');
             f.dataArg = "--data-dir " + Quoted(f.data);
             return std::string();
         },
         1},
        {"read-only config folder",
         [&](Folder& f) {
             if (::geteuid() != 0) {
                 const std::string made = initialised(f);
                 fs::permissions(f.data / "config", fs::perms::owner_read | fs::perms::owner_exec);
                 return made;
             }
             f.mount = std::make_unique<Mount>(f.base / "mnt");
             if (!f.mount->Make("size=4m")) return std::string("no tmpfs can be mounted here");
             f.data = f.base / "mnt" / "data";
             const std::string made = initialised(f);
             return !made.empty() ? made : f.mount->ReadOnly() ? std::string() : std::string("no remount");
         },
         0},
        {"full disk",
         [&](Folder& f) {
             f.mount = std::make_unique<Mount>(f.base / "mnt");
             if (!f.mount->Make("size=1m")) return std::string("needs root to mount a small tmpfs");
             f.data = f.base / "mnt" / "data";
             if (std::string made = initialised(f); !made.empty()) return made;
             // A damaged profile that the next start would replace, once a
             // copy of it is kept; then fill what is left.
             WriteBytes(f.data / "config" / "default4.psf", "damaged");
             std::ofstream filler(f.base / "mnt" / "filler", std::ios::binary);
             const std::string block(4096, 'f');
             while (filler.write(block.data(), block.size())) {
             }
             return std::string();
         },
         1}, // the damaged profile cannot be copied, so it is left as it is
    };
    int index = 0;
    for (const Hostile& row : rows) {
        SCOPED_TRACE(row.what);
        Folder f;
        f.base = dir / std::to_string(index++);
        fs::create_directories(f.base);
        f.data = f.base / "data";
        const std::string skip = row.prepare(f);
        if (!skip.empty()) {
            std::cout << "[ SKIPPED ROW ] " << row.what << ": " << skip << "\n";
            continue;
        }
        const auto before = Snapshot(f.data);
        const CtlResult init = f.Ctl("init");
        EXPECT_EQ(init.status, row.initExit) << init.Err();
        for (const char* args : kChanging) {
            SCOPED_TRACE(args);
            const CtlResult r = f.Ctl(args);
            EXPECT_EQ(r.status, 1) << r.Err();
            EXPECT_FALSE(r.err.empty()); // and says why
        }
        EXPECT_TRUE(Snapshot(f.data) == before); // nothing changed, nothing left behind
        if (f.data != "/dev/null") {
            EXPECT_FALSE(AnyTemporaryFile(f.data));
        }
        std::error_code ec; // let the folder be removed
        if (::geteuid() != 0) fs::permissions(f.data / "config", fs::perms::owner_all, ec);
    }
}

// One command run of a row: `before` goes in front (a change of directory),
// "{B}" in the words stands for the row's own folder, "{D}" for its data
// folder, and --data-dir {D} is added unless the words name a folder.
struct CommandRun {
    std::string before;
    std::string args;
    int exit;
};

struct Probe {
    const char* what;
    std::function<void(const fs::path& data, const fs::path& base)> prepare; // after init
    std::vector<CommandRun> runs;
    std::function<void(const fs::path& data, const fs::path& base, const std::vector<CtlResult>& results)>
        check;
    // Every run that fails leaves the data folder as it found it.
    bool failuresChangeNothing = false;
};

std::string Fill(std::string text, const fs::path& base, const fs::path& data) {
    for (const auto& [key, value] : {std::pair{"{B}", base.string()}, std::pair{"{D}", data.string()}})
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, 3, value);
    return text;
}

std::u16string ProfileName(const fs::path& file) {
    ProfileRecord r;
    const FileResult read = ReadProfileRecord(file, r);
    if (read) return r.Settings[kSetProfileName].Value;
    // Built by appending: GCC 12 reports a false -Wrestrict for u"(" + string at -O3.
    std::u16string text = u"(";
    text += FromUtf8(read.Describe());
    text += u")";
    return text;
}

class CliFolderProbe : public ModelTest {};

TEST_F(CliFolderProbe, HostileFilesAndPaths) {
    // A macro file to import, made from the test library.
    const fs::path source = dir / "source";
    ASSERT_EQ(RunTarvikctl(source, "init").status, 0);
    WriteBytes(source / "config" / "MacroLibraryFile.mlf",
               Utf16Bytes(FromUtf8(ReadBytes(fs::path(TARVIK_TEST_DATA) / "macro/data/library.mlf.txt"))));
    const fs::path mkf = dir / "copy.mkf";
    ASSERT_EQ(RunTarvikctl(source, "macro export --path Copy " + Quoted(mkf)).status, 0);
    const auto config = [](const fs::path& data) { return data / "config"; };
    std::string slotFile; // bytes a row keeps to compare
    ino_t libraryFile = 0;
    const auto inode = [](const fs::path& p) {
        struct stat st {};
        return ::lstat(p.c_str(), &st) == 0 ? st.st_ino : ino_t{0};
    };

    const Probe rows[] = {
        // A file that fails to import changes nothing, however often it is tried.
        {"a failed import, twice",
         [&](const fs::path& d, const fs::path& b) {
             ASSERT_EQ(RunTarvikctl(d, "profile rename 2 Mine").status, 0);
             WriteBytes(b / "bad.psf", std::string("\xff\xfe[\x00", 4));
         },
         {{"", "import --slot 2 {B}/bad.psf", 1}, {"", "import --slot 2 {B}/bad.psf", 1}},
         [&](const fs::path& d, const fs::path&, const auto&) {
             EXPECT_EQ(ProfileName(config(d) / "default2.psf"), u"Mine");
             EXPECT_FALSE(fs::exists(config(d) / "default2.psf.bak"));
         }},
        {"a link planted where earlier versions copied backups through",
         [&](const fs::path& d, const fs::path& b) {
             WriteBytes(b / "victim.txt", "victim");
             fs::create_symlink(b / "victim.txt", config(d) / "default3.psf.bak.tmp");
             WriteBytes(config(d) / "default3.psf", "garbage");
         },
         // Repairs are the owner's: a reading command leaves the damaged file alone.
         {{"", "show --slot 3", 1}, {"", "init", 0}},
         [&](const fs::path& d, const fs::path& b, const auto&) {
             EXPECT_EQ(ReadBytes(b / "victim.txt"), "victim");
             EXPECT_EQ(ReadBytes(config(d) / "default3.psf.bak"), "garbage");
             EXPECT_TRUE(CheckProfileFile(config(d) / "default3.psf"));
             EXPECT_FALSE(fs::exists(fs::symlink_status(config(d) / "default3.psf.bak.tmp")));
         }},
        {"a slot path outside the data folder",
         [&](const fs::path& d, const fs::path& b) {
             WriteBytes(b / "victim.txt", "victim");
             SettingsModel m(d);
             ASSERT_TRUE(m.ReadSettingsFile(config(d) / "config.ini"));
             m.Ini[kIniSlotUrl0 + 3].Value = PathToU16(b / "victim.txt");
             ASSERT_TRUE(m.SaveSettingsFile());
         },
         {{"", "show", 0}, {"", "profile rename 3 Mine", 0}},
         [&](const fs::path& d, const fs::path& b, const auto& r) {
             EXPECT_EQ(ReadBytes(b / "victim.txt"), "victim");
             EXPECT_NE(r[0].Err().find("ProfileSlot3URL names"), std::string::npos) << r[0].Err();
             EXPECT_EQ(ProfileName(config(d) / "default3.psf"), u"Mine");
         }},
        {"a copied data folder",
         [&](const fs::path& d, const fs::path& b) {
             ASSERT_EQ(RunTarvikctl(d, "profile rename 2 Original").status, 0);
             fs::copy(d, b / "copy", fs::copy_options::recursive);
         },
         {{"", "--data-dir {B}/copy profile rename 2 Copy", 0}},
         [&](const fs::path& d, const fs::path& b, const auto&) {
             EXPECT_EQ(ProfileName(config(d) / "default2.psf"), u"Original");
             EXPECT_EQ(ProfileName(config(b / "copy") / "default2.psf"), u"Copy");
         }},
        {"a relative data folder",
         [&](const fs::path&, const fs::path& b) { fs::create_directories(b / "elsewhere"); },
         {{"cd {B} &&", "--data-dir rel init", 0},
          {"cd {B}/elsewhere &&", "--data-dir ../rel profile rename 1 Rel", 0}},
         [&](const fs::path&, const fs::path& b, const auto&) {
             SettingsModel m(b / "rel");
             ASSERT_TRUE(m.ReadSettingsFile(config(b / "rel") / "config.ini"));
             EXPECT_TRUE(PathFromU16(m.Ini[kIniSlotUrl0 + 1].Value).is_absolute());
             EXPECT_EQ(ProfileName(config(b / "rel") / "default1.psf"), u"Rel");
         }},
        {"a config.ini with CR LF line ends",
         [&](const fs::path& d, const fs::path&) {
             ASSERT_EQ(RunTarvikctl(d, "profile select 2").status, 0);
             auto lines = SplitU16Lines(ReadBytes(config(d) / "config.ini"));
             lines.pop_back();
             WriteBytes(config(d) / "config.ini", JoinU16Lines(lines, u"\r\n"));
         },
         {{"", "show --json", 0}},
         [&](const fs::path& d, const fs::path&, const auto& r) {
             EXPECT_EQ(nlohmann::json::parse(r[0].out)["CurrentProfile"], 2);
             EXPECT_FALSE(fs::exists(config(d) / "config.ini.bak"));
         }},
        {"a config.ini cut to its header",
         [&](const fs::path& d, const fs::path&) {
             ASSERT_EQ(RunTarvikctl(d, "profile rename 2 Mine").status, 0);
             WriteBytes(config(d) / "config.ini", Utf16Bytes(u"[Setting]\n"));
         },
         {{"", "check {D}/config/config.ini", 1},
          {"", "init", 0},
          {"", "show --slot 2", 0},
          {"", "show --slot 2", 0},
          {"", "check {D}/config/config.ini", 0}},
         [&](const fs::path& d, const fs::path&, const auto& r) {
             EXPECT_EQ(ReadBytes(config(d) / "config.ini.bak"), Utf16Bytes(u"[Setting]\n"));
             EXPECT_NE(r[2].out.find("Mine"), std::string::npos); // the profiles were kept
             EXPECT_NE(r[3].out.find("Mine"), std::string::npos); // also on the next run
             EXPECT_FALSE(fs::exists(config(d) / "default2.psf.bak"));
         }},
        {"files past the size limit",
         [&](const fs::path& d, const fs::path& b) {
             WriteBytes(b / "huge.psf", "");
             fs::resize_file(b / "huge.psf", 200u << 20); // sparse: nothing is written
             WriteBytes(config(d) / "default1.psf", std::string(2u << 20, 'x'));
             // A sparse library past the limit: moved aside, never copied block by block.
             WriteBytes(config(d) / "MacroLibraryFile.mlf", "");
             fs::resize_file(config(d) / "MacroLibraryFile.mlf", kMaxLibraryFileBytes + 1);
             libraryFile = inode(config(d) / "MacroLibraryFile.mlf");
         },
         {{"", "check {B}/huge.psf", 1},
          {"", "import --slot 2 {B}/huge.psf", 1},
          {"", "show", 0},
          {"", "macro list", 0}},
         [&](const fs::path& d, const fs::path&, const auto& r) {
             EXPECT_NE(r[0].out.find("more than the"), std::string::npos) << r[0].out;
             EXPECT_EQ(fs::file_size(config(d) / "default1.psf.bak"), 2u << 20);
             EXPECT_TRUE(CheckProfileFile(config(d) / "default1.psf"));
             EXPECT_EQ(inode(config(d) / "MacroLibraryFile.mlf.bak"), libraryFile);
             EXPECT_FALSE(fs::exists(config(d) / "MacroLibraryFile.mlf"));
             EXPECT_NE(r[3].out.find("0 macros"), std::string::npos) << r[3].out;
         }},
        {"FIFOs",
         [&](const fs::path& d, const fs::path& b) {
             ASSERT_EQ(::mkfifo((b / "x.psf").c_str(), 0600), 0);
             ASSERT_EQ(::mkfifo((b / "x.mkf").c_str(), 0600), 0);
             fs::remove(config(d) / "default1.psf");
             ASSERT_EQ(::mkfifo((config(d) / "default1.psf").c_str(), 0600), 0);
         },
         {{"", "check {B}/x.psf", 1},
          {"", "import --slot 2 {B}/x.psf", 1},
          {"", "macro import {B}/x.mkf", 1},
          {"", "show", 0}, // slot 0: the FIFO of slot 1 is only reported
          {"", "show --slot 1", 1}},
         [&](const fs::path& d, const fs::path&, const auto&) {
             EXPECT_TRUE(fs::is_fifo(config(d) / "default1.psf"));
         }},
        {"links to devices",
         [&](const fs::path& d, const fs::path& b) {
             fs::create_symlink("/dev/zero", b / "zero.psf");
             fs::create_symlink("/dev/urandom", config(d) / "MacroLibraryFile.mlf");
         },
         {{"", "check {B}/zero.psf", 1}, {"", "macro list", 1}, {"", "macro import " + Quoted(mkf), 1}},
         [&](const fs::path& d, const fs::path&, const auto&) {
             EXPECT_EQ(fs::read_symlink(config(d) / "MacroLibraryFile.mlf"), "/dev/urandom");
         }},
        // As root a file without read permission is read anyway; a folder in
        // its place cannot be read by anyone (StartupLoad tests chmod itself).
        {"files that are there but cannot be read",
         [&](const fs::path& d, const fs::path&) {
             fs::remove(config(d) / "default1.psf");
             fs::create_directories(config(d) / "default1.psf" / "inside");
             fs::create_directories(config(d) / "MacroLibraryFile.mlf" / "inside");
         },
         {{"", "show", 0}, {"", "macro import " + Quoted(mkf), 1}, {"", "profile rename 1 Mine", 1}},
         [&](const fs::path& d, const fs::path&, const auto& r) {
             EXPECT_TRUE(fs::is_directory(config(d) / "default1.psf" / "inside"));
             EXPECT_TRUE(fs::is_directory(config(d) / "MacroLibraryFile.mlf" / "inside"));
             EXPECT_NE(r[0].Err().find("not saved over"), std::string::npos) << r[0].Err();
             EXPECT_NE(r[2].Err().find("left as it is"), std::string::npos) << r[2].Err();
         }},
        // A file left alone fails the commands that need it, and those write
        // nothing; every other slot works as usual, with the file reported.
        {"a profile file that cannot be read",
         [&](const fs::path& d, const fs::path& b) {
             fs::copy_file(config(d) / "default2.psf", b / "good.psf");
             fs::remove(config(d) / "default1.psf");
             fs::create_directories(config(d) / "default1.psf" / "inside");
         },
         {{"", "profile rename 0 Mine", 0},
          {"", "profile rename 1 Lost", 1},
          {"", "assign --slot 1 --button 2 dpi-up", 1},
          {"", "import --slot 1 {B}/good.psf", 1},
          {"", "export --slot 1 {B}/out.psf", 1},
          {"", "show --slot 1", 1},
          {"", "assign --slot 0 --button 2 dpi-up", 0},
          {"", "show", 0},
          {"", "profile delete 1", 0},
          {"", "profile add Three", 0},
          {"", "profile add Four", 0},
          {"", "profile add Lost", 1}}, // the next hidden slot is slot 1
         [&](const fs::path& d, const fs::path& b, const auto& r) {
             EXPECT_TRUE(fs::is_directory(config(d) / "default1.psf" / "inside"));
             EXPECT_FALSE(fs::exists(b / "out.psf"));
             EXPECT_NE(r[0].Err().find("default1.psf: cannot be read"), std::string::npos) << r[0].Err();
             EXPECT_NE(r[1].Err().find("left as it is"), std::string::npos) << r[1].Err();
             EXPECT_EQ(ProfileName(config(d) / "default0.psf"), u"Mine");
             EXPECT_EQ(ProfileName(config(d) / "default3.psf"), u"Three");
             EXPECT_EQ(ProfileName(config(d) / "default4.psf"), u"Four");
             ProfileRecord slot0;
             ASSERT_TRUE(ReadProfileRecord(config(d) / "default0.psf", slot0));
             EXPECT_EQ(slot0.Keys[1].Action, (KeyAction{0x40, 0x02, 0x00}));
             SettingsModel m(d);
             ASSERT_TRUE(m.ReadSettingsFile(config(d) / "config.ini"));
             EXPECT_EQ(m.GetShowCount(), 4);
         },
         true},
        {"a config.ini that cannot be read",
         [&](const fs::path& d, const fs::path&) {
             ASSERT_EQ(RunTarvikctl(d, "profile rename 2 Mine").status, 0);
             fs::remove(config(d) / "config.ini");
             fs::create_directories(config(d) / "config.ini" / "inside");
         },
         {{"", "profile rename 0 Renamed", 0},
          {"", "assign --slot 2 --button 2 dpi-up", 0},
          {"", "show --slot 2", 0},
          {"", "profile add New", 1},
          {"", "profile delete 2", 1},
          {"", "profile select 1", 1},
          {"", "assign --button 2 dpi-up", 1}, // the current slot is config.ini's
          {"", "show", 1},
          {"", "--hid sim apply", 1}},
         [&](const fs::path& d, const fs::path&, const auto& r) {
             EXPECT_TRUE(fs::is_directory(config(d) / "config.ini" / "inside"));
             EXPECT_EQ(ProfileName(config(d) / "default0.psf"), u"Renamed");
             EXPECT_NE(r[2].out.find("Mine"), std::string::npos) << r[2].out;
             ProfileRecord slot2;
             ASSERT_TRUE(ReadProfileRecord(config(d) / "default2.psf", slot2));
             EXPECT_EQ(slot2.Keys[1].Action, (KeyAction{0x40, 0x02, 0x00}));
         },
         true},
        {"names with a line break",
         [&](const fs::path& d, const fs::path&) { slotFile = ReadBytes(config(d) / "default1.psf"); },
         {{"", "profile rename 1 \"$(printf 'a\\nb')\"", 2},
          {"", "profile add \"$(printf 'a\\nb')\"", 2},
          {"", "--data-dir \"$(printf '{B}/x\\ny')\" show", 2}},
         [&](const fs::path& d, const fs::path& b, const auto& r) {
             for (const CtlResult& one : r)
                 EXPECT_NE(one.Err().find("line break"), std::string::npos) << one.Err();
             EXPECT_TRUE(ReadBytes(config(d) / "default1.psf") == slotFile);
             EXPECT_EQ(std::distance(fs::directory_iterator(b), fs::directory_iterator()), 1); // only data/
         }},
        {"temporary files of a killed save",
         [&](const fs::path& d, const fs::path&) {
             // A process id above the kernel's limit: its writer is gone.
             WriteBytes(config(d) / "default0.psf.tmp4194999-0", "half");
             WriteBytes(config(d) / "config.ini.bak.tmp", "");
         },
         {{"", "show", 0}, {"", "profile select 0", 0}},
         [&](const fs::path& d, const fs::path&, const auto&) { EXPECT_FALSE(AnyTemporaryFile(d)); }},
        {"private files stay private",
         [&](const fs::path& d, const fs::path&) {
             fs::permissions(config(d) / "default2.psf", fs::perms::owner_read | fs::perms::owner_write);
             fs::permissions(config(d) / "config.ini", fs::perms::owner_read | fs::perms::owner_write);
         },
         {{"", "profile rename 2 Private", 0}},
         [&](const fs::path& d, const fs::path&, const auto&) {
             for (const char* name : {"default2.psf", "config.ini"})
                 EXPECT_EQ(fs::status(config(d) / name).permissions(),
                           fs::perms::owner_read | fs::perms::owner_write)
                     << name;
             EXPECT_EQ(ProfileName(config(d) / "default2.psf"), u"Private");
         }},
    };
    int index = 0;
    for (const Probe& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path base = dir / ("row" + std::to_string(index++));
        const fs::path data = base / "data";
        fs::create_directories(base);
        ASSERT_EQ(RunTarvikctl(data, "init").status, 0);
        if (row.prepare) row.prepare(data, base);
        std::vector<CtlResult> results;
        for (const CommandRun& run : row.runs) {
            std::string args = Fill(run.args, base, data);
            if (args.find("--data-dir") == std::string::npos)
                args = "--data-dir " + Quoted(data) + " " + args;
            const auto before = row.failuresChangeNothing ? Snapshot(data) : decltype(Snapshot(data)){};
            results.push_back(RunTarvikctlLine(Fill(run.before, base, data), args));
            EXPECT_EQ(results.back().status, run.exit) << args << "\n" << results.back().Err();
            if (row.failuresChangeNothing && results.back().status != 0) {
                EXPECT_TRUE(Snapshot(data) == before) << args;
            }
        }
        row.check(data, base, results);
    }
}

// Writers at the same time: each holds the folder's lock for its whole
// read-modify-write, so none overwrites another's change. Every round starts
// the writers of a scenario together and then looks for each change.
TEST_F(CliFolderProbe, WritersAtTheSameTimeLoseNoChange) {
    const fs::path data = dir / "data";
    const fs::path config = data / "config";
    ASSERT_EQ(RunTarvikctl(data, "init").status, 0);
    // Two macro files with different names, from the test library.
    const fs::path source = dir / "source";
    ASSERT_EQ(RunTarvikctl(source, "init").status, 0);
    WriteBytes(source / "config" / "MacroLibraryFile.mlf",
               Utf16Bytes(FromUtf8(ReadBytes(fs::path(TARVIK_TEST_DATA) / "macro/data/library.mlf.txt"))));
    ASSERT_EQ(RunTarvikctl(source, "macro export --path Copy " + Quoted(dir / "a.mkf")).status, 0);
    ASSERT_EQ(RunTarvikctl(source, "macro export --path Games/Jump " + Quoted(dir / "b.mkf")).status, 0);
    const std::string emptyLibrary =
        Utf16Bytes(u"[MacroLibrary]\nMacroKeyIndex=1\nSelect "
                   u"Locaton:stage=-1;stage0Index=0;stage1Index=0;stage2Index=0;\n");

    const std::vector<std::string> base = {"--data-dir", data.string()};
    const auto together = [&](const std::vector<std::vector<std::string>>& commands) {
        std::vector<pid_t> pids;
        for (const auto& c : commands) {
            std::vector<std::string> args = base;
            args.insert(args.end(), c.begin(), c.end());
            pids.push_back(SpawnTarvikctl(args));
        }
        for (pid_t pid : pids) EXPECT_EQ(WaitExit(pid), 0);
    };
    const auto record = [&](int slot) {
        ProfileRecord r;
        EXPECT_TRUE(ReadProfileRecord(config / ("default" + std::to_string(slot) + ".psf"), r));
        return r;
    };
    const KeyAction up{0x40, 0x02, 0x00};
    const KeyAction down{0x40, 0x03, 0x00};
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const bool odd = round % 2 != 0;
        const std::string tag = std::to_string(round);

        together({{"assign", "--slot", "1", "--button", "2", odd ? "dpi-up" : "dpi-down"},
                  {"assign", "--slot", "3", "--button", "3", odd ? "dpi-down" : "dpi-up"}});
        EXPECT_EQ(record(1).Keys[1].Action, odd ? up : down);
        EXPECT_EQ(record(3).Keys[2].Action, odd ? down : up);

        together({{"profile", "rename", "1", "A" + tag},
                  {"profile", "rename", "2", "B" + tag},
                  {"profile", "rename", "3", "C" + tag}});
        EXPECT_EQ(ProfileName(config / "default1.psf"), FromUtf8("A" + tag));
        EXPECT_EQ(ProfileName(config / "default2.psf"), FromUtf8("B" + tag));
        EXPECT_EQ(ProfileName(config / "default3.psf"), FromUtf8("C" + tag));

        together({{"profile", "select", odd ? "2" : "4"},
                  {"assign", "--slot", "1", "--button", "4", odd ? "dpi-up" : "dpi-down"}});
        SettingsModel settings(data);
        ASSERT_TRUE(settings.ReadSettingsFile(config / "config.ini"));
        EXPECT_EQ(settings.GetCurrentProfile(), odd ? 2 : 4);
        EXPECT_EQ(record(1).Keys[3].Action, odd ? up : down);

        WriteBytes(config / "MacroLibraryFile.mlf", emptyLibrary);
        together(
            {{"macro", "import", (dir / "a.mkf").string()}, {"macro", "import", (dir / "b.mkf").string()}});
        MacroLibrary library;
        ASSERT_TRUE(library.Load(config / "MacroLibraryFile.mlf"));
        EXPECT_EQ(library.MacroCount(), 2u);
    }
}

// A second writer waits a bounded time for the first, then gives up with a
// clear message and changes nothing; a reader goes on without the lock.
TEST_F(CliFolderProbe, ASecondWriterGivesUpAfterTheWait) {
    const fs::path data = dir / "data";
    ASSERT_EQ(RunTarvikctl(data, "init").status, 0);
    const auto before = Snapshot(data / "config");
    {
        FolderLock first = FolderLock::Acquire(data);
        ASSERT_TRUE(first.Held()) << first.Reason();
        const CtlResult writer = RunTarvikctl(data, "--lock-timeout 0.3 profile rename 1 Late");
        EXPECT_EQ(writer.status, 1);
        EXPECT_NE(writer.Err().find("is in use by another program (waited 300 ms"), std::string::npos)
            << writer.Err();
        EXPECT_NE(writer.Err().find("nothing was changed"), std::string::npos) << writer.Err();
        EXPECT_TRUE(Snapshot(data / "config") == before);
        const CtlResult reader = RunTarvikctl(data, "--lock-timeout 0.3 show --slot 1");
        EXPECT_EQ(reader.status, 0) << reader.Err();
    }
    EXPECT_EQ(RunTarvikctl(data, "--lock-timeout 0.3 profile rename 1 Late").status, 0);
    EXPECT_EQ(ProfileName(data / "config" / "default1.psf"), u"Late");
}

// A reading command changes nothing at all: it creates no file in a new
// folder, repairs no damaged file and removes no temporary file. A changing
// command (the folder's owner for its run) removes a temporary file only when
// the process named in it is gone: a living process may be in the middle of
// its save.
TEST_F(CliFolderProbe, ReadersChangeNothingAndOnlyDeadWritersFilesAreRemoved) {
    const fs::path fresh = dir / "fresh";
    for (const char* reader : {"show", "show --all --json", "export --slot 0 {OUT}", "macro list"}) {
        std::string args = reader;
        if (const auto at = args.find("{OUT}"); at != std::string::npos)
            args.replace(at, 5, (dir / "out.psf").string());
        const CtlResult r = RunTarvikctl(fresh, args);
        EXPECT_EQ(r.status, 0) << reader << ": " << r.Err();
        EXPECT_FALSE(fs::exists(fresh)) << reader << " made the data folder";
    }

    const fs::path data = dir / "data";
    ASSERT_EQ(RunTarvikctl(data, "init").status, 0);
    const fs::path config = data / "config";
    const std::string living = "default0.psf.tmp" + std::to_string(::getpid()) + "-7";
    WriteBytes(config / living, "half a save");
    // A process id above the kernel's limit (4194304) never runs.
    const std::string dead = "config.ini.tmp4194999-1";
    WriteBytes(config / dead, "left by a killed save");
    WriteBytes(config / "default3.psf", "\xFF\xFEnot a profile");
    const auto before = Snapshot(config);
    for (const char* reader : {"show", "show --all", "export --slot 1 ", "macro list"}) {
        std::string args = reader;
        if (args.starts_with("export")) args += (dir / "out.psf").string();
        RunTarvikctl(data, args);
        EXPECT_TRUE(Snapshot(config) == before) << reader << " changed the folder";
    }
    const CtlResult writer = RunTarvikctl(data, "profile rename 1 Owner");
    EXPECT_EQ(writer.status, 0) << writer.Err();
    EXPECT_TRUE(fs::exists(config / living));
    EXPECT_FALSE(fs::exists(config / dead));
}

} // namespace
} // namespace tarvik::test
