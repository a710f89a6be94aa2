#include "datafile/layout/CKVLayoutCAvailTypes.h"
#include "datafile/layout/CKVLayoutCType.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include <tuple>

namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

const char kMeaFile[] =
    "KVT MEA Layout\n"
    "Version: 2\n"
    "Name: Grid 60\n"
    "AvailOffsets: 0 64\n"
    "\n"
    "Layout:\n"
    "0 47 47A 47B 0 1 3000 6000 300 600 100 100 1000 0\n"
    "1 48 48A 0 1 3000 7000 300 700 100 100 1000 0\n";

}  // namespace

TEST(CKVLayoutCType, ReadsEachKindWithEitherLineEnd)
{
    const struct {
        const char* name;
        std::unique_ptr<CKVLayout::CType> (*make)();
        std::string text;
        size_t records;
    } cases[] = {
        {"hardware", [] { return std::unique_ptr<CKVLayout::CType>(new CKVLayout::CHardware); },
         "KVT Hardware Layout\nName: Rack\nLayoutConfig: 1 2\nStdMeaLayouts: 3\nLayout:\n"
         "7 E7 0 1000 0 AmpA 100 200\n8 E8 0 1000 0 AmpA\n",
         2},
        {"amplifier", [] { return std::unique_ptr<CKVLayout::CType>(new CKVLayout::CAmplifier); },
         "KVT Amplifier Layout\nName: Amp\nAvailOffsets: 5\nLayout:\n3 A1 1 1 0\n", 1},
        {"electrode array", [] { return std::unique_ptr<CKVLayout::CType>(new CKVLayout::CMea); },
         kMeaFile, 2},
    };
    for (const auto& c : cases) {
        for (bool crlf : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (crlf ? " CR LF" : " LF"));
            std::unique_ptr<CKVLayout::CType> unit = c.make();
            EXPECT_EQ(unit->Parse(crlf ? WithCrLf(c.text) : c.text), kUnitLoaded);
            EXPECT_EQ(unit->GetRecords().size(), c.records);
            EXPECT_FALSE(unit->GetName().empty());
            EXPECT_NE(unit->GetName().back(), '\r');
        }
    }

    CKVLayout::CMea mea;
    ASSERT_EQ(mea.Parse(WithCrLf(kMeaFile)), kUnitLoaded);
    EXPECT_EQ(mea.GetName(), "Grid 60");
    EXPECT_EQ(mea.GetVersion(), 2);
    EXPECT_EQ(mea.GetValues(), (std::vector<int32_t>{0, 64}));
    const LayoutRecord& first = mea.GetRecords()[0];
    const LayoutRecord& second = mea.GetRecords()[1];   // a 13-field line: no third name
    EXPECT_EQ(std::make_tuple(first.thirdName, first.unitId, first.dy, first.channelValue1),
              std::make_tuple(std::string("47B"), 1, 600, 1000));
    EXPECT_EQ(std::make_tuple(second.thirdName, second.y), std::make_tuple(std::string("48"), 7000));

    CKVLayout::CHardware hardware;
    ASSERT_EQ(hardware.Parse(cases[0].text), kUnitLoaded);
    EXPECT_EQ(hardware.GetValues(), (std::vector<int32_t>{1, 2, 3}));
    ASSERT_NE(hardware.FindChannel(8), nullptr);
    EXPECT_EQ(hardware.FindChannel(8)->hardwareName, "AmpA");
    EXPECT_EQ(hardware.FindChannel(7)->dy, 200);
    EXPECT_EQ(hardware.FindChannel(9), nullptr);
}

TEST(CKVLayoutCType, RejectsBrokenFilesWithoutThrowing)
{
    const std::string longName(300, 'x');
    const struct {
        const char* name;
        std::string text;
        int expected;
    } cases[] = {
        {"other kind's title", "KVT Hardware Layout\nLayout:\n", kUnitWrongTitle},
        {"title with trailing blank", "KVT MEA Layout \n", kUnitWrongTitle},
        {"empty", "", kUnitWrongTitle},
        {"bad version", "KVT MEA Layout\nVersion: two\n", kUnitMalformed},
        {"bad list number", "KVT MEA Layout\nAvailOffsets: 1 x\n", kUnitMalformed},
        {"number out of range", "KVT MEA Layout\nAvailOffsets: 99999999999\n", kUnitMalformed},
        {"short layout line", "KVT MEA Layout\nLayout:\n0 47 47A 0 1\n", kUnitMalformed},
        {"number with a tail", "KVT MEA Layout\nLayout:\n0x 47 47A 0 1 1 1 1 1 1 1 1 1\n",
         kUnitMalformed},
        {"overlong name", "KVT MEA Layout\nLayout:\n0 " + longName + " a 0 1 1 1 1 1 1 1 1 1\n",
         kUnitMalformed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKVLayout::CMea unit;
        ASSERT_EQ(unit.Parse(kMeaFile), kUnitLoaded);
        EXPECT_EQ(unit.Parse(c.text), c.expected);
        EXPECT_EQ(unit.GetName(), "Grid 60");      // a rejected file changes nothing
        EXPECT_EQ(unit.GetRecords().size(), 2u);
    }
    CKVLayout::CMea unit;
    EXPECT_EQ(unit.Load("/nonexistent/file.txt"), kUnitCannotOpen);
}

// Found by fuzzing: a NUL inside a name was kept, so the record no longer read back the same
// once written into a layout chunk, whose text fields end at the first NUL.
TEST(CKVLayoutCType, FuzzRegressionNulInsideANameIsRefused)
{
    using std::string_literals::operator""s;
    const struct {
        const char* name;
        std::unique_ptr<CKVLayout::CType> (*make)();
        std::string text;
    } cases[] = {
        {"amplifier channel name (the fuzzer's input)",
         [] { return std::unique_ptr<CKVLayout::CType>(new CKVLayout::CAmplifier); },
         "KVT Amplifier Layout\nLayout:\n0 \0 0 1 0"s},
        {"hardware name", [] { return std::unique_ptr<CKVLayout::CType>(new CKVLayout::CHardware); },
         "KVT Hardware Layout\nLayout:\n0 E1 0 1000 0 Amp\0B\n"s},
        {"third name of an array", [] { return std::unique_ptr<CKVLayout::CType>(new CKVLayout::CMea); },
         "KVT MEA Layout\nLayout:\n0 47 47A 4\0" "7B 0 1 1 1 1 1 1 1 1 1\n"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.make()->Parse(c.text), kUnitMalformed);
    }
}

TEST(CKVLayoutCAvailTypes, LoadsTheTextFilesOfAFolderInNameOrder)
{
    TempDir dir;
    const std::string other = "KVT Amplifier Layout\nLayout:\n3 A1 1 1 0\n";
    ASSERT_TRUE(WriteFileBytes(dir.File("b.txt"), Bytes(kMeaFile)));
    ASSERT_TRUE(WriteFileBytes(dir.File("a.txt"), Bytes(WithCrLf(
        "KVT MEA Layout\nName: First\nLayout:\n0 1 1 0 0 0 0 0 0 100 100 1 0\n"))));
    ASSERT_TRUE(WriteFileBytes(dir.File("c.txt"), Bytes(other)));            // another kind
    ASSERT_TRUE(WriteFileBytes(dir.File("d.TXT"), Bytes(kMeaFile)));         // not ".txt"
    ASSERT_TRUE(WriteFileBytes(dir.File("e.txt.bak"), Bytes(kMeaFile)));
    boost::system::error_code ec;
    boost::filesystem::create_directory(dir.File("f.txt"), ec);              // not a file

    CKVLayout::CAvailMeas meas;
    EXPECT_EQ(meas.Load(dir.Path()), 2);
    ASSERT_EQ(meas.GetCount(), 2u);
    EXPECT_EQ(meas.GetUnit(0)->GetName(), "First");
    EXPECT_EQ(meas.GetUnit(1)->GetName(), "Grid 60");
    EXPECT_EQ(meas.GetUnit(2), nullptr);

    CKVLayout::CAvailAmpl amplifiers;
    EXPECT_EQ(amplifiers.Load(dir.Path()), 1);

    CKVLayout::CAvailHard missing;
    EXPECT_EQ(missing.Load(dir.File("no such folder")), 0);
    EXPECT_EQ(missing.Load(dir.File("a.txt")), 0);      // a file, not a folder
    EXPECT_EQ(missing.GetCount(), 0u);
}
