#include <unistd.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <vector>

#include "support/TempDir.h"
#include "text/Log.h"
#include "text/SettingLines.h"
#include "text/StdioFileEx.h"

namespace tarvik {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::Utf16Bytes;
using test::WriteBytes;

std::vector<std::u16string> ReadAllLines(const std::filesystem::path& path) {
    CStdioFileEx f;
    EXPECT_TRUE(f.OpenTextFile(path, CStdioFileEx::kReadUnicode));
    std::vector<std::u16string> lines;
    std::u16string line;
    while (f.ReadLine(line)) lines.push_back(line);
    EXPECT_TRUE(line.empty()); // the end of the file comes back as an empty text
    return lines;
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::u16string> lines;
};

TEST(TextFile, ReadsLinesAsStored) {
    const std::vector<ReadCase> cases = {
        {"mark is skipped unexamined", "\x01\x02" + Utf16Bytes(u"a\nb\n", false), {u"a", u"b"}},
        // Files edited on another system arrive with CR LF: read as LF.
        {"CR LF ends a line", Utf16Bytes(u"[Setting]\r\nx\r\n"), {u"[Setting]", u"x"}},
        {"empty CR LF line is a line feed", Utf16Bytes(u"a\r\n\r\nb"), {u"a", u"\n", u"b"}},
        {"CR CR LF ends a line too", Utf16Bytes(u"a\r\r\nb\r"), {u"a", u"b"}},
        {"CR inside a line stays", Utf16Bytes(u"a\rb\n\r\r\n"), {u"a\rb", u"\n"}},
        {"empty line is a line feed", Utf16Bytes(u"a\n\nb"), {u"a", u"\n", u"b"}},
        {"last line without line feed", Utf16Bytes(u"a\nlast"), {u"a", u"last"}},
        {"odd trailing byte is no character", Utf16Bytes(u"a\nb") + "X", {u"a", u"b"}},
        {"only the mark", Utf16Bytes(u""), {}},
        {"one byte", "\xFF", {}},
        {"non-ASCII and surrogates", Utf16Bytes(u"中文=\U0001F600\n"), {u"中文=\U0001F600"}},
        {"long line", Utf16Bytes(std::u16string(1000, u'x') + u"\n"), {std::u16string(1000, u'x')}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir / "f.txt", c.bytes);
        EXPECT_EQ(ReadAllLines(dir / "f.txt"), c.lines);
        CStdioFileEx mem;
        mem.OpenBuffer(c.bytes);
        std::vector<std::u16string> fromMemory;
        std::u16string line;
        while (mem.ReadLine(line)) fromMemory.push_back(line);
        EXPECT_EQ(fromMemory, c.lines);
    }
}

TEST(TextFile, WriteStartsWithMarkAndReadsBack) {
    TempDir dir;
    const std::u16string text = u"[Setting]\n0=中文\n";
    {
        CStdioFileEx f;
        ASSERT_TRUE(f.OpenTextFile(dir / "w.txt", CStdioFileEx::kWriteUnicode));
        f.WriteText(u"[Setting]\n");
        f.WriteText(u"0=中文\n");
        ASSERT_TRUE(f.Close());
    }
    EXPECT_EQ(ReadBytes(dir / "w.txt"), Utf16Bytes(text));
    EXPECT_EQ(ReadAllLines(dir / "w.txt"), (std::vector<std::u16string>{u"[Setting]", u"0=中文"}));
    EXPECT_TRUE(CStdioFileEx::HasUnicodeMark(dir / "w.txt"));
}

TEST(TextFile, WriteReplacesTargetOnlyOnClose) {
    TempDir dir;
    WriteBytes(dir / "t.txt", "old");
    CStdioFileEx f;
    ASSERT_TRUE(f.OpenTextFile(dir / "t.txt", CStdioFileEx::kWriteUnicode));
    f.WriteText(u"new");
    EXPECT_EQ(ReadBytes(dir / "t.txt"), "old"); // still the old file while writing
    ASSERT_TRUE(f.Close());
    EXPECT_EQ(ReadBytes(dir / "t.txt"), Utf16Bytes(u"new"));
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(TextFile, FailedCommitLeavesTargetAndNoTemporary) {
    TempDir dir;
    // The target is a non-empty folder: the rename cannot replace it.
    std::filesystem::create_directory(dir / "target");
    WriteBytes(dir / "target" / "keep", "x");
    CStdioFileEx f;
    ASSERT_TRUE(f.OpenTextFile(dir / "target", CStdioFileEx::kWriteUnicode));
    f.WriteText(u"data");
    EXPECT_FALSE(f.Close());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "target"));
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(TextFile, OpenFailures) {
    TempDir dir;
    CStdioFileEx f;
    EXPECT_FALSE(f.OpenTextFile(dir / "missing.txt", CStdioFileEx::kReadUnicode));
    EXPECT_FALSE(f.OpenTextFile(dir / "no" / "folder.txt", CStdioFileEx::kWriteUnicode));
    EXPECT_FALSE(CStdioFileEx::HasUnicodeMark(dir / "missing.txt"));
    // A text-mode read-only open follows the byte-order mark; 8-bit files are refused.
    WriteBytes(dir / "ansi.txt", "abc\n");
    EXPECT_FALSE(f.OpenTextFile(dir / "ansi.txt", CStdioFileEx::typeText));
    WriteBytes(dir / "u.txt", Utf16Bytes(u"abc\n"));
    EXPECT_TRUE(f.OpenTextFile(dir / "u.txt", CStdioFileEx::typeText));
    EXPECT_TRUE(f.IsUnicode());
}

// Why a file could not be read, as the loads tell it apart.
TEST(TextFile, OpenForReadingTellsMissingFromUnreadable) {
    TempDir dir;
    WriteBytes(dir / "u.txt", Utf16Bytes(u"x\n"));
    WriteBytes(dir / "regular", "x");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        const char* name;
        std::filesystem::path path;
        FileError error;
    };
    const Case cases[] = {
        {"there", dir / "u.txt", FileError::None},
        {"missing", dir / "missing.txt", FileError::Missing},
        {"missing folder on the way", dir / "no" / "f.txt", FileError::Missing},
        {"a regular file on the way", dir / "regular" / "f.txt", FileError::Missing},
        {"a folder", dir / "folder", FileError::Unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CStdioFileEx f;
        const FileResult r = OpenForReading(f, c.path);
        EXPECT_EQ(r.error, c.error) << r.reason;
        EXPECT_EQ(f.IsOpen(), c.error == FileError::None);
        EXPECT_EQ(r.reason.empty(), c.error == FileError::None) << r.reason;
    }
}

// A write that cannot be made says why, once, and leaves nothing behind.
TEST(TextFile, FailedWriteIsReportedOnceWithItsReason) {
    TempDir dir;
    WriteBytes(dir / "regular", "x");
    std::filesystem::create_directories(dir / "busy" / "inside");
    std::vector<std::string> problems;
    auto old = SetProblemSink([&](const std::string& m) { problems.push_back(m); }, /*quiet=*/true);
    struct Case {
        std::filesystem::path path;
        const char* why;
    };
    const Case cases[] = {
        {dir / "regular" / "f.ini", "cannot be written: Not a directory"},
        {dir / "missing" / "f.ini", "cannot be written: No such file or directory"},
        {dir / "busy", "cannot be written: "}, // the rename cannot replace a non-empty folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        problems.clear();
        const FileResult r = WriteUnicodeFile(c.path, u"[Setting]\n", "test file");
        EXPECT_EQ(r.error, FileError::NotWritten);
        EXPECT_EQ(r.reason.rfind(c.why, 0), 0u) << r.reason;
        ASSERT_EQ(problems.size(), 1u);
        std::string expected = "test file ";
        expected += c.path.string();
        expected += ": ";
        expected += r.reason;
        EXPECT_EQ(problems[0], expected);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "busy" / "inside"));
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2); // no temporary file left
    EXPECT_TRUE(WriteUnicodeFile(dir / "ok.ini", u"a\n", "test file"));
    EXPECT_EQ(ReadBytes(dir / "ok.ini"), Utf16Bytes(u"a\n"));
    SetProblemSink(old);
}

TEST(TextFile, SettingLines) {
    struct Header {
        bool read;
        std::u16string line;
        const char* problem;
    };
    const Header headers[] = {
        {true, u"[Setting]", nullptr},
        {false, u"", "the file is empty"},
        {true, u"[Setting]\r", "not \"[Setting]\" (the line ends in a carriage return)"},
        {true, u"[setting]", "not \"[Setting]\""},
        {true, u"[Setting] ", "not \"[Setting]\""},
    };
    for (const auto& h : headers) {
        const char* got = SettingHeaderProblem(h.read, h.line);
        EXPECT_STREQ(got, h.problem);
    }
    struct Pair {
        std::u16string line;
        PairNeeds needs;
        const char* problem;
        std::size_t p;
    };
    const Pair pairs[] = {
        {u"a=b", PairNeeds::NameAndValue, nullptr, 1},
        {u"a=", PairNeeds::Name, nullptr, 1},
        {u"a=", PairNeeds::Value, "empty value after \"=\"", 1},
        {u"=b", PairNeeds::Value, nullptr, 0},
        {u"=b", PairNeeds::Name, "empty name before \"=\"", 0},
        {u"=", PairNeeds::Equals, nullptr, 0},
        {u"ab", PairNeeds::Equals, "no \"=\"", std::u16string::npos},
        {u"a==b", PairNeeds::NameAndValue, nullptr, 1},
    };
    for (const auto& c : pairs) {
        std::size_t p = 99;
        EXPECT_STREQ(SplitPair(c.line, c.needs, p), c.problem);
        EXPECT_EQ(p, c.p);
    }
}

// Only regular files are read, and only up to the limit: a FIFO must not
// block, a device must not be read for ever, a huge file must not be read.
TEST(TextFile, ReadRefusesWhatIsNoRegularFileOrTooLarge) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.psf").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.psf");
    std::filesystem::create_directory(dir / "folder.psf");
    WriteBytes(dir / "limit.psf", std::string(100, 'x'));
    WriteBytes(dir / "over.psf", std::string(101, 'x'));
    std::filesystem::create_symlink(dir / "limit.psf", dir / "link.psf");
    struct Case {
        const char* name;
        FileError error;
        const char* reason;
    };
    const Case cases[] = {
        {"fifo.psf", FileError::Unreadable, "cannot be read: it is a FIFO"},
        {"zero.psf", FileError::Unreadable, "cannot be read: it is a device"},
        {"folder.psf", FileError::Unreadable, "cannot be read: it is a folder"},
        {"limit.psf", FileError::None, ""},
        {"link.psf", FileError::None, ""}, // a link to a regular file is read
        {"over.psf", FileError::Damaged, "the file holds 101 bytes, more than the 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CStdioFileEx f;
        const FileResult r = OpenForReading(f, dir / c.name, 100);
        EXPECT_EQ(r.error, c.error) << r.reason;
        EXPECT_EQ(r.reason.rfind(c.reason, 0), 0u) << r.reason;
        EXPECT_EQ(r.line, 0);
        EXPECT_FALSE(CStdioFileEx::HasUnicodeMark(dir / c.name)); // and no wait there either
    }
}

// A save keeps the mode of the file it replaces (a private file stays private).
TEST(TextFile, WriteKeepsTheFileMode) {
    TempDir dir;
    for (mode_t mode : {0600, 0640, 0644}) {
        std::string name = "m";
        name += std::to_string(mode); // appended: GCC 12 misreports "m" + string&& at -O3
        const auto path = dir / name;
        WriteBytes(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(WriteUnicodeFile(path, u"new", "test file"));
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(ReadBytes(path), Utf16Bytes(u"new"));
    }
}

// Backups keep generations, copy nothing that would be lost anyway, and never
// overwrite an older, different backup.
TEST(TextFile, KeepBackupKeepsGenerations) {
    TempDir dir;
    const auto file = dir / "c.ini";
    const auto bak = [&](int g) { return BackupName(file, g); };
    const auto keep = [&](std::optional<std::string_view> replacement = std::nullopt) {
        const Backup b = KeepBackup(file, 1u << 20, replacement);
        EXPECT_TRUE(b.result) << b.result.reason;
        return b.path;
    };
    EXPECT_TRUE(keep().empty()); // nothing there
    EXPECT_FALSE(std::filesystem::exists(bak(0)));

    WriteBytes(file, "first");
    EXPECT_EQ(keep(), bak(0));
    EXPECT_EQ(keep(), bak(0)); // the same bytes again: no second generation
    EXPECT_FALSE(std::filesystem::exists(bak(1)));
    EXPECT_TRUE(keep("first").empty()); // equal to what replaces it: nothing to keep
    for (const char* next : {"second", "third", "fourth"}) {
        WriteBytes(file, next);
        EXPECT_EQ(keep("defaults"), bak(0));
    }
    EXPECT_EQ(ReadBytes(bak(0)), "fourth");
    EXPECT_EQ(ReadBytes(bak(1)), "third");
    EXPECT_EQ(ReadBytes(bak(2)), "second"); // the oldest dropped out
    EXPECT_FALSE(std::filesystem::exists(bak(3)));
    ::chmod(file.c_str(), 0600);
    WriteBytes(file, "fifth");
    keep();
    struct stat st {};
    ASSERT_EQ(::stat(bak(0).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // the copy is as private as the file

    // A link planted under the name earlier versions copied through is not
    // followed.
    WriteBytes(dir / "victim", "victim");
    std::filesystem::create_symlink(dir / "victim", dir / "c.ini.bak.tmp");
    WriteBytes(file, "sixth");
    keep();
    EXPECT_EQ(ReadBytes(dir / "victim"), "victim");
    EXPECT_EQ(ReadBytes(bak(0)), "sixth");

    // A copy that cannot be put in place leaves no temporary file and no
    // changed backup: here an older generation cannot be moved down.
    std::filesystem::remove(bak(1));
    std::filesystem::create_directories(bak(1) / "inside");
    WriteBytes(file, "seventh");
    const Backup failed = KeepBackup(file, 1u << 20);
    EXPECT_EQ(failed.result.error, FileError::NotWritten);
    EXPECT_TRUE(failed.path.empty());
    EXPECT_EQ(failed.result.reason.rfind("no backup could be kept (rename: ", 0), 0u) << failed.result.reason;
    EXPECT_EQ(ReadBytes(bak(0)), "sixth");
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "c.ini.bak.tmp" || name.find(".tmp") == std::string::npos) << name;
    }
}

// A file over the copy limit (not read, maybe sparse and of any size) is
// moved aside, never copied: the backup is the file itself, older
// generations move down as for a copy, and a link moves as a link.
TEST(TextFile, KeepBackupMovesAFileOverTheLimitAside) {
    TempDir dir;
    const std::uint64_t limit = 1u << 20;
    const auto huge = [&](const std::filesystem::path& p) {
        WriteBytes(p, "");
        std::filesystem::resize_file(p, 64u << 20); // sparse: nothing is written
    };
    struct Case {
        const char* what;
        const char* name;
        std::function<void(const std::filesystem::path& file)> make;
    };
    const Case cases[] = {
        {"a sparse file", "sparse.mlf", huge},
        {"a link to one", "link.mlf",
         [&](const std::filesystem::path& file) {
             huge(dir / "elsewhere");
             std::filesystem::create_symlink(dir / "elsewhere", file);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dir / c.name;
        WriteBytes(BackupName(file, 0), "older");
        c.make(file);
        struct stat before {};
        ASSERT_EQ(::lstat(file.c_str(), &before), 0);
        const Backup b = KeepBackup(file, limit, std::string_view("defaults"));
        ASSERT_TRUE(b.result) << b.result.reason;
        EXPECT_TRUE(b.moved);
        EXPECT_EQ(b.path, BackupName(file, 0));
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(file)));
        struct stat after {};
        ASSERT_EQ(::lstat(b.path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino); // the same file, not a copy
        EXPECT_EQ(ReadBytes(BackupName(file, 1)), "older");
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "elsewhere"), 64u << 20);
}

TEST(TextFile, RemoveStaleTemporaryFiles) {
    TempDir dir;
    struct Case {
        const char* name;
        bool removed;
    };
    // 4194999 is above the kernel's process id limit: that writer is gone. A
    // living writer (this process) may be in the middle of its save.
    const std::string living = "default1.psf.tmp" + std::to_string(::getpid()) + "-3";
    const Case cases[] = {
        {"config.ini.tmp4194999-0", true},
        {"default2.psf.bak.tmp4194999-12", true},
        {living.c_str(), false},
        {"default3.psf.bak.tmp", true},
        {"config.ini", false},
        {"default2.psf.bak", false},
        {"notes.tmp", false},
        {"x.tmp12-", false},
        {"x.tmp-3", false},
        {"x.tmp12-3a", false},
    };
    for (const auto& c : cases) WriteBytes(dir / c.name, "x");
    std::filesystem::create_symlink("/nonexistent", dir / "link.tmp4194999-5");
    std::filesystem::create_directory(dir / "folder.tmp4194999-6"); // not a file: left
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path()), 4);
    for (const auto& c : cases) EXPECT_EQ(std::filesystem::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "link.tmp4194999-5"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.tmp4194999-6"));
}

} // namespace
} // namespace tarvik
