#include <gtest/gtest.h>

#include "services/CatalogueQuery.h"

namespace tolvan {
namespace {

CatalogueValue text(std::string s) {
    CatalogueValue v;
    v.type = CatalogueValue::Type::Text;
    v.text = std::move(s);
    return v;
}
CatalogueValue integer(std::int64_t i) {
    CatalogueValue v;
    v.type = CatalogueValue::Type::Integer;
    v.integer = i;
    return v;
}

CatalogueTable threeRows() {
    CatalogueTable t;
    t.columns = {"Descricao", "Arquivo", "Setor"};
    t.rows.push_back({text("Alfa"), text("a.bin"), integer(12)});
    t.rows.push_back({text("GRAVAÇÃO Beta"), integer(7), text(" 42x")});
    t.rows.push_back({text("Gama"), CatalogueValue{}, text("abc")});
    return t;
}

struct Marks {
    std::string row;
    bool bof, eof;
    bool operator==(const Marks&) const = default;
};
Marks at(const CatalogueQuery& q) {
    return {q.asString("descricao"), q.Bof(), q.Eof()};
}

TEST(CatalogueQueryTest, FirstNextAndPriorKeepTheMarksOfADataSet) {
    CatalogueQuery q;
    q.open(threeRows());
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(at(q), (Marks{"Alfa", true, false}));
    q.Prior();  // Bof already set: nothing
    EXPECT_EQ(at(q), (Marks{"Alfa", true, false}));
    q.Next();
    EXPECT_EQ(at(q), (Marks{"GRAVAÇÃO Beta", false, false}));
    q.Next();
    q.Next();  // on the last row: stays there, sets Eof
    EXPECT_EQ(at(q), (Marks{"Gama", false, true}));
    q.Next();
    EXPECT_EQ(at(q), (Marks{"Gama", false, true}));
    q.Prior();
    q.Prior();
    q.Prior();
    EXPECT_EQ(at(q), (Marks{"Alfa", true, false}));
    q.Next();
    q.First();
    EXPECT_EQ(at(q), (Marks{"Alfa", true, false}));
}

TEST(CatalogueQueryTest, LocateMatchesTheWholeValueIgnoringCase) {
    CatalogueQuery q;
    q.open(threeRows());
    q.Next();
    q.Next();
    q.Next();  // Eof on "Gama"
    EXPECT_FALSE(q.Locate("Descricao", "Gam"));
    EXPECT_FALSE(q.Locate("Nada", "Gama"));
    EXPECT_EQ(at(q), (Marks{"Gama", false, true}));
    EXPECT_TRUE(q.Locate("DESCRICAO", "gravação beta"));
    EXPECT_EQ(at(q), (Marks{"GRAVAÇÃO Beta", false, false}));
    q.First();
    EXPECT_TRUE(q.Locate("descricao", "ALFA"));
    EXPECT_EQ(at(q), (Marks{"Alfa", false, false}));
    EXPECT_TRUE(q.Locate("Arquivo", "7"));  // an integer column compares as its text
    EXPECT_EQ(q.asString("descricao"), "GRAVAÇÃO Beta");
}

TEST(CatalogueQueryTest, ColumnsConvertBetweenTextAndInteger) {
    CatalogueQuery q;
    q.open(threeRows());
    EXPECT_EQ(q.asInteger("SETOR"), 12);
    EXPECT_EQ(q.asString("setor"), "12");
    q.Next();
    EXPECT_EQ(q.asString("Arquivo"), "7");
    EXPECT_EQ(q.asInteger("Setor"), 42);  // leading number of " 42x"
    q.Next();
    EXPECT_EQ(q.asString("Arquivo"), "");  // null
    EXPECT_EQ(q.asInteger("Arquivo"), 0);
    EXPECT_EQ(q.asInteger("Setor"), 0);  // "abc"
    EXPECT_EQ(q.asString("Missing"), "");
}

TEST(CatalogueQueryTest, EmptyAndClosedQueriesAreSafe) {
    CatalogueQuery q;
    q.open(CatalogueTable{{"Descricao"}, {}});
    EXPECT_EQ(at(q), (Marks{"", true, true}));
    q.Next();
    q.Prior();
    EXPECT_FALSE(q.Locate("Descricao", ""));
    q.close();
    EXPECT_FALSE(q.active());
    q.First();
    q.Next();
    q.Prior();
    EXPECT_EQ(q.recordCount(), 0);
    EXPECT_FALSE(q.Locate("Descricao", "x"));
    EXPECT_EQ(q.asInteger("Setor"), 0);
}

}  // namespace
}  // namespace tolvan
