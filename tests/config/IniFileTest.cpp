#include <climits>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestFiles.h"
#include "config/IniFile.h"

namespace tabulex {
namespace {

namespace fs = std::filesystem;
using test::read_bytes;
using test::TempDir;
using test::write_bytes;

class IniFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("settings.ini");

    TIniFile withContent(const std::string& bytes)
    {
        write_bytes(path, bytes);
        return TIniFile(path);
    }

    std::vector<std::string> leftoverFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename() != "settings.ini")
                names.push_back(entry.path().filename().string());
        return names;
    }
};

// ---- reading -------------------------------------------------------------------------------

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(TIniFile(path).ReadString("S", "k", "dflt"), "dflt");
    EXPECT_EQ(TIniFile(path).ReadInteger("S", "k", 42), 42);
    const TIniFile ini = withContent("[S]\r\nk=v\r\n");
    EXPECT_EQ(ini.ReadString("Other", "k", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("S", "other", "dflt"), "dflt");
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCase)
{
    const TIniFile ini = withContent("[NumeRACAO]\r\nLINHAS=0\r\n");
    EXPECT_EQ(ini.ReadString("numeracao", "linhas", "x"), "0");
    EXPECT_EQ(ini.ReadString("Numeracao", "Linhas", "x"), "0");
}

TEST_F(IniFileTest, EmptyValueIsTheEmptyStringNotTheDefault)
{
    const TIniFile ini = withContent("[S]\r\nk=\r\nblank=   \r\nquotes=\"\"\r\n");
    EXPECT_EQ(ini.ReadString("S", "k", "dflt"), "");
    EXPECT_EQ(ini.ReadString("S", "blank", "dflt"), "");
    EXPECT_EQ(ini.ReadString("S", "quotes", "dflt"), "");
    EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5);
}

TEST_F(IniFileTest, ValuesAreTrimmedThenLoseOnePairOfMatchingQuotes)
{
    const TIniFile ini = withContent("[S]\n"
                                     "plain=  a b \t\n"
                                     "double=\"x\"\n"
                                     "single='y'\n"
                                     "inner=  \" z \"  \n"
                                     "twice=\"\"w\"\"\n"
                                     "mixed=\"v'\n"
                                     "lone=\"\n"
                                     "equals=a=b\n");
    EXPECT_EQ(ini.ReadString("S", "plain", ""), "a b");
    EXPECT_EQ(ini.ReadString("S", "double", ""), "x");
    EXPECT_EQ(ini.ReadString("S", "single", ""), "y");
    EXPECT_EQ(ini.ReadString("S", "inner", ""), " z ");
    EXPECT_EQ(ini.ReadString("S", "twice", ""), "\"w\"");
    EXPECT_EQ(ini.ReadString("S", "mixed", ""), "\"v'");
    EXPECT_EQ(ini.ReadString("S", "lone", ""), "\"");
    EXPECT_EQ(ini.ReadString("S", "equals", ""), "a=b");
}

TEST_F(IniFileTest, LongValuesAreCutAfterTrimmingAndQuotes)
{
    const std::string longText(3000, 'a');
    const std::string exact(2047, 'b');
    const TIniFile ini =
        withContent("[S]\r\nlong=" + longText + "\r\nquoted=  \"" + exact + "\"  \r\n");
    EXPECT_EQ(ini.ReadString("S", "long", ""), std::string(2047, 'a'));
    EXPECT_EQ(ini.ReadString("S", "quoted", ""), exact);
}

TEST_F(IniFileTest, AnyLineEndSeparatesLines)
{
    const TIniFile ini = withContent("[A]\ra=1\r\nb=2\n[B]\rc=3");
    EXPECT_EQ(ini.ReadString("A", "a", ""), "1");
    EXPECT_EQ(ini.ReadString("A", "b", ""), "2");
    EXPECT_EQ(ini.ReadString("B", "c", ""), "3");
    EXPECT_EQ(ini.ReadString("A", "c", "none"), "none");
}

TEST_F(IniFileTest, CommentsStrayLinesAndBlankKeyNamesAreNotKeys)
{
    const TIniFile ini = withContent("k=before any section\r\n"
                                     "[S]\r\n"
                                     ";k=comment\r\n"
                                     "no equals sign\r\n"
                                     " k=leading blank\r\n"
                                     "k =trailing blank\r\n"
                                     "k=first\r\n"
                                     "K=second\r\n"
                                     "[s]\r\n"
                                     "k=duplicate section\r\n"
                                     "only=in duplicate\r\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "first");
    EXPECT_EQ(ini.ReadString("S", "only", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("S", "no equals sign", "dflt"), "dflt");
}

struct IntegerCase {
    const char* text;
    int expected;
};

void PrintTo(const IntegerCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class IniIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

constexpr int kDefault = 99;

TEST_P(IniIntegerTest, ParsesOrFallsBackToTheDefault)
{
    TempDir dir;
    const std::string path = dir.file("i.ini");
    write_bytes(path, std::string("[S]\r\nv=") + GetParam().text + "\r\n");
    EXPECT_EQ(TIniFile(path).ReadInteger("S", "v", kDefault), GetParam().expected)
        << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniIntegerTest,
    ::testing::Values(
        IntegerCase{"12", 12}, IntegerCase{"-3", -3}, IntegerCase{"+4", 4}, IntegerCase{"  7 ", 7},
        IntegerCase{"'5'", 5}, IntegerCase{"007", 7}, IntegerCase{"0x1", 1},
        IntegerCase{"0X1f", 31}, IntegerCase{"$fF", 255}, IntegerCase{"x10", 16},
        IntegerCase{"X10", 16}, IntegerCase{"0x00000000A", 10}, IntegerCase{"0xFFFFFFFF", -1},
        IntegerCase{"$80000000", INT_MIN}, IntegerCase{"2147483647", INT_MAX},
        IntegerCase{"-2147483648", INT_MIN}, IntegerCase{"", kDefault},
        IntegerCase{"yes", kDefault}, IntegerCase{"-", kDefault}, IntegerCase{"0x", kDefault},
        IntegerCase{"$", kDefault}, IntegerCase{"-0x1", kDefault}, IntegerCase{"+$1", kDefault},
        IntegerCase{"1 2", kDefault}, IntegerCase{"12a", kDefault}, IntegerCase{"0x1g", kDefault},
        IntegerCase{"2147483648", kDefault}, IntegerCase{"-2147483649", kDefault},
        IntegerCase{"0x100000000", kDefault}, IntegerCase{"99999999999999999999", kDefault}));

TEST_F(IniFileTest, BooleansAreIntegersWithAnyNonZeroTrue)
{
    const TIniFile ini =
        withContent("[S]\r\nyes=yes\r\ntwo=2\r\nzero=0\r\nhexzero=0x0\r\nempty=\r\n");
    EXPECT_TRUE(ini.ReadBool("S", "yes", true));
    EXPECT_FALSE(ini.ReadBool("S", "yes", false));
    EXPECT_TRUE(ini.ReadBool("S", "two", false));
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_FALSE(ini.ReadBool("S", "hexzero", true));
    EXPECT_TRUE(ini.ReadBool("S", "empty", true));
    EXPECT_TRUE(ini.ReadBool("S", "absent", true));
}

// ---- writing -------------------------------------------------------------------------------

TEST_F(IniFileTest, WritingCreatesAMissingFileWithCrLfLines)
{
    TIniFile ini(path);
    ini.WriteString("A", "k", "v");
    ini.WriteBool("A", "b", true);
    ini.WriteInteger("B", "n", -12);
    EXPECT_EQ(read_bytes(path), "[A]\r\nk=v\r\nb=1\r\n\r\n[B]\r\nn=-12\r\n");
    EXPECT_TRUE(leftoverFiles().empty());
}

TEST_F(IniFileTest, ValuesAreWrittenAsHeldAndReadBackTrimmed)
{
    TIniFile ini(path);
    ini.WriteString("S", "k", " padded ");
    EXPECT_EQ(read_bytes(path), "[S]\r\nk= padded \r\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "padded");
}

TEST_F(IniFileTest, ExistingKeyIsReplacedInPlaceAndOtherLinesKeptByteForByte)
{
    TIniFile ini = withContent(
        "; top comment\n[s]\nA=1\nKEY = spaced\nkey=old\nkey=second\n\n[T]\nkey=other\n");
    ini.WriteString("S", "Key", "new");
    EXPECT_EQ(read_bytes(path),
              "; top comment\n[s]\nA=1\nKEY = spaced\nkey=new\r\nkey=second\n\n[T]\nkey=other\n");
}

TEST_F(IniFileTest, MissingKeyGoesAfterTheLastKeyLineOfItsSection)
{
    TIniFile ini = withContent("[S]\r\na=1\r\n; note\r\nb=2\r\n\r\n; about T\r\n[T]\r\nc=3\r\n");
    ini.WriteString("S", "new", "x");
    EXPECT_EQ(read_bytes(path),
              "[S]\r\na=1\r\n; note\r\nb=2\r\nnew=x\r\n\r\n; about T\r\n[T]\r\nc=3\r\n");

    TIniFile empty = withContent("[Empty]\n[T]\n");
    empty.WriteString("empty", "k", "v");
    EXPECT_EQ(read_bytes(path), "[Empty]\nk=v\r\n[T]\n");
}

TEST_F(IniFileTest, MissingSectionIsAppendedEvenWithoutAFinalLineEnd)
{
    TIniFile ini = withContent("[S]\na=1");
    ini.WriteString("T", "b", "2");
    EXPECT_EQ(read_bytes(path), "[S]\na=1\r\n\r\n[T]\r\nb=2\r\n");

    TIniFile last = withContent("[S]\na=1");
    last.WriteString("S", "c", "3");
    EXPECT_EQ(read_bytes(path), "[S]\na=1\r\nc=3\r\n");
}

TEST_F(IniFileTest, AValueIsOneLine)
{
    TIniFile ini(path);
    ini.WriteString("S", "k", "first\r\n[Injected]\r\nx=1");
    EXPECT_EQ(read_bytes(path), "[S]\r\nk=first\r\n");
}

TEST_F(IniFileTest, UnchangedValueLeavesTheFileUntouched)
{
    TIniFile ini = withContent("[S]\nk=v\n");
    ini.WriteString("S", "k", "v");
    EXPECT_EQ(read_bytes(path), "[S]\nk=v\r\n");  // the written line takes CR LF
    const auto stamp = fs::last_write_time(path);
    ini.WriteString("S", "k", "v");
    EXPECT_EQ(fs::last_write_time(path), stamp);
}

TEST_F(IniFileTest, SaveKeepsPermissionsAndSymbolicLinks)
{
    write_bytes(path, "[S]\nk=1\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string link = dir.file("link.ini");
    fs::create_symlink(path, link);

    TIniFile(link).WriteString("S", "k", "2");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_bytes(path), "[S]\nk=2\r\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniFileTest, FailureNamesTheFile)
{
    const std::string missingFolder = dir.file("no such folder") + "/settings.ini";
    try {
        TIniFile(missingFolder).WriteString("S", "k", "v");
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + missingFolder);
        EXPECT_EQ(e.fileName(), missingFolder);
    }
}

TEST_F(IniFileTest, AnUnreadableSettingsFileIsNeverReplaced)
{
    fs::create_directory(path);  // a folder where the file should be
    EXPECT_THROW(TIniFile(path).WriteString("S", "k", "v"), EIniFileError);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(TIniFile(path).ReadString("S", "k", "dflt"), "dflt");
}

// ---- write-protection ------------------------------------------------------------------------
// Permission bits do not stop root, so as root each scenario runs in a child process that has
// dropped to an unprivileged user; the scenario itself still checks that the protection holds.

constexpr uid_t kNobody = 65534;

bool can_drop_privileges()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// True when the folder really refuses new files (creating a probe file fails).
bool folder_refuses_files(const fs::path& folder)
{
    const fs::path probe = folder / "probe";
    std::ofstream out(probe);
    if (!out)
        return true;
    out.close();
    fs::remove(probe);
    return false;
}

void make_read_only(const fs::path& p)
{
    fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

using Scenario = void (*)();

void run_write_protected(Scenario scenario)
{
    if (::geteuid() != 0) {
        scenario();
        return;
    }
    if (!can_drop_privileges())
        GTEST_SKIP() << "running as root without a way to drop privileges";
    EXPECT_EXIT(
        {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                std::_Exit(2);
            scenario();
            std::cerr << std::flush;
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

#define SKIP_UNLESS_PROTECTED(folder)                                                              \
    if (!folder_refuses_files(folder)) {                                                           \
        std::cerr << "write protection has no effect here; not checked\n";                         \
        return;                                                                                    \
    }

TEST(IniWriteProtection, ReadOnlyFolderWithoutTheFileFails)
{
    run_write_protected([] {
        TempDir dir;
        const std::string path = dir.file("settings.ini");
        make_read_only(dir.path());
        SKIP_UNLESS_PROTECTED(dir.path());
        EXPECT_THROW(TIniFile(path).WriteString("S", "k", "v"), EIniFileError);
        EXPECT_FALSE(fs::exists(path));
    });
}

TEST(IniWriteProtection, ReadOnlyFolderWithAWritableFileIsWrittenInPlace)
{
    run_write_protected([] {
        TempDir dir;
        const std::string path = dir.file("settings.ini");
        write_bytes(path, "; keep\n[S]\nlong=a long old value\nb=2\n");
        make_read_only(dir.path());
        SKIP_UNLESS_PROTECTED(dir.path());
        TIniFile ini(path);
        ini.WriteString("S", "long", "x");
        ini.WriteString("S", "c", "3");
        EXPECT_EQ(read_bytes(path), "; keep\n[S]\nlong=x\r\nb=2\nc=3\r\n");
    });
}

TEST(IniWriteProtection, ReadOnlyFileIsLeftAloneAndEarlierKeysStay)
{
    run_write_protected([] {
        TempDir dir;
        const std::string path = dir.file("settings.ini");
        TIniFile ini(path);
        ini.WriteString("S", "first", "1");
        make_read_only(path);
        if (FILE* f = std::fopen(path.c_str(), "r+b")) {  // protection has no effect
            std::fclose(f);
            return;
        }
        try {
            ini.WriteString("S", "second", "2");
            ADD_FAILURE() << "no error";
        } catch (const EIniFileError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
        EXPECT_EQ(read_bytes(path), "[S]\r\nfirst=1\r\n");
        make_read_only(dir.path());
        EXPECT_THROW(ini.WriteString("S", "second", "2"), EIniFileError);
        EXPECT_EQ(read_bytes(path), "[S]\r\nfirst=1\r\n");
    });
}

}  // namespace
}  // namespace tabulex
