#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "common/Levels.h"
#include "framework/ByteChunk.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"
#include "framework/WDL_TypedBuf.h"

// ---- ByteChunk ----

TEST(ByteChunkIO, ReadsBackWhatWasWrittenAndRefusesToReadPastTheEnd) {
    ByteChunk chunk;
    const double d = -23.04;
    const int i = 7;
    EXPECT_EQ(chunk.Put(&d), 8);
    EXPECT_EQ(chunk.Put(&i), 12);
    double d2 = 0.0;
    int i2 = 0;
    EXPECT_EQ(chunk.Get(&d2, 0), 8);
    EXPECT_EQ(chunk.Get(&i2, 8), 12);
    EXPECT_EQ(d2, d);
    EXPECT_EQ(i2, i);
    d2 = 5.0;
    EXPECT_EQ(chunk.Get(&d2, 5), -1);
    EXPECT_EQ(chunk.Get(&d2, -1), -1);
    EXPECT_EQ(chunk.Get(&d2, 0x7ffffff0), -1);
    EXPECT_EQ(d2, 5.0);
}

TEST(ByteChunkIO, GrowsPastItsGranularityKeepingTheBytes) {
    ByteChunk chunk;
    for (int k = 0; k < 3000; ++k) chunk.Put(&k);
    ASSERT_EQ(chunk.Size(), 12000);
    int v = -1;
    chunk.Get(&v, 4 * 2999);
    EXPECT_EQ(v, 2999);
    chunk.Resize(4);
    chunk.Get(&v, 0);
    EXPECT_EQ(v, 0);
    ByteChunk copy(chunk);
    copy.PutChunk(&copy);
    EXPECT_EQ(copy.Size(), 8);
}

// ---- Containers ----

namespace {

struct Counted {
    explicit Counted(int* deaths) : mDeaths(deaths) {}
    ~Counted() { ++*mDeaths; }
    int* mDeaths;
};

}  // namespace

TEST(PtrList, OwningListDeletesItsElementsAndPlainListDoesNot) {
    int deaths = 0;
    Counted a(&deaths);
    {
        WDL_PtrList<Counted> plain;
        plain.Add(&a);
    }
    EXPECT_EQ(deaths, 0);
    {
        WDL_OwningPtrList<Counted> owning;
        for (int k = 0; k < 40; ++k) owning.Add(new Counted(&deaths));
        owning.Delete(3, true);
        EXPECT_EQ(deaths, 1);
        EXPECT_EQ(owning.GetSize(), 39);
        EXPECT_EQ(owning.Get(39), nullptr);
        EXPECT_EQ(owning.Get(-1), nullptr);
    }
    EXPECT_EQ(deaths, 40);
}

TEST(PtrList, InsertAndDeleteKeepTheOrder) {
    int x[4];
    WDL_PtrList<int> list;
    list.Add(&x[0]);
    list.Add(&x[2]);
    list.Insert(1, &x[1]);
    list.Insert(100, &x[3]);
    ASSERT_EQ(list.GetSize(), 4);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(list.Get(k), &x[k]);
    list.Delete(0);
    EXPECT_EQ(list.Find(&x[2]), 1);
    EXPECT_EQ(list.Find(&x[0]), -1);
}

TEST(TypedBuf, ResizeKeepsContentsAcrossReallocation) {
    WDL_TypedBuf<double> buf(16);
    buf.Resize(3);
    for (int k = 0; k < 3; ++k) buf.Get()[k] = k + 0.5;
    buf.Resize(5000);
    EXPECT_EQ(buf.Get()[2], 2.5);
    buf.ZeroFill();
    EXPECT_EQ(buf.Get()[4999], 0.0);
    EXPECT_EQ(buf.Resize(-3), nullptr);
    EXPECT_EQ(buf.GetSize(), 0);
}

TEST(String, SetAppendFormatAndCut) {
    WDL_String s;
    EXPECT_STREQ(s.Get(), "");
    s.Set("Quenlix meter", 7);
    EXPECT_STREQ(s.Get(), "Quenlix");
    s.Append(" 1.3");
    s.AppendFormatted(64, ".%d", 0);
    EXPECT_STREQ(s.Get(), "Quenlix 1.3.0");
    s.Set(s.Get() + 8);  // from its own text
    EXPECT_STREQ(s.Get(), "1.3.0");
    s.Append(s.Get());
    EXPECT_STREQ(s.Get(), "1.3.01.3.0");
    s.SetFormatted(4, "%s", "abcdefgh");
    EXPECT_STREQ(s.Get(), "abcd");
    EXPECT_EQ(s.GetLength(), 4);
    s.Set(std::string(10000, 'z').c_str());
    EXPECT_EQ(s.GetLength(), 10000);
    WDL_String copy(s);
    s.SetLength(2);
    EXPECT_EQ(copy.GetLength(), 10000);
    EXPECT_STREQ(s.Get(), "zz");
}

// ---- Level conversions ----

TEST(Levels, SilenceFloorsAndExactFactors) {
    EXPECT_EQ(LevelDb(1.0), 0.0);
    EXPECT_EQ(LevelDb(-0.5), std::log(0.5) * 8.685889638065037);
    EXPECT_EQ(LevelDb(6.309e-08), -144.0);
    EXPECT_LT(LevelDb(6.31e-08), -143.9);
    EXPECT_EQ(LevelDb(std::nan("")), -144.0);
    EXPECT_EQ(LoudnessLufs(1.0), -0.691);
    EXPECT_EQ(LoudnessLufs(4.667e-15), -144.0);
    EXPECT_EQ(LoudnessLufs(-1.0), -144.0);
    EXPECT_EQ(LoudnessLufs(0.01), std::log(0.01) * 4.342944819 - 0.691);
}

TEST(Levels, RoundingToATenthGoesHalfUp) {
    EXPECT_EQ(RoundToTenth(-23.05), std::floor(-23.05 * 10.0 + 0.5) / 10.0);
    EXPECT_EQ(RoundToTenth(0.25), 0.3);
    EXPECT_EQ(RoundToTenth(-0.25), -0.2);
    EXPECT_EQ(RoundedLevelDb(0.0), -144.0);
    EXPECT_EQ(RoundedLoudnessLufs(0.0), -144.0);
    EXPECT_EQ(RoundedLevelDb(0.5), -6.0);
}
