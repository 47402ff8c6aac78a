#include "stock/stock_list.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <sstream>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::variant<StockList, InputError> readText(const std::string& text,
                                             const std::string& folder = "") {
    std::istringstream in(text);
    return readStockList(in, "racks/stock.csv", folder, {});
}

struct BadStock {
    std::string name;
    std::string text;
    std::string message;  // the whole line the reader gives
};

void PrintTo(const BadStock& list, std::ostream* out) { *out << list.name; }

class BadStockListTest : public testing::TestWithParam<BadStock> {};

TEST_P(BadStockListTest, EndsWithOneLineNamingTheListAndTheLine) {
    const auto result = readText(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<InputError>(result)) << "accepted";
    EXPECT_EQ(std::get<InputError>(result).detail, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadStockListTest,
    testing::Values(
        BadStock{"NoHeader", "600,300,2\n",
                 "racks/stock.csv:1: a stock list starts with a header "
                 "\"length,width,count,cost\" or \"file,count,cost\", not '600,300,2'"},
        BadStock{"UnknownColumn", "length,width,colour\n",
                 "racks/stock.csv:1: the column 'colour' is none of file, length, width, count, "
                 "cost"},
        BadStock{"TwiceNamed", "length,width,Width\n",
                 "racks/stock.csv:1: the column 'Width' is named twice"},
        BadStock{"LengthWithoutWidth", "length,count\n",
                 "racks/stock.csv:1: a header with a length column needs a width one, and the "
                 "other way round"},
        BadStock{"NegativeLength", "\n# rack A\nlength,width,count\n600,300,2\n-5,300,1\n",
                 "racks/stock.csv:5: the length must be a positive number, not '-5'"},
        BadStock{"WordForWidth", "length,width\r\n600,wide\r\n",
                 "racks/stock.csv:2: the width must be a positive number, not 'wide'"},
        BadStock{"ZeroCount", "length,width,count\n600,300,0\n",
                 "racks/stock.csv:2: the count must be a whole number from 1 to 1000000, not "
                 "'0'"},
        BadStock{"FractionalCount", "length,width,count\n600,300,1.5\n",
                 "racks/stock.csv:2: the count must be a whole number from 1 to 1000000, not "
                 "'1.5'"},
        BadStock{"NegativeCost", "length,width,count,cost\n600,300,1,-1\n",
                 "racks/stock.csv:2: the cost must be a number of 0 or more, not '-1'"},
        BadStock{"TooManyFields", "length,width\n600,300,4\n",
                 "racks/stock.csv:2: 3 fields where the header names 2 columns"},
        BadStock{"OpenQuote", "file,count\n\"a.dxf,1\n",
                 "racks/stock.csv:2: a quoted field is not closed"},
        BadStock{"NoWidthInRow", "length,width,count\n600,,3\n",
                 "racks/stock.csv:2: the row needs both a length and a width"},
        BadStock{"NoFileInRow", "file,count\n,3\n", "racks/stock.csv:2: the row names no file"},
        BadStock{"FileAndSize", "length,width,file\n600,300,a.dxf\n",
                 "racks/stock.csv:2: a row gives either a file or a length and a width, not "
                 "both"},
        BadStock{"MissingDrawing", "file,count\nnowhere.dxf,1\n",
                 "racks/stock.csv:2: nowhere.dxf: cannot be opened"},
        BadStock{"HeaderOnly", "length,width,count,cost\n",
                 "racks/stock.csv: the stock list names no sheet"},
        BadStock{"Empty", "\n# nothing yet\n",
                 "racks/stock.csv: the stock list is empty: it needs a header and a row per "
                 "sheet"}),
    [](const testing::TestParamInfo<BadStock>& info) { return info.param.name; });

// A stream without end, of one character: the bytes it served are counted.
class EndlessText : public std::streambuf {
public:
    explicit EndlessText(char fill) { std::fill(std::begin(chunk_), std::end(chunk_), fill); }
    std::int64_t served() const { return served_; }

protected:
    int_type underflow() override {
        served_ += static_cast<std::int64_t>(sizeof chunk_);
        setg(chunk_, chunk_, chunk_ + sizeof chunk_);
        return traits_type::to_int_type(chunk_[0]);
    }

private:
    char chunk_[4096];
    std::int64_t served_ = 0;
};

// /dev/zero never ends and a folder holds no list: both are refused before any reading, and
// a list whose line never ends is refused once the line passes its bound.
TEST(StockListTest, WhatIsNoRegularFileIsRefusedAndALineIsBounded) {
    const auto zero = readStockListFile("/dev/zero", {});
    ASSERT_TRUE(std::holds_alternative<InputError>(zero));
    EXPECT_EQ(std::get<InputError>(zero).detail,
              "/dev/zero: the stock list is not a regular file (a device or a pipe may never end)");
    TempDir dir;
    const auto folder = readStockListFile(dir.path().string(), {});
    ASSERT_TRUE(std::holds_alternative<InputError>(folder));
    EXPECT_EQ(std::get<InputError>(folder).detail,
              dir.path().string() + ": the stock list is a directory");
    EndlessText endless('7');
    std::istream in(&endless);
    const auto result = readStockList(in, "racks/stock.csv", "", {});
    ASSERT_TRUE(std::holds_alternative<InputError>(result));
    EXPECT_EQ(std::get<InputError>(result).detail,
              "racks/stock.csv:1: the line is longer than 65536 characters");
    EXPECT_LT(endless.served(), 1 << 20);
}

TEST(StockListTest, RectanglesTakeCountOneAndTheirAreaAsCostWhenNotGiven) {
    const auto result =
        readText("\xEF\xBB\xBFLength,Width,Count,Cost\n600,300,,\n1250.5,400,3,99\n");
    ASSERT_TRUE(std::holds_alternative<StockList>(result)) << std::get<InputError>(result).detail;
    const std::vector<SheetKind>& kinds = std::get<StockList>(result).kinds;
    ASSERT_EQ(kinds.size(), 2u);
    EXPECT_EQ(kinds[0].name, "600x300");
    EXPECT_EQ(kinds[0].count, 1);
    EXPECT_EQ(kinds[0].cost, 600.0 * 300.0);
    EXPECT_FALSE(kinds[0].drawn());
    EXPECT_EQ(kinds[1].name, "1250.5x400");
    EXPECT_EQ(kinds[1].count, 3);
    EXPECT_EQ(kinds[1].cost, 99);
}

// A stock list saved by a spreadsheet that separates fields with semicolons writes decimal
// commas; one that uses tabs, decimal points.
TEST(StockListTest, SemicolonListsWithDecimalCommasAndTabListsRead) {
    for (const std::string& text :
         {std::string("Length;Width;Count;Cost\n1250,5;400;3;99,5\n"),
          std::string("length\twidth\tcount\tcost\n1250.5\t400\t3\t99.5\n")}) {
        const auto result = readText(text);
        ASSERT_TRUE(std::holds_alternative<StockList>(result))
            << std::get<InputError>(result).detail;
        const std::vector<SheetKind>& kinds = std::get<StockList>(result).kinds;
        ASSERT_EQ(kinds.size(), 1u);
        EXPECT_EQ(kinds[0].length, 1250.5);
        EXPECT_EQ(kinds[0].width, 400);
        EXPECT_EQ(kinds[0].count, 3);
        EXPECT_EQ(kinds[0].cost, 99.5);
    }
}

TEST(StockListTest, DrawingsAreReadFromTheListsFolderAndCostTheirMaterial) {
    TempDir dir;
    // A 100 x 50 remnant drawn in lines, with a 10 x 10 defect as a polyline.
    std::string dxf = "0\nSECTION\n2\nENTITIES\n";
    const double corners[][2] = {{20, 30}, {120, 30}, {120, 80}, {20, 80}};
    for (int i = 0; i < 4; ++i) {
        const auto& a = corners[i];
        const auto& b = corners[(i + 1) % 4];
        dxf += "0\nLINE\n8\nREMNANT\n10\n" + std::to_string(a[0]) + "\n20\n" +
               std::to_string(a[1]) + "\n11\n" + std::to_string(b[0]) + "\n21\n" +
               std::to_string(b[1]) + "\n";
    }
    dxf +=
        "0\nLWPOLYLINE\n8\nDEFECT\n90\n4\n70\n1\n10\n50\n20\n40\n10\n60\n20\n40\n10\n60\n20\n"
        "50\n10\n50\n20\n50\n0\nENDSEC\n0\nEOF\n";
    std::filesystem::create_directories(dir.path() / "rack");
    dir.write("rack/left.dxf", dxf);
    const auto list =
        dir.write("rack/stock.csv", "length,width,file,count\n600,300,,2\n,,left.dxf,1\n");
    const auto result = readStockListFile(list.string(), {});
    ASSERT_TRUE(std::holds_alternative<StockList>(result)) << std::get<InputError>(result).detail;
    const std::vector<SheetKind>& kinds = std::get<StockList>(result).kinds;
    ASSERT_EQ(kinds.size(), 2u);
    const SheetKind& left = kinds[1];
    EXPECT_EQ(left.name, "left");
    EXPECT_TRUE(left.drawn());
    EXPECT_DOUBLE_EQ(left.length, 100);
    EXPECT_DOUBLE_EQ(left.width, 50);
    ASSERT_TRUE(left.shape.outline.has_value());
    EXPECT_DOUBLE_EQ(left.shape.outline->bounds().minX, 0) << "moved to its box's corner";
    ASSERT_EQ(left.shape.defects.size(), 1u);
    EXPECT_DOUBLE_EQ(left.shape.defects[0].bounds().minX, 30);
    EXPECT_DOUBLE_EQ(left.cost, 100 * 50 - 10 * 10);
}

}  // namespace
}  // namespace blocknest
