#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "tests/framework/TestPlug.h"

namespace {

ByteChunk ChunkOf(const std::vector<double>& values) {
    ByteChunk chunk;
    for (double v : values) chunk.Put(&v);
    return chunk;
}

std::vector<double> ValuesOf(const ByteChunk& chunk) {
    std::vector<double> values(chunk.Size() / sizeof(double));
    if (!values.empty()) std::memcpy(values.data(), chunk.GetBytes(), values.size() * sizeof(double));
    return values;
}

std::vector<int> AllIndices(int n) {
    std::vector<int> v(n);
    std::iota(v.begin(), v.end(), 0);
    return v;
}

class State : public ::testing::Test {
  protected:
    TestPlug plug;
};

}  // namespace

// ---- Save and restore ----

TEST_F(State, SaveAfterConstructionHoldsTheDefaultsInIndexOrder) {
    ByteChunk chunk;
    ASSERT_TRUE(plug.SerializeState(&chunk));
    ASSERT_EQ(chunk.Size(), 152);
    const std::vector<double> values = ValuesOf(chunk);
    EXPECT_EQ(values[0], 0.0);
    EXPECT_EQ(values[1], 300.0);
    EXPECT_EQ(values[18], -144.0);
}

TEST_F(State, SaveAppendsAfterExistingBytes) {
    ByteChunk chunk;
    const int header = 0x12345678;
    chunk.Put(&header);
    ASSERT_TRUE(plug.SerializeParams(&chunk));
    EXPECT_EQ(chunk.Size(), 4 + 152);
    TestPlug other;
    other.GetParam(1)->Set(50.0);
    EXPECT_EQ(other.UnserializeParams(&chunk, 4), 156);
    EXPECT_EQ(other.GetParam(1)->Value(), 300.0);
}

TEST_F(State, RoundTripRestoresValuesAndReactsToEachInOrder) {
    plug.GetParam(0)->Set(1.0);
    plug.GetParam(1)->Set(1234.5);
    plug.GetParam(7)->Set(-23.04);
    ByteChunk chunk;
    plug.SerializeState(&chunk);

    TestPlug restored;
    EXPECT_EQ(restored.UnserializeState(&chunk, 0), 152);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(restored.GetParam(i)->Value(), plug.GetParam(i)->Value()) << i;
    EXPECT_EQ(restored.changes, AllIndices(19));
}

// An editor that records the values pushed into it and how many reactions had run by then.
class RecordingEditor : public IEditorLink {
  public:
    struct Push {
        int paramIdx;
        double value;
        bool normalized;
        size_t reactionsBefore;
    };
    explicit RecordingEditor(const TestPlug* plug) : mPlug(plug) {}
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override {
        pushes.push_back({paramIdx, value, normalized, mPlug->changes.size()});
    }
    void PrepDraw() override {}

    std::vector<Push> pushes;

  private:
    const TestPlug* mPlug;
};

// The editor shows every restored value, clamped as stored, before the plug-in reacts to any of them;
// also what a short state left unchanged, and a restore of the values already in force.
TEST_F(State, RestorePushesEveryValueIntoTheEditorBeforeTheReactions) {
    auto* editor = new RecordingEditor(&plug);
    plug.AttachGraphics(editor);
    auto state = [](double type, double window, double gain) {
        std::vector<double> values(19, -20.0);
        values[0] = type, values[1] = window, values[2] = gain;
        return values;
    };
    const struct {
        const char* what;
        std::vector<double> values;
    } cases[] = {
        {"a whole state, the window clamped", state(1.0, 99999.0, 5.0)},
        {"a short state", {0.0}},
        {"the values in force", state(0.0, 10.0, 5.0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ByteChunk chunk = ChunkOf(c.values);
        editor->pushes.clear();
        plug.changes.clear();
        plug.UnserializeParams(&chunk, 0);
        ASSERT_EQ(editor->pushes.size(), 19u);
        for (int i = 0; i < 19; ++i) {
            const RecordingEditor::Push& p = editor->pushes[static_cast<size_t>(i)];
            EXPECT_EQ(p.paramIdx, i);
            EXPECT_FALSE(p.normalized);
            EXPECT_EQ(p.value, plug.GetParam(i)->Value()) << i;
            EXPECT_EQ(p.reactionsBefore, 0u) << i;
        }
        EXPECT_EQ(plug.changes, AllIndices(19));
    }
}

TEST_F(State, ValuesAreClampedToTheParameterRange) {
    std::vector<double> values(19, 0.0);
    values[1] = 99999.0;
    values[2] = -50.0;
    ByteChunk chunk = ChunkOf(values);
    plug.UnserializeParams(&chunk, 0);
    EXPECT_EQ(plug.GetParam(1)->Value(), 3000.0);
    EXPECT_EQ(plug.GetParam(2)->Value(), -12.0);
}

TEST_F(State, TruncatedStateSetsTheFirstMissingToZeroKeepsTheRestAndStillReactsToAll) {
    for (int i = 3; i < 19; ++i) plug.GetParam(i)->Set(-6.0);
    plug.GetParam(2)->Set(5.0);
    ByteChunk chunk = ChunkOf({1.0, 2000.0});
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), -1);
    EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(1)->Value(), 2000.0);
    EXPECT_EQ(plug.GetParam(2)->Value(), 0.0);  // 0.0 lies inside -12..12
    for (int i = 3; i < 19; ++i) EXPECT_EQ(plug.GetParam(i)->Value(), -6.0) << i;
    EXPECT_EQ(plug.changes, AllIndices(19));
}

TEST_F(State, APartialValueIsNotRead) {
    ByteChunk chunk = ChunkOf({1.0});
    chunk.PutBytes("abc", 3);
    plug.GetParam(1)->Set(777.0);
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), -1);
    EXPECT_EQ(plug.GetParam(1)->Value(), 10.0);  // 0.0 clamped to the window's minimum
}

TEST_F(State, LongerStateLeavesExtraValuesUnread) {
    std::vector<double> values(25, 1.0);
    ByteChunk chunk = ChunkOf(values);
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 152);
    EXPECT_EQ(plug.changes.size(), 19u);
}

TEST_F(State, NonFiniteValuesKeepTheCurrentValue) {
    plug.GetParam(1)->Set(500.0);
    plug.GetParam(2)->Set(3.0);
    plug.GetParam(3)->Set(-10.0);
    std::vector<double> values(19, 0.0);
    values[1] = std::numeric_limits<double>::quiet_NaN();
    values[2] = std::numeric_limits<double>::infinity();
    values[3] = -std::numeric_limits<double>::infinity();
    values[4] = -20.0;
    ByteChunk chunk = ChunkOf(values);
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 152);
    EXPECT_EQ(plug.GetParam(1)->Value(), 500.0);
    EXPECT_EQ(plug.GetParam(2)->Value(), 3.0);
    EXPECT_EQ(plug.GetParam(3)->Value(), -10.0);
    EXPECT_EQ(plug.GetParam(4)->Value(), -20.0);
    for (double v : plug.valuesSeen) EXPECT_TRUE(std::isfinite(v));
}

TEST_F(State, AStartOutsideTheChunkReadsNothing) {
    ByteChunk chunk = ChunkOf(std::vector<double>(19, 1.0));
    plug.GetParam(0)->Set(1.0);
    EXPECT_EQ(plug.UnserializeParams(&chunk, -8), -1);
    EXPECT_EQ(plug.UnserializeParams(&chunk, 153), -1);
    EXPECT_EQ(plug.UnserializeParams(nullptr, 0), -1);
    EXPECT_TRUE(plug.changes.empty());
    EXPECT_EQ(plug.GetParam(2)->Value(), 0.0);
}

// ---- Compare ----

TEST_F(State, CompareIgnoresDifferencesBeyondSinglePrecision) {
    std::vector<double> values = ValuesOf([&] {
        ByteChunk c;
        plug.SerializeState(&c);
        return c;
    }());
    values[1] += 1.2e-5;  // 300 + 1.2e-5 is 300 in single precision, though 1.2e-5 apart in double
    values[18] = std::nextafter(values[18], 0.0);
    EXPECT_TRUE(plug.CompareState(ChunkOf(values).GetBytes(), 0));
    values[5] += 0.001;
    EXPECT_FALSE(plug.CompareState(ChunkOf(values).GetBytes(), 0));
}

TEST_F(State, CompareStartsAtTheGivenValueNumber) {
    ByteChunk c;
    const double junk = 42.0;
    c.Put(&junk);
    plug.SerializeState(&c);
    EXPECT_TRUE(plug.CompareState(c.GetBytes(), 1));
    EXPECT_FALSE(plug.CompareState(c.GetBytes(), 0));
}

TEST_F(State, CompareTreatsCorruptValuesAsDifferent) {
    std::vector<double> values(19);
    for (int i = 0; i < 19; ++i) values[i] = plug.GetParam(i)->Value();
    values[2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(plug.CompareState(ChunkOf(values).GetBytes(), 0));
    values[2] = 1e300;
    EXPECT_FALSE(plug.CompareState(ChunkOf(values).GetBytes(), 0));
}

// ---- Presets ----

TEST_F(State, PresetsRecordNamedValuesAndConstructionValuesForTheRest) {
    plug.MakePresetFromNamedParams("Default", 0);
    plug.MakePresetFromNamedParams("RMS 300 ML", 2, 0, 0, 1, 300.0);
    plug.MakePresetFromNamedParams("EBU R128", 2, 0, 1, 2, -3.5);
    ASSERT_EQ(plug.NPresets(), 3);
    EXPECT_STREQ(plug.GetPreset(1)->mName, "RMS 300 ML");
    const std::vector<double> ebu = ValuesOf(plug.GetPreset(2)->mChunk);
    ASSERT_EQ(ebu.size(), 19u);
    EXPECT_EQ(ebu[0], 1.0);
    EXPECT_EQ(ebu[1], 300.0);
    EXPECT_EQ(ebu[2], -3.5);
    EXPECT_EQ(ebu[3], -144.0);
    // A preset is a valid state.
    TestPlug other;
    ByteChunk chunk = plug.GetPreset(2)->mChunk;
    EXPECT_EQ(other.UnserializeParams(&chunk, 0), 152);
    EXPECT_EQ(other.GetParam(0)->Value(), 1.0);
}

TEST_F(State, AFourthPresetOnThreeSlotsChangesNothing) {
    plug.MakePresetFromNamedParams("A", 0);
    plug.MakePresetFromNamedParams("B", 0);
    plug.MakePresetFromNamedParams("C", 1, 1, 20.0);
    const ByteChunk before = plug.GetPreset(2)->mChunk;
    plug.MakePresetFromNamedParams("D", 1, 1, 40.0);
    EXPECT_EQ(plug.NPresets(), 3);
    EXPECT_STREQ(plug.GetPreset(2)->mName, "C");
    EXPECT_TRUE(plug.GetPreset(2)->mChunk.IsEqual(before));
}

TEST_F(State, AnInvalidIndexEndsTheNamedList) {
    plug.MakePresetFromNamedParams("Bad", 3, 1, 50.0, 99, 1.0, 2, 1.0);
    const std::vector<double> values = ValuesOf(plug.GetPreset(0)->mChunk);
    ASSERT_EQ(values.size(), 19u);
    EXPECT_EQ(values[1], 50.0);
    EXPECT_EQ(values[2], 0.0);  // after the bad pair nothing more is read
}

TEST_F(State, LongPresetNamesAreCut) {
    const std::string name(400, 'p');
    plug.MakePresetFromNamedParams(name.c_str(), 0);
    EXPECT_EQ(std::strlen(plug.GetPreset(0)->mName), 255u);
}

TEST_F(State, PruningRemovesOnlyUninitialisedSlotsKeepingOrder) {
    TestPlug five(19, "1-1", 5);
    five.MakePresetFromNamedParams("One", 0);
    five.MakePresetFromNamedParams("Two", 0);
    five.PruneUninitializedPresets();
    ASSERT_EQ(five.NPresets(), 2);
    EXPECT_STREQ(five.GetPreset(0)->mName, "One");
    EXPECT_STREQ(five.GetPreset(1)->mName, "Two");

    plug.MakePresetFromNamedParams("A", 0);
    plug.MakePresetFromNamedParams("B", 0);
    plug.MakePresetFromNamedParams("C", 0);
    plug.PruneUninitializedPresets();
    ASSERT_EQ(plug.NPresets(), 3);
    EXPECT_STREQ(plug.GetPreset(2)->mName, "C");
}
